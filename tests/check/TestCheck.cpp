// vemo-check, the real executable, against fixture SSH servers on 127.0.0.1:
// one mixed set of servers in each format with its exit status, Prometheus's
// own promtool and node_exporter reading the exposition, and the servers
// files it must refuse without touching them.
#include "common/Module.h"
#include "gui/monitor/MonitorTestKit.h"
#include "monitor/Main.h"
#include "probe/Runner.h"
#include "store/Servers.h"
#include "support/FixtureServers.h"
#include "support/OpenSshServer.h"
#include "support/Processes.h"
#include "support/SampleMdstat.h"
#include "support/ServerRecords.h"
#include "support/ThrowawayUser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace
{

const QString VemoCheck = QStringLiteral(VEMO_CHECK_EXECUTABLE);
constexpr int RunTimeoutMs = 120000;

// A domain that no file name, plugin line or label may break.
const QString OddDomain = QStringLiteral("odd\"\\\nname");

struct Ran {
    int exitCode = -1;
    QByteArray out, err;
};

// vemo-check with arguments, as root or as the given user.
Ran runCheck(const QStringList& arguments, const ThrowawayUser* user = nullptr)
{
    QProcess process;
    if (user)
        process.start("setpriv", user->runAs(VemoCheck, arguments));
    else
        process.start(VemoCheck, arguments);
    Ran ran;
    if (!process.waitForFinished(RunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return ran;
    }
    ran.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ran.out = process.readAllStandardOutput();
    ran.err = process.readAllStandardError();
    return ran;
}

// A file's bytes and modification time, to show it was left as it was.
struct FileState {
    QByteArray bytes;
    QDateTime modified;
    bool operator==(const FileState&) const = default;
};

FileState fileState(const QString& name)
{
    QFile file(name);
    FileState state;
    if (file.open(QIODevice::ReadOnly))
        state.bytes = file.readAll();
    state.modified = QFileInfo(name).lastModified();
    return state;
}

bool writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray httpGet(QNetworkAccessManager& network, const QUrl& url)
{
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) ||
        reply->error() != QNetworkReply::NoError)
        return {};
    return reply->readAll();
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void nagios_data();
    void nagios();
    void prometheusThroughPromtoolAndNodeExporter();
    void json();
    void verdictsEqualTheWindowsGrid();
    void capturedOutputIsBounded();
    void refusesServersFile_data();
    void refusesServersFile();
    void commandLine_data();
    void commandLine();
    void reportReachesItsReaderOrSaysWhyNot();
    void runEndsWithinItsTime_data();
    void runEndsWithinItsTime();
    void failedRunReplacesTheTextfile();
    void keyLogsInWithoutAnAgent();

private:
    std::unique_ptr<FixtureServers> fixtures_;
    FixtureServer* healthy_ = nullptr;
};

void TestCheck::initTestCase()
{
    QVERIFY2(QFileInfo(VemoCheck).isExecutable(), qPrintable(VemoCheck));
    fixtures_ = std::make_unique<FixtureServers>();
    QVERIFY2(fixtures_->ok(), qPrintable(fixtures_->error()));
    healthy_ = &fixtures_->start();
    FixtureServer& failedBackup = fixtures_->start();
    FixtureServer& refusing = fixtures_->start(FixtureOptions{.mode = FixtureMode::RefuseLogin});
    QVERIFY2(fixtures_->ok(), qPrintable(fixtures_->error()));
    healthy_->setMdstat(HealthyMdstat);
    failedBackup.setMdstat(HealthyMdstat);
    failedBackup.setBackupReport("3\n");

    const QString clean = QString::fromLatin1(HealthyMdstat);
    QVERIFY(fixtures_->addToServersFile(*healthy_, "clean.example", clean));
    QVERIFY(fixtures_->addToServersFile(*healthy_, "dirty.example",
                                        QString::fromLatin1(DegradedMdstat)));
    QVERIFY(fixtures_->addToServersFile(failedBackup, "backup.example", clean));
    QVERIFY(fixtures_->addToServersFile(*healthy_, "unverified.example"));
    QVERIFY(fixtures_->addToServersFile(refusing, "refused.example", clean));
    ServerRecord closed = healthy_->record("closed.example", clean);
    closed.sshPort = QString::number(FixtureServers::closedPort());
    QVERIFY(addServers({closed}));
    QVERIFY(fixtures_->addToServersFile(*healthy_, OddDomain, clean));
}

