// The runner with the real plink against our fixture SSH servers on 127.0.0.1.
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/ProbeVerdicts.h"
#include "probe/Runner.h"
#include "support/FixtureServers.h"
#include "support/Processes.h"
#include "support/ThrowawayUser.h"

#include <QtTest>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{

constexpr int RunTimeoutMs = 60000;

// One RunCommand call and what its done callback received.
struct Outcome {
    bool called = false;
    int calls = 0;
    RunResult result;
};

// Waits for the done call and says what it received: "started" or "not
// started", ", timed out" and ", stopped" when so, how many calls when not one,
// then ": " and the reason when there is one; "no call" when none came.
QString ended(const std::shared_ptr<Outcome>& outcome, int timeoutMs = RunTimeoutMs)
{
    if (!QTest::qWaitFor([&] { return outcome->called; }, timeoutMs))
        return QStringLiteral("no call");
    const RunResult& result = outcome->result;
    QString text = result.started ? QStringLiteral("started") : QStringLiteral("not started");
    if (result.timedOut)
        text += QStringLiteral(", timed out");
    if (result.terminated)
        text += QStringLiteral(", stopped");
    if (outcome->calls != 1)
        text += QStringLiteral(", %1 calls").arg(outcome->calls);
    return result.reason.isEmpty() ? text : text + QStringLiteral(": ") + result.reason;
}

// The server check of domain on the fixture server s.
CommandLine checkLine(const FixtureServer& s, const QString& domain)
{
    return ServerCheckLine(s.portText(), s.password(), s.host(), domain);
}

// True once every call the runner posted before now has been delivered.
bool postedCallsDelivered()
{
    bool delivered = false;
    QMetaObject::invokeMethod(
        &Runner::instance(), [&delivered] { delivered = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&delivered] { return delivered; }, RunTimeoutMs);
}

QStringList karuFiles()
{
    return QDir().entryList({QStringLiteral("~karu*")}, QDir::AllEntries | QDir::Hidden);
}

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void checksSideBySideGiveVerdicts();
    void failedRunsLeaveAnEmptyFile_data();
    void failedRunsLeaveAnEmptyFile();
    void hungHostEndsAtTheDeadline();
    void terminateEndsOnlyOwnClients();
    void passwordNeverOnACommandLineNorInAFile();
    void hostileValuesReachTheClientWhole();
    void hostileHostIsOneArgument();
    void missingProgramsAreReported();
    void refusedLines_data();
    void refusedLines();
    void readOnlyFolderNamesTheCause();
    void callerGoneEndsItsClient();
    void detachedStarts();
    void keyFileReachesEveryClient();
    void clientsSkipTheHeavyEntropyCommands();
    void clientsRunAsMuchNicerAsAsked();
    void terminalKeepsTheHostKeyFolder();
    void verificationTerminalHoldsOnlyOnFailure_data();
    void verificationTerminalHoldsOnlyOnFailure();
    void shutdownEndsClientsAndClearsUp();
    void shutdownGivesClientsOneGrace();
    void clientsEndWhileStillStarting();

private:
    // RunCommand with a done callback that keeps what it received; the caller
    // is context, or one that goes at the end of each test.
    std::shared_ptr<Outcome> run(const CommandLine& line, QObject* context = nullptr);

    QTemporaryDir runtimeDir_; // the password files' base folder
    std::unique_ptr<QObject> context_;
    std::unique_ptr<FixtureServers> servers_;
};

void TestRunner::initTestCase()
{
    QCOMPARE(Runner::instance().deadline(), std::chrono::milliseconds(Runner::DefaultDeadline));
    QVERIFY2(!QStandardPaths::findExecutable("plink").isEmpty(), "plink (putty-tools) is needed");
    QVERIFY(runtimeDir_.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_.path()));
}

std::shared_ptr<Outcome> TestRunner::run(const CommandLine& line, QObject* context)
{
    auto outcome = std::make_shared<Outcome>();
    Runner::instance().RunCommand(line, context ? context : context_.get(),
                                  [outcome](const RunResult& result) {
                                      outcome->called = true;
                                      ++outcome->calls;
                                      outcome->result = result;
                                  });
    return outcome;
}

void TestRunner::init()
{
    context_ = std::make_unique<QObject>();
    servers_ = std::make_unique<FixtureServers>();
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    Runner::instance().setDeadline(30s);
}

