#include "support/FixtureServers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/types.h>

using namespace std::chrono_literals;

namespace
{

QByteArray procEntry(qint64 pid, const char* entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The running (not zombie) children of pid named name.
QList<qint64> childrenNamed(qint64 parent, const QByteArray& name)
{
    QList<qint64> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QByteArray stat = procEntry(pid, "stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[0] == "Z" || fields[1].toLongLong() != parent)
            continue;
        if (procEntry(pid, "comm").trimmed() == name)
            found << pid;
    }
    return found;
}

bool isRunning(qint64 pid)
{
    const QByteArray stat = procEntry(pid, "stat");
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

// The program itself, ended by a signal while a check waits on a host that
// never answers: its client ends with it and no password is left behind.
class TestSignals : public QObject
{
    Q_OBJECT
private slots:
    void terminationEndsClientsAndRemovesPasswords_data();
    void terminationEndsClientsAndRemovesPasswords();
};

void TestSignals::terminationEndsClientsAndRemovesPasswords_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    // No handler runs: the kernel ends the clients with their parent.
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestSignals::terminationEndsClientsAndRemovesPasswords()
{
    QFETCH(int, signal);
    FixtureServers servers;
    FixtureServer& hung = servers.start(FixtureOptions{.mode = FixtureMode::Hung});
    QVERIFY2(servers.ok(), qPrintable(servers.error()));
    QVERIFY(servers.addToServersFile(hung, "hung.example"));
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(servers.workDir());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(VEMO_EXECUTABLE, {});
    QVERIFY(program.waitForStarted());
    const qint64 pid = program.processId();

    // The check's client runs; its password came through a pipe, so there is
    // no password file anywhere.
    QList<qint64> clients;
    QVERIFY(QTest::qWaitFor(
        [&] {
            clients = childrenNamed(pid, "plink");
            return !clients.isEmpty() || program.state() == QProcess::NotRunning;
        },
        30000));
    QVERIFY2(!clients.isEmpty(), "the program ended before its check started");
    QCOMPARE(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());

    ::kill(pid_t(pid), signal);
    QVERIFY(program.waitForFinished(20000));
    QVERIFY(QTest::qWaitFor([&] { return !isRunning(clients.first()); }, 10000));
    QCOMPARE(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    if (signal == SIGKILL) {
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        return; // its temp file stays until the next check of that server
    }
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QDir(servers.workDir()).entryList({"~karu*"}, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestSignals)
#include "TestSignals.moc"