void TestCheck::nagios_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    const QString good = QStringLiteral("uptime 1d,1h,57m, RAID %1, backup 2026-12-08 03:00:01");
    QTest::newRow("OK")
        << QStringList{"--domain", "clean.example"} << 0
        << "VEMO OK - clean.example: Online, " + good.arg("Clean") +
               " | uptime=93456s backup_failed=0 raid_clean=1 md_degraded=0 md_failed=0\n";
    QTest::newRow("WARNING") << QStringList{"--domain=unverified.example", "--format", "nagios"}
                             << 1
                             << "VEMO WARNING - unverified.example: Online, " +
                                    good.arg("Not Verified") +
                                    " | uptime=93456s backup_failed=0 raid_clean=0 md_degraded=0"
                                    " md_failed=0\n";
    QTest::newRow("CRITICAL offline") << QStringList{"--domain", "closed.example"} << 2
                                      << "VEMO CRITICAL - closed.example: !!!Offline!!! "
                                         "(Connection refused)\n";
    QTest::newRow("several, worst first")
        << QStringList{"--domain",       "clean.example", "--domain",
                       "backup.example", "--domain",      "unverified.example"}
        << 2
        << "VEMO CRITICAL - 3 servers: 1 CRITICAL, 1 WARNING, 1 OK | critical=1 warning=1 ok=1\n"
           "CRITICAL - backup.example: Online, uptime 1d,1h,57m, RAID Clean, backup Time "
           "Unknown\n"
           "WARNING - unverified.example: Online, " +
               good.arg("Not Verified") + "\nOK - clean.example: Online, " + good.arg("Clean") +
               "\n";
    QTest::newRow("all") << QStringList{} << 2
                         << "VEMO CRITICAL - 7 servers: 5 CRITICAL, 1 WARNING, 1 OK | critical=5 "
                            "warning=1 ok=1\n"
                            "CRITICAL - dirty.example: Online, " +
                                good.arg("DIRTY!!!") +
                                "\nCRITICAL - backup.example: Online, uptime 1d,1h,57m, RAID "
                                "Clean, backup Time Unknown\n"
                                "CRITICAL - refused.example: !!!Offline!!! (Access denied: "
                                "password, no SSH agent or key file)\n"
                                "CRITICAL - closed.example: !!!Offline!!! (Connection refused)\n"
                                "CRITICAL - odd\"\\ name: !!!Offline!!! (the domain holds a path "
                                "separator)\n"
                                "WARNING - unverified.example: Online, " +
                                good.arg("Not Verified") + "\nOK - clean.example: Online, " +
                                good.arg("Clean") + "\n";
    QTest::newRow("UNKNOWN domain")
        << QStringList{"--domain", "clean.example", "--domain", "nosuch.example"} << 3
        << "VEMO UNKNOWN - no server with the domain \"nosuch.example\" in \"" +
               QDir::current().filePath("Servers.mdb") + "\".\n";
}

void TestCheck::nagios()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const Ran ran = runCheck(arguments);
    QCOMPARE(QString::fromUtf8(ran.out), output);
    QCOMPARE(ran.exitCode, exitCode);
}