void TestRunner::cleanup()
{
    Runner::instance().setKeyFile({});
    Runner::instance().setClientNiceness(0);
    context_.reset(); // the tests' caller goes, as a local one would at the end of the test
    // Whatever the outcome, no output file stays behind and no client runs on.
    QCOMPARE(karuFiles(), QStringList());
    QCOMPARE(Runner::instance().runningCount(), 0);
    QVERIFY(QTest::qWaitFor([] { return childProcesses("plink").isEmpty(); }, 10000));
    servers_.reset();
    Runner::instance().setDeadline(Runner::DefaultDeadline);
    Runner::instance().setDetachedPasswordGrace(Runner::DetachedPasswordGrace);
}

void TestRunner::cleanupTestCase()
{
    Runner::instance().shutdown();
    QCOMPARE(Runner::instance().passwordFolder(), QString());
    // No password folder of this process is left anywhere.
    const QString pattern = QStringLiteral("vemo-pw-%1-*").arg(::getpid());
    for (const QString& base : {QDir::tempPath(), qEnvironmentVariable("XDG_RUNTIME_DIR")}) {
        if (!base.isEmpty())
            QCOMPARE(QDir(base).entryList({pattern}, QDir::Dirs), QStringList());
    }
}

void TestRunner::checksSideBySideGiveVerdicts()
{
    const QByteArray mdstat = "Personalities : [raid1]\nmd0 : active raid1 sdb1[1] sda1[0]\n";
    auto many = servers_->startMany(3);
    FixtureServer& cr = servers_->start(FixtureOptions{.mode = FixtureMode::CrOutput});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    FixtureServer& good = *many[0];
    FixtureServer& failing = *many[1];
    FixtureServer& crInReport = *many[2];
    good.setUptime(123456);
    good.setMdstat(mdstat);
    good.setBackupReport("0\n", QByteArray("2026-12-08 03:00\n"));
    failing.setUptime(3599);
    failing.setMdstat("Personalities : [raid1]\nmd0 : active raid1 sda1[0]\n");
    failing.setBackupReport("2\n");
    crInReport.setUptime(90061);
    crInReport.setBackupReport("0\n", QByteArray("monday\rhidden\n"));
    cr.setUptime(93456);

    struct Expected {
        FixtureServer* server;
        QString domain, uptime, backup, raid;
    };
    const QList<Expected> expected{
        {&good, "good.example", "1d,10h,17m", "2026-12-08 03:00\n ", "Clean"},
        {&failing, "failing.example", "59m", "Time Unknown ", "DIRTY!!!"},
        {&crInReport, "cr-in-report.example", "1d,1h,1m", "monday ", "DIRTY!!!"},
        {&cr, "cr.example", "1d,1h,57m", "93456 ", "DIRTY!!!"},
    };
    QList<std::shared_ptr<Outcome>> outcomes;
    for (const Expected& e : expected)
        outcomes << run(checkLine(*e.server, e.domain));
    QCOMPARE(Runner::instance().runningCount(), int(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        QCOMPARE(ended(outcomes[i]), QStringLiteral("started"));
        const OutputRead out = readOutputFile(CheckTempFileName(e.domain));
        QVERIFY2(out.hasText, qPrintable(e.domain));
        const ProbeVerdicts v = parseProbeOutput(out.text, QString::fromUtf8(mdstat));
        QCOMPARE(v.status.text, QStringLiteral("Online"));
        QCOMPARE(v.uptime.text, e.uptime);
        QCOMPARE(v.backup.text, e.backup);
        QCOMPARE(v.raid.text, e.raid);
    }
}

void TestRunner::failedRunsLeaveAnEmptyFile_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused login") << int(FixtureMode::RefuseLogin) << true << false
                                   << "Access denied: password, no SSH agent or key file";
    QTest::newRow("untrusted host key")
        << int(FixtureMode::Normal) << false << false << "host key not yet trusted";
    QTest::newRow("closed port") << int(FixtureMode::Normal) << true << true
                                 << "Connection refused";
}

void TestRunner::failedRunsLeaveAnEmptyFile()
{
    QFETCH(int, mode);
    QFETCH(bool, trusted);
    QFETCH(bool, closed);
    QFETCH(QString, reason);

    FixtureServer& s =
        servers_->start(FixtureOptions{.mode = FixtureMode(mode), .trustHostKey = trusted});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    const QString port = closed ? QString::number(FixtureServers::closedPort()) : s.portText();
    auto outcome = run(RaidRecheckLine(port, s.password(), s.host()));
    QCOMPARE(ended(outcome), "started: " + reason);
    QVERIFY(QFileInfo::exists(RaidTempFileName));
    QCOMPARE(QFileInfo(RaidTempFileName).size(), 0);
    QVERIFY(!readOutputFile(RaidTempFileName).hasText);
}

