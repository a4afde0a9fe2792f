#include "store/ServerFile.h"
#include "support/FixtureServers.h"
#include "support/Processes.h"
#include "support/ThrowawayUser.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/types.h>

using namespace std::chrono_literals;

namespace
{

// Servers.mdb in the fixture's working folder names one server that never
// answers; the program's password folders go under runtime.
struct HungServer {
    HungServer() { servers.start("hung.example", {.mode = FixtureMode::Hung}); }
    bool ok() const { return servers.ok() && runtime.isValid(); }
    // Starts the program in the working folder.
    void startProgram(QProcess& program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(servers.workDir());
        program.start(VEMO_EXECUTABLE, {});
    }

    FixtureServers servers;
    QTemporaryDir runtime;
};

// The program's check clients once one runs, or none once it ended or 30 s passed.
QList<qint64> clientsOnceChecking(QProcess& program)
{
    QList<qint64> clients;
    (void)QTest::qWaitFor(
        [&] {
            clients = childProcesses(program.processId(), "plink");
            return !clients.isEmpty() || program.state() == QProcess::NotRunning;
        },
        30000);
    return clients;
}

// Name, size, time of change and inode of each entry of folder.
QStringList folderState(const QString& folder)
{
    QStringList state;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name)) {
        struct stat st {
        };
        ::lstat(QFile::encodeName(entry.filePath()).constData(), &st);
        state << QStringLiteral("%1 %2 %3.%4 %5")
                     .arg(entry.fileName())
                     .arg(st.st_size)
                     .arg(st.st_ctim.tv_sec)
                     .arg(st.st_ctim.tv_nsec)
                     .arg(st.st_ino);
    }
    return state;
}

// Whether the process has a handler for the signal (SigCgt in /proc/PID/status).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
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
    void oneCopyPerFolder();
    void terminationDuringStartupBox();
    void stalePasswordFoldersGoAtStartUp();
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
    HungServer scene;
    QVERIFY2(scene.ok(), qPrintable(scene.servers.error()));
    const QString runtime = scene.runtime.path();
    // The clients' folder of quiet entropy commands is all it may hold.
    const QStringList QuietOnly{"vemo-quiet"};
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scene.startProgram(program);
    QVERIFY(program.waitForStarted());

    // The check's client runs; its password came through a pipe, so there is
    // no password file anywhere.
    const QList<qint64> clients = clientsOnceChecking(program);
    QVERIFY2(!clients.isEmpty(), "the program ended before its check started");
    QCOMPARE(QDir(runtime).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QuietOnly);

    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished(20000));
    QVERIFY(QTest::qWaitFor([&] { return !isRunning(clients.first()); }, 10000));
    QCOMPARE(QDir(runtime).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QuietOnly);
    if (signal == SIGKILL) {
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        return; // its temp file stays until the next check of that server
    }
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QDir(scene.servers.workDir()).entryList({"~karu*"}, QDir::Files), QStringList());
}

// A second copy in the same folder is refused and touches nothing there; the
// lock of a copy that was killed is taken over.
void TestSignals::oneCopyPerFolder()
{
    HungServer scene;
    QVERIFY2(scene.ok(), qPrintable(scene.servers.error()));
    const QString folder = scene.servers.workDir();

    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scene.startProgram(first);
    QVERIFY(first.waitForStarted());
    // Its check runs: it holds the folder and has its temp file there.
    QVERIFY(!clientsOnceChecking(first).isEmpty());
    const QStringList before = folderState(folder);
    QVERIFY(before.filter("~karu~hung.example.tmp").size() == 1);

    QProcess second;
    scene.startProgram(second);
    QVERIFY(second.waitForStarted());
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += second.readAllStandardError();
            return said.contains("already running") ||
                   !childProcesses(second.processId(), "plink").isEmpty() ||
                   second.state() == QProcess::NotRunning;
        },
        30000));
    QVERIFY2(said.contains(QStringLiteral("already running in the folder \"%1\" (process %2)")
                               .arg(folder)
                               .arg(first.processId())
                               .toUtf8()),
             said.constData());
    // Its message box waits for an answer; a SIGTERM closes it like the OK button.
    QCOMPARE(second.state(), QProcess::Running);
    QCOMPARE(childProcesses(second.processId(), "plink"), QList<qint64>());
    ::kill(pid_t(second.processId()), SIGTERM);
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(folderState(folder), before);

    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(20000));
    QProcess third;
    third.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scene.startProgram(third);
    QVERIFY(third.waitForStarted());
    QVERIFY(!clientsOnceChecking(third).isEmpty());
    ::kill(pid_t(third.processId()), SIGTERM);
    QVERIFY(third.waitForFinished(20000));
    QCOMPARE(third.exitCode(), 0);
}

// A SIGTERM while a start-up message box waits for its answer ends the
// program rather than only the box. The box: a user who may not write the
// folder of its servers file is told so before the window opens.
void TestSignals::terminationDuringStartupBox()
{
    ThrowawayUser user;
    QVERIFY2(user.ok(), qPrintable(user.error()));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    sqlite3* db = nullptr;
    QVERIFY(ServerFile::open(folder.filePath(ServerFile::DefaultName), &db).ok());
    sqlite3_close(db);
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(folder.filePath(ServerFile::DefaultName),
                                  QFile::ReadOwner | QFile::ReadOther));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", folder.path());
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder.path());
    program.start("setpriv", user.runAs(VEMO_EXECUTABLE, {}));
    QVERIFY(program.waitForStarted());
    // Once its handler is in place the box is on its way, or up.
    QVERIFY(QTest::qWaitFor([&] { return catches(program.processId(), SIGTERM); }, 20000));
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY2(program.waitForFinished(20000), "the program went on after the box");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

// A password folder that a killed run left (its process is gone) is removed
// when the program starts, not only at its first login window.
void TestSignals::stalePasswordFoldersGoAtStartUp()
{
    HungServer scene;
    QVERIFY2(scene.ok(), qPrintable(scene.servers.error()));
    const qint64 deadPid = endedProcessId();
    QVERIFY(deadPid > 0);
    const QString stale = scene.runtime.filePath(QStringLiteral("vemo-pw-%1-abcdef").arg(deadPid));
    QVERIFY(QDir().mkpath(stale));
    QFile password(stale + "/pw-1");
    QVERIFY(password.open(QIODevice::WriteOnly) && password.write("secret\n") == 7);
    password.close();

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scene.startProgram(program);
    QVERIFY(program.waitForStarted());
    QVERIFY2(!clientsOnceChecking(program).isEmpty(), "the program ended before its check");
    QVERIFY(!QFileInfo::exists(stale));
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(20000));
}

QTEST_GUILESS_MAIN(TestSignals)
#include "TestSignals.moc"