void TestCheck::prometheusThroughPromtoolAndNodeExporter()
{
    QTemporaryDir textfiles;
    QVERIFY(textfiles.isValid());
    const QString prom = textfiles.filePath(QStringLiteral("vemo.prom"));
    QVERIFY(writeFile(prom, "# an older report\n"));
    const Ran ran = runCheck({"--format", "prometheus", "--output", prom});
    QCOMPARE(ran.exitCode, 2);
    QVERIFY(ran.out.isEmpty());
    // Replaced through a file of its own that is gone again.
    QCOMPARE(QDir(textfiles.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"vemo.prom"});
    const QByteArray exposition = fileState(prom).bytes;

    const QStringList expected = {
        R"(vemo_check_success 1)",
        R"(vemo_up{domain="clean.example"} 1)",
        R"(vemo_up{domain="refused.example"} 0)",
        R"(vemo_up{domain="odd\"\\\nname"} 0)",
        R"(vemo_uptime_seconds{domain="clean.example"} 93456)",
        R"(vemo_backup_failed{domain="backup.example"} 3)",
        R"(vemo_raid_state{domain="clean.example",state="clean"} 1)",
        R"(vemo_raid_state{domain="dirty.example",state="dirty"} 1)",
        R"(vemo_raid_state{domain="unverified.example",state="not_verified"} 1)",
        R"(vemo_check_failure_info{domain="refused.example",reason="Access denied: password, no SSH agent or key file"} 1)",
        R"(vemo_check_failure_info{domain="closed.example",reason="Connection refused"} 1)",
    };
    const QStringList lines = QString::fromUtf8(exposition).split('\n');
    for (const QString& line : expected)
        QVERIFY2(lines.contains(line), qPrintable(line + "\n---\n" + exposition));
    QVERIFY(!exposition.contains("vemo_uptime_seconds{domain=\"closed.example\"}"));
    QCOMPARE(lines.filter(QRegularExpression("^vemo_check_duration_seconds\\{")).size(), 7);

    // Prometheus's own linter takes it as it stands.
    QProcess promtool;
    promtool.setStandardInputFile(prom);
    promtool.start(QStringLiteral("promtool"), {"check", "metrics"});
    QVERIFY(promtool.waitForFinished(RunTimeoutMs));
    const QByteArray said = promtool.readAllStandardOutput() + promtool.readAllStandardError();
    QVERIFY2(promtool.exitCode() == 0 && said.trimmed().isEmpty(), said.constData());

    // node_exporter's textfile collector serves every series, the odd domain
    // as one label, and reports no error reading the file.
    const int port = FixtureServers::freePort();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    exporter.start(QStringLiteral("prometheus-node-exporter"),
                   {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port),
                    "--collector.disable-defaults", "--collector.textfile",
                    "--collector.textfile.directory=" + textfiles.path()});
    QVERIFY(exporter.waitForStarted());
    const auto stopExporter = qScopeGuard([&] {
        exporter.terminate();
        if (!exporter.waitForFinished(10000)) {
            exporter.kill();
            exporter.waitForFinished();
        }
    });
    QNetworkAccessManager network;
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port));
    QByteArray scraped;
    QVERIFY(QTest::qWaitFor(
        [&] {
            scraped = httpGet(network, url);
            return !scraped.isEmpty() || exporter.state() == QProcess::NotRunning;
        },
        30000));
    const QStringList served = QString::fromUtf8(scraped).split('\n');
    for (const QString& line : expected)
        QVERIFY2(served.contains(line), qPrintable(line + "\n---\n" + scraped));
    QVERIFY2(served.contains("node_textfile_scrape_error 0"), scraped.constData());
}

void TestCheck::json()
{
    // A window's check file in the same folder is neither read nor touched.
    const QString windowFile = QStringLiteral("~karu~clean.example.tmp");
    QVERIFY(writeFile(windowFile, "a window's client writes here\n"));
    const FileState window = fileState(windowFile);
    const FileState serversFile = fileState(QStringLiteral("Servers.mdb"));

    const Ran ran = runCheck({"--format", "json", "--jobs", "3", "--timeout", "30"});
    QCOMPARE(ran.exitCode, 2);
    QJsonParseError error;
    const QJsonArray servers = QJsonDocument::fromJson(ran.out, &error).array();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));

    const auto cell = [](const QJsonObject& server, const char* name) {
        const QJsonObject c = server.value(QLatin1String(name)).toObject();
        return c.value("text").toString() + '|' + c.value("level").toString();
    };
    struct Expected {
        QString domain, state, status, raid, backup, reason;
    };
    const QString online = "Online|ok";
    const QString offline = "!!!Offline!!!|critical";
    const QString goodBackup = "2026-12-08 03:00:01\n |ok";
    const QString clean = "Clean|ok";
    const QList<Expected> expected = {
        {"clean.example", "OK", online, clean, goodBackup, ""},
        {"dirty.example", "CRITICAL", online, "DIRTY!!!|critical", goodBackup, ""},
        {"backup.example", "CRITICAL", online, clean, "Time Unknown |critical", ""},
        {"unverified.example", "WARNING", online, "Not Verified|warning", goodBackup, ""},
        {"refused.example", "CRITICAL", offline, "|none", "|none",
         "Access denied: password, no SSH agent or key file"},
        {"closed.example", "CRITICAL", offline, "|none", "|none", "Connection refused"},
        {OddDomain, "CRITICAL", offline, "|none", "|none", "the domain holds a path separator"},
    };
    QCOMPARE(servers.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QJsonObject server = servers[i].toObject();
        const Expected& e = expected[i];
        QCOMPARE(server.value("domain").toString(), e.domain);
        QCOMPARE(server.value("state").toString(), e.state);
        QCOMPARE(cell(server, "status"), e.status);
        QCOMPARE(cell(server, "raid"), e.raid);
        QCOMPARE(cell(server, "backup"), e.backup);
        QCOMPARE(server.value("reason").toString(), e.reason);
        QCOMPARE(cell(server, "uptime").section('|', 0, 0),
                 e.reason.isEmpty() ? QStringLiteral("1d,1h,57m") : QString());
        // A line refused before any client starts takes no measurable time.
        QVERIFY(server.value("duration_seconds").isDouble());
        if (server.value("online").toBool())
            QVERIFY(server.value("duration_seconds").toDouble() > 0);
    }

    QCOMPARE(fileState(windowFile), window);
    QCOMPARE(fileState(QStringLiteral("Servers.mdb")), serversFile);
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden),
             QStringList({"Servers.mdb", windowFile}));
    QVERIFY(QFile::remove(windowFile));
}

