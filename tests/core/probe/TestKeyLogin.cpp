// Logins by key against Debian's real OpenSSH server, which refuses root's
// password: the server check as the monitor runs it, with the real plink.
#include "probe/KeyFile.h"
#include "probe/OutputFile.h"
#include "probe/Runner.h"
#include "probe/ServerCheck.h"
#include "support/OpenSshServer.h"
#include "support/Processes.h"
#include "support/Sandbox.h"

#include <QtTest>
#include <memory>

class TestKeyLogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void keyFileProblems_data();
    void keyFileProblems();
    void checkLogsIn_data();
    void checkLogsIn();

private:
    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<OpenSshServer> sshd_;
};

void TestKeyLogin::initTestCase()
{
    sandbox_ = std::make_unique<Sandbox>();
    QVERIFY2(sandbox_->ok(), qPrintable(sandbox_->error()));
    sshd_ = std::make_unique<OpenSshServer>(sandbox_->puttyDir());
    QVERIFY2(sshd_->ok(), qPrintable(sshd_->error()));
    QVERIFY2(sshd_->startAgent(), qPrintable(sshd_->error()));
}

void TestKeyLogin::cleanup()
{
    Runner::instance().setKeyFile({});
    qunsetenv("SSH_AUTH_SOCK");
}

void TestKeyLogin::keyFileProblems_data()
{
    QTest::addColumn<QString>("file"); // a name of the server's keys, else made here
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem"); // what the message says; empty: usable

    QTest::newRow("PuTTY key") << "root.ppk" << QByteArray() << "";
    QTest::newRow("passphrase") << "locked.ppk" << QByteArray() << "protected by a passphrase";
    QTest::newRow("OpenSSH key") << "root" << QByteArray()
                                 << "is an OpenSSH key; plink reads PuTTY's keys. Convert it "
                                    "once with: puttygen";
    QTest::newRow("missing") << "" << QByteArray() << "does not exist";
    QTest::newRow("public key") << "made" << QByteArray("ssh-ed25519 AAAA root@host\n")
                                << "is not a private key of PuTTY";
    QTest::newRow("no encryption line")
        << "made" << QByteArray("PuTTY-User-Key-File-3: x\n") << "is not a private key of PuTTY";
}

void TestKeyLogin::keyFileProblems()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QString path = QFileInfo(sshd_->keyFile()).dir().filePath(file);
    if (file == "made") {
        path = QDir::current().filePath("made.ppk");
        QFile made(path);
        QVERIFY(made.open(QIODevice::WriteOnly) && made.write(content) == content.size());
    } else if (file.isEmpty()) {
        path = QDir::current().filePath("missing.ppk");
    }
    const std::optional<QString> said = keyFileProblem(path);
    QCOMPARE(said.has_value(), !problem.isEmpty());
    if (said) {
        QVERIFY2(said->contains(problem) && said->contains('"' + path + '"'), qPrintable(*said));
    }
}

void TestKeyLogin::checkLogsIn_data()
{
    QTest::addColumn<bool>("agent");
    QTest::addColumn<bool>("keyFile");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("verdict"); // "Online", or the offline reason

    QTest::newRow("agent, no password") << true << false << ""
                                        << "Online";
    QTest::newRow("key file, no agent") << false << true << ""
                                        << "Online";
    QTest::newRow("agent first, password stored") << true << false << "root-pw"
                                                  << "Online";
    QTest::newRow("password only") << false << false << "root-pw"
                                   << "Access denied: password, no SSH agent or key file";
    QTest::newRow("nothing to log in with")
        << false << false << ""
        << "Access denied: no SSH agent or key file, no password stored";
}

void TestKeyLogin::checkLogsIn()
{
    QFETCH(bool, agent);
    QFETCH(bool, keyFile);
    QFETCH(QString, password);
    QFETCH(QString, verdict);
    if (agent)
        qputenv("SSH_AUTH_SOCK", QFile::encodeName(sshd_->agentSocket()));
    if (keyFile)
        Runner::instance().setKeyFile(sshd_->keyFile());

    const QString domain = "key.example";
    const CommandLine line = ServerCheckLine(QString::number(sshd_->port()), password,
                                             QStringLiteral("127.0.0.1"), domain);
    bool ended = false;
    RunResult result;
    Runner::instance().RunCommand(line, this, [&](const RunResult& run) {
        result = run;
        ended = true;
    });
    // The password never shows on the client's command line, once it runs plink.
    QStringList commandLine;
    for (const qint64 pid : Runner::instance().runningPids()) {
        QVERIFY(QTest::qWaitFor(
            [&] {
                commandLine = commandLineOf(pid);
                return commandLine.value(0).endsWith("plink") || !isRunning(pid);
            },
            20000));
    }
    if (!password.isEmpty())
        QVERIFY2(!commandLine.join(' ').contains(password), qPrintable(commandLine.join(' ')));
    QCOMPARE(commandLine.contains("-pwfile"), !password.isEmpty() && !commandLine.isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 60000));

    const CheckVerdict checked =
        checkVerdict(readOutputFile(CheckTempFileName(domain)), result, {});
    QCOMPARE(checked.online ? checked.cells.status.text : checked.reason, verdict);
    if (checked.online)
        QCOMPARE(checked.cells.uptime.text, QStringLiteral("1d,1h,57m"));
}

QTEST_GUILESS_MAIN(TestKeyLogin)
#include "TestKeyLogin.moc"