void TestRunner::hungHostEndsAtTheDeadline()
{
    FixtureServer& s = servers_->start(FixtureOptions{.mode = FixtureMode::Hung});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    Runner::instance().setDeadline(1500ms);
    auto outcome = run(checkLine(s, "hung.example"));
    QCOMPARE(ended(outcome), QStringLiteral("started, timed out: timed out after 1500 ms"));
    QVERIFY(!readOutputFile(CheckTempFileName("hung.example")).hasText);
}

void TestRunner::terminateEndsOnlyOwnClients()
{
    auto held = servers_->startMany(2, FixtureOptions{.mode = FixtureMode::Held});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));

    // A process of our own named like plink, but not started by the runner.
    const QString bystanderPath = servers_->home() + "/plink-bystander";
    QVERIFY(QFile::link("/bin/sleep", bystanderPath));
    QProcess bystander;
    bystander.start(bystanderPath, {"600"});
    QVERIFY(bystander.waitForStarted());

    // One client waits on the first server, two on the second.
    QList<std::shared_ptr<Outcome>> outcomes;
    const auto domain = [](int i) { return QStringLiteral("held%1.example").arg(i); };
    for (int i = 0; i < 3; ++i) {
        const FixtureServer& s = *held[i == 0 ? 0 : 1];
        outcomes << run(checkLine(s, domain(i)));
    }
    QVERIFY(
        QTest::qWaitFor([&] { return held[0]->heldCount() + held[1]->heldCount() == 3; }, 20000));

    // No putty runs: nothing ends, so the first client, let go, ends on its own.
    Runner::instance().TerminateProcesses("putty");
    held[0]->release();
    QCOMPARE(ended(outcomes[0]), QStringLiteral("started"));
    QVERIFY(readOutputFile(CheckTempFileName(domain(0))).hasText);
    QCOMPARE(Runner::instance().runningCount(), 2);

    Runner::instance().TerminateProcesses("PLINK");
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(ended(outcomes[i], 20000),
                 QStringLiteral("started, stopped: stopped before it finished"));
        QVERIFY(!readOutputFile(CheckTempFileName(domain(i))).hasText);
    }
    QCOMPARE(bystander.state(), QProcess::Running);
    QCOMPARE(childProcesses("plink-bystander").size(), 1);
    bystander.kill();
    QVERIFY(bystander.waitForFinished());
}