void TestCheck::verdictsEqualTheWindowsGrid()
{
    // The monitor window's own cycle over the same file, then vemo-check:
    // every cell's text, the colours of its level, and the offline reason
    // are the same.
    Main main;
    main.setEndProgram([] {});
    main.Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(!module().busy, RunTimeoutMs);
    const Ran ran = runCheck({"--format", "json"});
    const QJsonArray servers = QJsonDocument::fromJson(ran.out).array();
    QCOMPARE(servers.size(), main.grid().rows() - 1);

    const auto colours = [](const QJsonValue& name) {
        const QString level = name.toString();
        const CellColours c = cellColours(level == "ok"         ? Level::Ok
                                          : level == "warning"  ? Level::Warning
                                          : level == "critical" ? Level::Critical
                                                                : Level::None);
        const auto qcolor = [](const std::optional<Rgb>& rgb) {
            return rgb ? QColor(rgb->red, rgb->green, rgb->blue) : QColor();
        };
        return std::pair{qcolor(c.back), qcolor(c.fore)};
    };
    for (int row = 1; row < main.grid().rows(); ++row) {
        const QJsonObject server = servers[row - 1].toObject();
        QCOMPARE(server.value("domain").toString(), kit::text(main, row, kit::Server));
        QList<kit::Cell> cells;
        for (const char* name : {"status", "uptime", "raid", "backup"}) {
            const QJsonObject cell = server.value(QLatin1String(name)).toObject();
            const auto [back, fore] = colours(cell["level"]);
            cells.append({cell["text"].toString(), back, fore});
        }
        QCOMPARE(cells, kit::verdicts(main, row));
        QCOMPARE(server.value("reason").toString(), kit::offlineReason(main, row));
    }
}

void TestCheck::capturedOutputIsBounded()
{
    // An mdstat of 1.5 MiB: the runner keeps the first MiB, ends the client
    // and writes no file.
    FixtureServer& big = fixtures_->start();
    QVERIFY2(fixtures_->ok(), qPrintable(fixtures_->error()));
    big.setMdstat(QByteArray(Runner::CapturedOutputLimit * 3 / 2, 'x'));
    std::optional<RunResult> result;
    QObject context;
    const CommandLine line =
        ServerCheckLine(big.portText(), big.password(), big.host(), "big.example");
    Runner::instance().RunCommand(
        line, &context, [&](const RunResult& r) { result = r; }, OutputTo::Memory);
    QVERIFY(QTest::qWaitFor([&] { return result.has_value(); }, RunTimeoutMs));
    QCOMPARE(result->output.size(), Runner::CapturedOutputLimit);
    QVERIFY(result->output.startsWith("93456\n0\n2026-12-08 03:00:01\nxxx"));
    QVERIFY(result->tooLarge);
    QCOMPARE(result->reason, AnswerTooLargeReason);
    QVERIFY(!QFile::exists(line.outputFile));
    fixtures_->stop(big);
}

void TestCheck::refusesServersFile_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("message");
    // Not 0: the file's and its folder's modes, for a run as a user who is not root.
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("folderMode");

    QByteArray jet(4096, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    QByteArray damaged = QByteArray("SQLite format 3", 16) + QByteArray(4080, '\x5a');
    const QString denied = "cannot be read: Permission denied.";
    QTest::newRow("missing") << QByteArray() << false << "does not exist." << 0 << 0;
    QTest::newRow("foreign") << jet << false << "is not a database of this program" << 0 << 0;
    QTest::newRow("damaged") << damaged << false << "is damaged" << 0 << 0;
    QTest::newRow("locked") << QByteArray("copy") << true << "is locked by another program" << 0
                            << 0;
    QTest::newRow("unreadable") << QByteArray("copy") << false << denied << 0200 << 0755;
    QTest::newRow("folder shut") << QByteArray("copy") << false << denied << 0644 << 0700;
}

void TestCheck::refusesServersFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, locked);
    QFETCH(QString, message);
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("Servers.mdb"));
    if (content == "copy")
        QVERIFY(QFile::copy(QStringLiteral("Servers.mdb"), file));
    else if (!content.isEmpty())
        QVERIFY(writeFile(file, content));
    std::unique_ptr<ThrowawayUser> user;
    if (fileMode != 0) {
        user = std::make_unique<ThrowawayUser>();
        QVERIFY2(user->ok(), qPrintable(user->error()));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(fileMode)) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), mode_t(folderMode)) == 0);
    }
    const FileState before = fileState(file);

    sqlite3* holder = nullptr;
    const auto release = qScopeGuard([&] { sqlite3_close(holder); });
    if (locked) {
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }

    const Ran ran = runCheck({"--file", file}, user.get());
    // The other formats say it on standard error.
    const Ran json = runCheck({"--file", file, "--format", "json"}, user.get());
    // Only now: closing any descriptor of the file in this process would
    // drop the lock that the holder's connection has on it.
    sqlite3_close(holder);
    holder = nullptr;

    QCOMPARE(ran.exitCode, 3);
    const QString out = QString::fromUtf8(ran.out);
    QVERIFY2(out.startsWith("VEMO UNKNOWN - The server file \"" + file + "\" " + message),
             qPrintable(out));
    QCOMPARE(json.exitCode, 3);
    QVERIFY(json.out.isEmpty());
    QVERIFY2(json.err.contains(message.toUtf8()), json.err.constData());
    QCOMPARE(fileState(file), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             content.isEmpty() ? QStringList() : QStringList{"Servers.mdb"});
}

void TestCheck::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("says");

    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QStringList{"--file PATH",
                                         "--domain D",
                                         "--format F",
                                         "--output FILE",
                                         "--timeout SECONDS",
                                         "--jobs N",
                                         "--key FILE",
                                         "--help",
                                         "--version",
                                         "0  OK",
                                         "1  WARNING",
                                         "2  CRITICAL",
                                         "3  UNKNOWN",
                                         "--domain example.org\n",
                                         "--format prometheus \\\n      --output",
                                         "--format json |"};
    QTest::newRow("version") << QStringList{"--version"} << 0 << QStringList{"vemo-check 1.00\n"};
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 3 << QStringList{"VEMO UNKNOWN - Unknown option 'bogus'."};
    QTest::newRow("unknown format") << QStringList{"--format", "xml"} << 3
                                    << QStringList{"VEMO UNKNOWN - Unknown format 'xml'"};
    QTest::newRow("jobs 0") << QStringList{"--jobs", "0"} << 3
                            << QStringList{"VEMO UNKNOWN - --jobs takes a whole number"};
    QTest::newRow("bad timeout") << QStringList{"--timeout", "soon"} << 3
                                 << QStringList{"VEMO UNKNOWN - --timeout takes a number"};
    QTest::newRow("missing value") << QStringList{"--domain"} << 3
                                   << QStringList{"VEMO UNKNOWN - Missing value after '--domain'."};
    QTest::newRow("stray argument")
        << QStringList{"example.org"} << 3 << QStringList{"VEMO UNKNOWN - Unexpected argument"};
}

void TestCheck::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, says);
    const Ran ran = runCheck(arguments);
    QCOMPARE(ran.exitCode, exitCode);
    for (const QString& text : says)
        QVERIFY2(ran.out.contains(text.toUtf8()), qPrintable(text + "\n---\n" + ran.out));
    if (arguments == QStringList{"--help"}) {
        for (const QByteArray& line : ran.out.split('\n'))
            QVERIFY2(line.size() <= 80, line.constData()); // a terminal's width
    }
}

void TestCheck::reportReachesItsReaderOrSaysWhyNot()
{
    // A textfile for node_exporter, which runs as another user: readable by
    // all under the strictest umask.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString prom = folder.filePath("vemo.prom");
    const mode_t previous = ::umask(077);
    const Ran written =
        runCheck({"--domain", "clean.example", "--format", "prometheus", "--output", prom});
    ::umask(previous);
    QCOMPARE(written.exitCode, 0);
    QCOMPARE(modeOf(prom), 0644);

    // Standard output that takes nothing: UNKNOWN, and why, on standard error.
    QProcess full;
    full.setStandardOutputFile("/dev/full");
    full.start(VemoCheck, {"--domain", "clean.example", "--format", "json"});
    QVERIFY(full.waitForFinished(RunTimeoutMs));
    QCOMPARE(full.exitCode(), 3);
    QVERIFY2(full.readAllStandardError().contains(
                 "cannot write the report to standard output: No space left on device"),
             "no reason given");
}