void TestRunner::passwordNeverOnACommandLineNorInAFile()
{
    const QString password = QString::fromUtf8("Pw-7f3a k\xc3\xa4;$(x)`y`'\"");
    FixtureServer& s =
        servers_->start(FixtureOptions{.mode = FixtureMode::Held, .password = password});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    // Where a password file could appear, and the working folder.
    QStringList folders{runtimeDir_.path(), QDir::currentPath()};
    if (!Runner::instance().passwordFolder().isEmpty())
        folders << Runner::instance().passwordFolder();
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QHash<int, QString> watched;
    for (const QString& folder : folders)
        watched.insert(::inotify_add_watch(watch, QFile::encodeName(folder).constData(),
                                           IN_CREATE | IN_MOVED_TO),
                       folder);
    QVERIFY(!watched.contains(-1));

    auto check = run(ServerCheckLine(s.portText(), password, s.host(), "pw.example"));
    auto raid = run(RaidRecheckLine(s.portText(), password, s.host()));
    QVERIFY(QTest::qWaitFor([&] { return s.heldCount() == 2; }, 20000));
    const QList<qint64> clients = childProcesses("plink");
    QCOMPARE(clients.size(), 2);
    for (qint64 pid : clients) {
        const QByteArray raw = procEntry(pid, "cmdline");
        QVERIFY(!raw.isEmpty());
        QVERIFY(!raw.contains(password.toUtf8()));
        QVERIFY(!raw.contains("Pw-7f3a"));
        QVERIFY(!procEntry(pid, "environ").contains("Pw-7f3a"));
        const QStringList args = commandLineOf(pid);
        QCOMPARE(args.size(), 7);
        QCOMPARE(args.mid(1, 3), (QStringList{"-P", s.portText(), "-pwfile"}));
        QCOMPARE(args[5], QStringLiteral("root@127.0.0.1"));
        QVERIFY(args[6] == ProbeCommand || args[6] == RaidCommand);
        // The password comes through a pipe the client inherited.
        QVERIFY2(args[4].startsWith("/dev/fd/"), qPrintable(args[4]));
        const QString fd = QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(args[4].mid(8));
        QVERIFY2(QFile::symLinkTarget(fd).contains("pipe:["), qPrintable(fd));
    }
    s.release();
    QCOMPARE(ended(check), QStringLiteral("started"));
    QCOMPARE(ended(raid), QStringLiteral("started"));
    // The password arrived whole: the login worked.
    QVERIFY(readOutputFile(CheckTempFileName("pw.example")).hasText);
    QVERIFY(readOutputFile(RaidTempFileName).text.startsWith("Personalities"));

    QStringList created;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            created << watched.value(event->wd) + '/' + QFile::decodeName(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    created.sort();
    QCOMPARE(created, (QStringList{QDir::currentPath() + "/~karu2.tmp",
                                   QDir::currentPath() + "/~karu~pw.example.tmp"}));
}

void TestRunner::hostileValuesReachTheClientWhole()
{
    const QString marks = servers_->home() + "/marks";
    QVERIFY(QDir().mkpath(marks));
    const auto hostile = [&](const QString& tag) {
        return QStringLiteral(" ;touch %1/%2a&&touch %1/%2b|touch %1/%2c&touch %1/%2d "
                              "$(touch %1/%2e)`touch %1/%2f`'\"")
            .arg(marks, tag);
    };
    const QString password = "pw" + hostile("pw");
    // Relative marks: a shell would make them in the working folder.
    const QString domain = "dom ;touch m1&&touch m2|touch m3&touch m4 $(touch m5)`touch m6`'\"";
    QVERIFY(!domainFileNameProblem(domain));
    FixtureServer& s =
        servers_->start(FixtureOptions{.mode = FixtureMode::Held, .password = password});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    // plink reads the number at the start of the port; the rest must not run.
    const QString port = s.portText() + hostile("port");

    auto outcome = run(ServerCheckLine(port, password, s.host(), domain));
    QVERIFY(QTest::qWaitFor([&] { return s.heldCount() == 1; }, 20000));
    const QList<qint64> clients = childProcesses("plink");
    QCOMPARE(clients.size(), 1);
    const QStringList args = commandLineOf(clients.first());
    QCOMPARE(args.size(), 7);
    QCOMPARE(args.mid(1),
             (QStringList{"-P", port, "-pwfile", args[4], "root@127.0.0.1", ProbeCommand}));
    s.release();
    QCOMPARE(ended(outcome), QStringLiteral("started"));
    QVERIFY(QFileInfo::exists(CheckTempFileName(domain)));
    const OutputRead out = readOutputFile(CheckTempFileName(domain));
    QVERIFY(out.hasText);
    QCOMPARE(parseProbeOutput(out.text, QString()).uptime.text, QStringLiteral("1d,1h,57m"));
    QCOMPARE(QDir(marks).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestRunner::hostileHostIsOneArgument()
{
    // A hostile host name would be looked up in the DNS by the real plink, so
    // a recording stand-in takes its place on PATH.
    QVERIFY(servers_->sandbox().addRecorder("plink"));
    servers_->sandbox().setPath(Sandbox::Path::StandInsOnly);

    const QString host = "h $(touch x)`touch y`;touch z|w&v'\"";
    auto outcome = run(RaidRecheckLine("22", "pw 1", host));
    QCOMPARE(ended(outcome), QStringLiteral("started"));
    const QList<StandInCall> calls = servers_->sandbox().calls("plink");
    QCOMPARE(calls.size(), 1);
    const QStringList args = calls[0].args;
    QCOMPARE(args,
             (QStringList{"-P", "22", "-pwfile", args.value(3), "root@" + host, RaidCommand}));
    QVERIFY2(args[3].startsWith("/dev/fd/"), qPrintable(args[3]));
    QCOMPARE(calls[0].password, QStringLiteral("pw 1\n"));
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{RaidTempFileName});
    QVERIFY(!readOutputFile(RaidTempFileName).hasText);
}

void TestRunner::missingProgramsAreReported()
{
    servers_->sandbox().setPath(Sandbox::Path::StandInsOnly); // nothing there
    // What an earlier run of the program left behind when it was killed must
    // not pass for this run's answer.
    QFile stale(CheckTempFileName("missing.example"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    QVERIFY(stale.write("93456\n0\nmonday\n") > 0);
    stale.close();
    auto outcome = run(ServerCheckLine("22", "pw", "127.0.0.1", "missing.example"));
    QVERIFY(!outcome->called); // never from inside RunCommand
    QCOMPARE(ended(outcome), QStringLiteral("not started: plink not found"));
    QVERIFY(!readOutputFile(CheckTempFileName("missing.example")).hasText);

    QString reason;
    QVERIFY(
        !Runner::instance().startDetached(InteractiveLoginLine("22", "pw", "127.0.0.1"), &reason));
    QCOMPARE(reason, QStringLiteral("putty not found"));

    // With plink there but no terminal, the console client does not start
    // either: not even its password file is written.
    QVERIFY(servers_->sandbox().addRecorder("plink"));
    const QStringList before = passwordFiles();
    QVERIFY(
        !Runner::instance().startDetached(VerificationLine("22", "pw", "h", "h.example"), &reason));
    QVERIFY2(reason.contains("terminal"), qPrintable(reason));
    QCOMPARE(passwordFilesSince(before), QStringList());
}

void TestRunner::refusedLines_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("domain climbs out") << "/../../escaped"
                                       << "pw"
                                       << "path separator";
    QTest::newRow("domain is dot dot") << ".."
                                       << "pw"
                                       << "cannot name a file";
    QTest::newRow("domain holds a line feed") << "a\nb"
                                              << "pw"
                                              << "control character";
    QTest::newRow("password holds a line feed") << "ok.example"
                                                << "a\nb"
                                                << "line break";
}

void TestRunner::refusedLines()
{
    QFETCH(QString, domain);
    QFETCH(QString, password);
    QFETCH(QString, reasonPart);
    FixtureServer& s = servers_->start();
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    QVERIFY(QDir().mkpath("~karu~")); // would let "~karu~/../x" reach the parent folder

    auto outcome = run(ServerCheckLine(s.portText(), password, s.host(), domain));
    QVERIFY(!outcome->called);
    QCOMPARE(Runner::instance().runningCount(), 0);
    const QString end = ended(outcome);
    QVERIFY2(end.startsWith("not started: ") && end.contains(reasonPart), qPrintable(end));
    QVERIFY(!readOutputFile(CheckTempFileName(domain)).hasText);
    QVERIFY(QDir().rmdir("~karu~"));
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir("..").entryList({"*escaped*"}), QStringList());
}

void TestRunner::readOnlyFolderNamesTheCause()
{
    QString folder = qEnvironmentVariable("VEMO_READ_ONLY_FOLDER");
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (::getuid() == 0 && folder.isEmpty()) {
        // Root writes anywhere: this test runs again as a user who may not write there.
        ThrowawayUser user;
        QVERIFY2(user.ok(), qPrintable(user.error()));
        QTemporaryDir target, programDir;
        QVERIFY(target.isValid() && programDir.isValid());
        QVERIFY(QFile::setPermissions(target.path(), readOnly | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(programDir.path(), readOnly | QFile::WriteOwner));
        // The build folder may be closed to that user: run a copy.
        const QString program = programDir.filePath("test_probe_runner");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VEMO_READ_ONLY_FOLDER", target.path());
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(target.path());
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv", user.runAs(program, {"readOnlyFolderNamesTheCause"}));
        QVERIFY(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                     output.contains("PASS   : TestRunner::readOnlyFolderNamesTheCause()"),
                 output.constData());
        QCOMPARE(
            QDir(target.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
            QStringList());
        return;
    }
    QTemporaryDir own;
    if (folder.isEmpty()) { // a user who is not root may not write into a folder of mode 0555
        QVERIFY(own.isValid() && QFile::setPermissions(own.path(), readOnly));
        folder = own.path();
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    const QString expectedNotice =
        QStringLiteral("The servers cannot be checked, because the checks' temp files cannot be "
                       "created in the folder \"%1\" (Permission denied).")
            .arg(QDir::currentPath());
    const QString notice = outputFolderProblem();
    auto outcome = run(
        ServerCheckLine(QString::number(FixtureServers::closedPort()), "pw", "127.0.0.1", "ro.x"));
    const QString end = ended(outcome);
    const QString expectedReason =
        QStringLiteral("cannot create the temp file \"~karu~ro.x.tmp\" in %1: Permission denied")
            .arg(QDir::currentPath());
    QVERIFY(QDir::setCurrent(previous));
    if (!own.path().isEmpty())
        QFile::setPermissions(own.path(), readOnly | QFile::WriteOwner);
    QCOMPARE(notice, expectedNotice);
    QCOMPARE(end, "not started: " + expectedReason);
}

void TestRunner::callerGoneEndsItsClient()
{
    FixtureServer& s = servers_->start(FixtureOptions{.mode = FixtureMode::Held});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    auto context = std::make_unique<QObject>();
    auto outcome = run(checkLine(s, "gone.example"), context.get());
    QVERIFY(QTest::qWaitFor([] { return childProcesses("plink").size() == 1; }, 20000));
    context.reset();
    QVERIFY(QTest::qWaitFor([] { return Runner::instance().runningCount() == 0; }, 20000));
    // Nobody reads the output any more, so it is cleared away, and done stays silent.
    QVERIFY(QTest::qWaitFor([] { return karuFiles().isEmpty(); }, 5000));
    QVERIFY(postedCallsDelivered());
    QVERIFY(!outcome->called);
}

void TestRunner::detachedStarts()
{
    Sandbox& box = servers_->sandbox();
    for (const char* name : {"putty", "plink", "xterm"})
        QVERIFY(box.addRecorder(name));
    box.setPath(Sandbox::Path::StandInsOnly);

    // putty shows its own window; its password file stays while it starts.
    QString reason;
    QVERIFY(Runner::instance().startDetached(InteractiveLoginLine("2222", "pw 2", "h;x"), &reason));
    QVERIFY(box.waitForCalls("putty"));
    StandInCall call = box.calls("putty")[0];
    QCOMPARE(call.args.size(), 5);
    QCOMPARE(call.args.mid(0, 3), (QStringList{"-P", "2222", "-pwfile"}));
    QCOMPARE(call.args[4], QStringLiteral("root@h;x"));
    QCOMPARE(call.password, QStringLiteral("pw 2\n"));

    // The console client goes into a terminal window: xterm when there is no
    // x-terminal-emulator, the desktop's choice when there is one.
    QVERIFY(Runner::instance().startDetached(VerificationLine("2222", "pw 3", "h", "h.example"),
                                             &reason));
    QVERIFY(box.waitForCalls("xterm"));
    call = box.calls("xterm")[0];
    QCOMPARE(call.args.size(), 11);
    QCOMPARE(call.args.mid(0, 4),
             (QStringList{"-T", "Server verification: h.example", "-e", box.bin() + "/plink"}));
    QCOMPARE(call.args[10], VerificationCommand);
    QCOMPARE(call.password, QStringLiteral("pw 3\n"));

    QVERIFY(box.addRecorder("x-terminal-emulator"));
    QVERIFY(Runner::instance().startDetached(VerificationLine("2222", "pw 4", "h", "h.example"),
                                             &reason));
    QVERIFY(box.waitForCalls("x-terminal-emulator"));
    call = box.calls("x-terminal-emulator")[0];
    QCOMPARE(call.args.mid(2, 2), (QStringList{"-e", box.bin() + "/plink"}));
    QCOMPARE(call.password, QStringLiteral("pw 4\n"));

    // The password files go after the grace, read or not.
    Runner::instance().setDetachedPasswordGrace(0ms);
    const QStringList before = passwordFiles();
    QVERIFY(Runner::instance().startDetached(InteractiveLoginLine("2222", "pw 5", "h"), &reason));
    const QStringList added = passwordFilesSince(before);
    QCOMPARE(added.size(), 1);
    QVERIFY(QTest::qWaitFor([&] { return !passwordFiles().contains(added[0]); }, 10000));
    QVERIFY(box.waitForCalls("putty", 2));
}

// The key file goes to the login, the verification terminal and the waited
// clients alike; with no password stored, no password file is made.
void TestRunner::keyFileReachesEveryClient()
{
    Sandbox& box = servers_->sandbox();
    for (const char* name : {"putty", "plink", "x-terminal-emulator"})
        QVERIFY(box.addRecorder(name));
    box.setPath(Sandbox::Path::StandInsOnly);
    Runner::instance().setKeyFile("/keys/root.ppk");
    const QStringList keyed{"-P", "22", "-i", "/keys/root.ppk", "root@h"};
    const QStringList before = passwordFiles();

    QVERIFY(Runner::instance().startDetached(InteractiveLoginLine("22", "", "h")));
    QVERIFY(box.waitForCalls("putty"));
    QCOMPARE(box.calls("putty")[0].args, keyed);
    QVERIFY(Runner::instance().startDetached(VerificationLine("22", "", "h", "h.example")));
    QVERIFY(box.waitForCalls("x-terminal-emulator"));
    const QStringList verification{
        "-P", "22", "-i", "/keys/root.ppk", "-no-antispoof", "root@h", VerificationCommand};
    const QStringList inTerminal = box.calls("x-terminal-emulator")[0].args;
    QCOMPARE(inTerminal.mid(inTerminal.size() - verification.size()), verification);
    QVERIFY(!inTerminal.contains("-pwfile"));
    QCOMPARE(passwordFilesSince(before), QStringList());

    auto raid = run(RaidRecheckLine("22", "", "h"));
    QCOMPARE(ended(raid), QStringLiteral("started"));
    QCOMPARE(box.calls("plink").value(0).args, keyed + QStringList{RaidCommand});
    QVERIFY(!box.calls("plink").value(0).password.has_value());
    QVERIFY(!readOutputFile(RaidTempFileName).hasText);
}

// plink runs "ps -axu" and "ls -al /tmp" through sh for entropy at every
// start; for the checks both lead to true, and the rest of PATH stays.
void TestRunner::clientsSkipTheHeavyEntropyCommands()
{
    Sandbox& box = servers_->sandbox();
    QFile plink(box.bin() + "/plink");
    QVERIFY(plink.open(QIODevice::WriteOnly));
    plink.write("#!/bin/sh\nsh -c 'ps -axu 2>/dev/null' | wc -c\nsh -c 'ls -al /tmp' | wc -c\n");
    plink.close();
    QVERIFY(plink.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    box.setPath(Sandbox::Path::StandInsFirst);

    auto raid = run(RaidRecheckLine("22", "pw", "h"));
    QCOMPARE(ended(raid), QStringLiteral("started"));
    const OutputRead out = readOutputFile(RaidTempFileName);
    QCOMPARE(out.text.split('\n', Qt::SkipEmptyParts), (QStringList{"0", "0"}));
}

void TestRunner::clientsRunAsMuchNicerAsAsked()
{
    Sandbox& box = servers_->sandbox();
    QFile plink(box.bin() + "/plink");
    QVERIFY(plink.open(QIODevice::WriteOnly));
    plink.write("#!/bin/sh\nnice\n");
    plink.close();
    QVERIFY(plink.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    box.setPath(Sandbox::Path::StandInsFirst);

    errno = 0;
    const int ours = getpriority(PRIO_PROCESS, 0);
    QCOMPARE(errno, 0);
    for (const int steps : {0, 10}) {
        Runner::instance().setClientNiceness(steps);
        auto raid = run(RaidRecheckLine("22", "pw", "h"));
        QCOMPARE(ended(raid), QStringLiteral("started"));
        QCOMPARE(readOutputFile(RaidTempFileName).text.trimmed(), QString::number(ours + steps));
    }
}

void TestRunner::terminalKeepsTheHostKeyFolder()
{
    Sandbox& box = servers_->sandbox();
    QVERIFY(box.addRecorder("plink") && box.addTerminal("xterm"));
    QVERIFY(QFile::link(QStandardPaths::findExecutable("env"), box.bin() + "/env"));
    box.setPath(Sandbox::Path::StandInsOnly);

    // The verification client trusts and stores host keys where the checks look.
    QString reason;
    QVERIFY2(Runner::instance().startDetached(VerificationLine("2222", "pw 5", "h", "h.example"),
                                              &reason),
             qPrintable(reason));
    QVERIFY(box.waitForCalls("plink"));
    const StandInCall call = box.calls("plink")[0];
    QCOMPARE(call.puttyDir, box.puttyDir());
    QCOMPARE(call.args.size(), 7);
    QCOMPARE(call.args[6], VerificationCommand);
    QCOMPARE(call.password, QStringLiteral("pw 5\n"));
}

void TestRunner::verificationTerminalHoldsOnlyOnFailure_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("verified") << int(FixtureMode::Normal);
    QTest::newRow("refused login") << int(FixtureMode::RefuseLogin);
}

void TestRunner::verificationTerminalHoldsOnlyOnFailure()
{
    QFETCH(int, mode);
    FixtureServer& s = servers_->start(FixtureOptions{.mode = FixtureMode(mode)});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    // A recording terminal, the real plink and our holder program on PATH.
    Sandbox& box = servers_->sandbox();
    const QString bin = box.bin();
    QVERIFY(box.addRecorder("xterm"));
    QVERIFY(QFile::link(QStandardPaths::findExecutable("plink"), bin + "/plink"));
    QVERIFY(QFile::link(VEMO_VERIFY_EXECUTABLE, bin + "/vemo-verify"));
    box.setPath(Sandbox::Path::StandInsOnly);
    Runner::instance().setDetachedPasswordGrace(120s);

    QString reason;
    QVERIFY2(Runner::instance().startDetached(
                 VerificationLine(s.portText(), s.password(), s.host(), "verify.example"), &reason),
             qPrintable(reason));
    QVERIFY(box.waitForCalls("xterm"));
    const QStringList args = box.calls("xterm")[0].args;
    QCOMPARE(args.mid(0, 5), (QStringList{"-T", "Server verification: verify.example", "-e",
                                          bin + "/vemo-verify", bin + "/plink"}));
    QCOMPARE(args.mid(5), (QStringList{"-P", s.portText(), "-pwfile", args.value(8),
                                       "-no-antispoof", "root@127.0.0.1", VerificationCommand}));

    // What the terminal runs, with this test at its keyboard.
    QProcess terminal;
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    terminal.start(args[3], args.mid(4));
    QVERIFY(terminal.waitForStarted());
    QByteArray shown;
    if (FixtureMode(mode) == FixtureMode::Normal) {
        // It closes by itself; nobody presses Enter.
        QVERIFY(terminal.waitForFinished(30000));
        shown = terminal.readAll();
        QCOMPARE(terminal.exitCode(), 0);
        QVERIFY2(shown.contains("Server Verified!") && !shown.contains("failed"),
                 shown.constData());
        return;
    }
    QVERIFY(QTest::qWaitFor(
        [&] {
            shown += terminal.readAll();
            return shown.contains("Press Enter") || terminal.state() == QProcess::NotRunning;
        },
        30000));
    QVERIFY2(shown.contains("Access denied") &&
                 shown.contains("\nThe verification failed (plink exited with code 1). Press "
                                "Enter to close this window.\n"),
             shown.constData());
    // It waits for the keyboard: in read(2) on its standard input.
    const QByteArray readingInput = QByteArray::number(SYS_read) + " 0x0 ";
    QVERIFY(QTest::qWaitFor(
        [&] { return procEntry(terminal.processId(), "syscall").startsWith(readingInput); },
        10000));
    QCOMPARE(terminal.state(), QProcess::Running);
    terminal.write("\n");
    QVERIFY(terminal.waitForFinished(10000));
    QCOMPARE(terminal.exitCode(), 1);
}

void TestRunner::shutdownEndsClientsAndClearsUp()
{
    FixtureServer& s = servers_->start(FixtureOptions{.mode = FixtureMode::Held});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    auto check = run(checkLine(s, "quit.example"));
    auto raid = run(RaidRecheckLine(s.portText(), s.password(), s.host()));
    // A detached client started too: its password file stays past the shutdown's time.
    QVERIFY(servers_->sandbox().addRecorder("putty"));
    servers_->sandbox().setPath(Sandbox::Path::StandInsFirst);
    Runner::instance().setDetachedPasswordGrace(120s);
    QVERIFY(Runner::instance().startDetached(InteractiveLoginLine("22", "pw", "h")));
    QVERIFY(servers_->sandbox().waitForCalls("putty"));
    QVERIFY(QTest::qWaitFor([] { return childProcesses("plink").size() == 2; }, 20000));
    const QString folder = Runner::instance().passwordFolder();
    QVERIFY(!folder.isEmpty() && !passwordFiles().isEmpty());
    QVERIFY(QFileInfo::exists(CheckTempFileName("quit.example")));

    Runner::instance().shutdown();
    QCOMPARE(Runner::instance().runningCount(), 0);
    QCOMPARE(childProcesses("plink"), QList<qint64>());
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(karuFiles(), QStringList());
    QVERIFY(postedCallsDelivered());
    QVERIFY(!check->called);
    QVERIFY(!raid->called);
}

void TestRunner::shutdownGivesClientsOneGrace()
{
    // Clients that ignore SIGTERM: each is killed after the grace, and the
    // grace is one for them all, not one after another's.
    constexpr int Clients = 4;
    Sandbox& box = servers_->sandbox();
    QFile stubborn(box.bin() + "/plink");
    QVERIFY(stubborn.open(QIODevice::WriteOnly));
    stubborn.write("#!/bin/sh\ntrap '' TERM\nexec /bin/sleep 60\n");
    stubborn.close();
    QVERIFY(stubborn.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    box.setPath(Sandbox::Path::StandInsOnly);
    for (int i = 0; i < Clients; ++i)
        run(ServerCheckLine("22", "pw", "127.0.0.1", QStringLiteral("s%1.example").arg(i)));
    QVERIFY(QTest::qWaitFor([] { return childProcesses("sleep").size() == Clients; }, 20000));

    QElapsedTimer clock;
    clock.start();
    Runner::instance().shutdown();
    QCOMPARE(childProcesses("sleep"), QList<qint64>());
    // One grace of 3 s, against 12 s for a grace per client.
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
}

void TestRunner::clientsEndWhileStillStarting()
{
    // Clients start on the runner's own thread and come back to it later: an
    // end asked for in between still ends them, and nothing is left behind.
    FixtureServer& s = servers_->start(FixtureOptions{.mode = FixtureMode::Held});
    QVERIFY2(servers_->ok(), qPrintable(servers_->error()));
    auto stopped = run(checkLine(s, "early.example"));
    Runner::instance().TerminateProcesses("plink");
    QCOMPARE(ended(stopped), "started, stopped: " + Runner::StoppedReason);
    QVERIFY(!readOutputFile(CheckTempFileName("early.example")).hasText);

    auto quit = run(checkLine(s, "late.example"));
    Runner::instance().shutdown();
    QCOMPARE(Runner::instance().runningCount(), 0);
    QCOMPARE(childProcesses("plink"), QList<qint64>());
    QVERIFY(postedCallsDelivered());
    QVERIFY(!quit->called);
    QCOMPARE(karuFiles(), QStringList());
}

QTEST_GUILESS_MAIN(TestRunner)
#include "TestRunner.moc"