void TestCheck::runEndsWithinItsTime_data()
{
    QTest::addColumn<bool>("withRefused");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("a silent host: UNKNOWN") << false << 3;
    QTest::newRow("and an offline one: CRITICAL stays") << true << 2;
}

void TestCheck::runEndsWithinItsTime()
{
    // A host that never answers, with a run of 2 s: it is UNKNOWN, its client
    // is ended, and what was learnt of the others stands.
    QFETCH(bool, withRefused);
    QFETCH(int, exitCode);
    FixtureServer& silent = fixtures_->start(FixtureOptions{.mode = FixtureMode::Hung});
    QVERIFY2(fixtures_->ok(), qPrintable(fixtures_->error()));
    QTemporaryDir folder;
    const QString file = folder.filePath("Servers.mdb");
    QVERIFY(fixtures_->addToServersFile(*healthy_, "clean.example",
                                        QString::fromLatin1(HealthyMdstat), file));
    QVERIFY(fixtures_->addToServersFile(silent, "silent.example", {}, file));
    ServerRecord closed = healthy_->record("closed.example");
    closed.sshPort = QString::number(FixtureServers::closedPort());
    if (withRefused)
        QVERIFY(addServers({closed}, file));
    const Ran ran = runCheck({"--file", file, "--timeout", "2"});
    fixtures_->stop(silent);
    QCOMPARE(ran.exitCode, exitCode);
    QVERIFY2(
        ran.out.contains("UNKNOWN - silent.example: no verdict within the run's time of 2 s\n"),
        ran.out.constData());
    QVERIFY2(ran.out.contains("OK - clean.example: Online"), ran.out.constData());
    QCOMPARE(childProcesses("plink"), QList<qint64>());
}

void TestCheck::failedRunReplacesTheTextfile()
{
    // A run that checks nothing leaves no earlier servers behind: the file
    // says that it failed, and when.
    QTemporaryDir textfiles;
    const QString prom = textfiles.filePath("vemo.prom");
    QVERIFY(writeFile(prom, "vemo_up{domain=\"old.example\"} 1\n"));
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const Ran ran = runCheck(
        {"--file", textfiles.filePath("none.mdb"), "--format", "prometheus", "--output", prom});
    QCOMPARE(ran.exitCode, 3);
    const QStringList lines = QString::fromUtf8(fileState(prom).bytes).split('\n');
    QVERIFY(lines.contains("vemo_check_success 0"));
    QVERIFY(lines.filter("vemo_up").isEmpty());
    const QStringList stamp =
        lines.filter(QRegularExpression("^vemo_check_last_run_timestamp_seconds "));
    QCOMPARE(stamp.size(), 1);
    QVERIFY(stamp[0].section(' ', 1).toDouble() >= before);
}

// A server that takes root's key only, run as a systemd timer would: no agent.
void TestCheck::keyLogsInWithoutAnAgent()
{
    OpenSshServer sshd(fixtures_->puttyDir());
    QVERIFY2(sshd.ok(), qPrintable(sshd.error()));
    ServerRecord record;
    record.domain = "key.example";
    record.serverHost = "127.0.0.1";
    record.sshPort = QString::number(sshd.port()); // no password stored
    QVERIFY(addServers({record}, "Keys.mdb"));

    Ran ran = runCheck({"--file", "Keys.mdb", "--key", sshd.keyFile()});
    QVERIFY2(ran.out.startsWith("VEMO WARNING - key.example: Online, uptime 1d,1h,57m, RAID Not "
                                "Verified"),
             ran.out.constData());
    ran = runCheck({"--file", "Keys.mdb"});
    QCOMPARE(ran.exitCode, 2);
    QVERIFY2(ran.out.contains("(Access denied: no SSH agent or key file, no password stored)"),
             ran.out.constData());
    ran = runCheck({"--file", "Keys.mdb", "--key", sshd.openSshKeyFile()});
    QCOMPARE(ran.exitCode, 3);
    QVERIFY2(ran.out.contains("is an OpenSSH key; plink reads PuTTY's keys. Convert it once with: "
                              "puttygen"),
             ran.out.constData());
}

QTEST_MAIN(TestCheck)
#include "TestCheck.moc"
