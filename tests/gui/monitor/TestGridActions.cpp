#include "MonitorTestKit.h"

#include "probe/CommandLine.h"
#include "support/MessageLog.h"
#include "support/Processes.h"
#include "support/SampleMdstat.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace std::chrono_literals;

// Double-clicks on the monitor grid: the interactive login through a stand-in
// putty on PATH, the RAID re-check through the real plink against fixture
// servers, with the message boxes answered by the test.
class TestGridActions : public MonitorTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstRecheckWithoutReference_data();
    void firstRecheckWithoutReference();
    void textEqualToTheReference();
    void changedTextDeclinedKeepsTheReference();
    void degradedStateIsAcceptedOnSecondThought_data();
    void degradedStateIsAcceptedOnSecondThought();
    void unreachableServer();
    void serverWithoutRaid_data();
    void serverWithoutRaid();
    void otherCellsDoNothing_data();
    void otherCellsDoNothing();
    void raidCellOfAnOfflineRow();
    void secondRecheckWhileOneRuns();
    void loginStartsPutty_data();
    void loginStartsPutty();
    void loginWithoutRecordStartsNothing();

private:
    void doubleClick(int row, int col);
    QStringList puttyCalls() const;
    const QList<MessageBox::Request>& boxes() const { return messages->requests(); }

    std::unique_ptr<MessageLog> messages;
};

void TestGridActions::init()
{
    MonitorTest::init();
    // A stand-in putty first on PATH: it records its arguments and the
    // password it was handed, and opens nothing.
    QVERIFY(env->sandbox().addRecorder("putty"));
    env->sandbox().setPath(Sandbox::Path::StandInsFirst);
    messages = std::make_unique<MessageLog>();
}

void TestGridActions::cleanup()
{
    MonitorTest::cleanup();
    messages.reset();
}

void TestGridActions::doubleClick(int row, int col)
{
    QTableWidget* table = main->grid().widget();
    const QPoint centre = table->visualRect(table->model()->index(row - 1, col)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
}

// Each start of putty as "count|-P|port|-pwfile|root@host|password".
QStringList TestGridActions::puttyCalls() const
{
    QStringList calls;
    for (const StandInCall& call : env->sandbox().calls("putty")) {
        const QStringList& a = call.args;
        calls << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(a.size())
                     .arg(a.value(0), a.value(1), a.value(2), a.value(4),
                          call.password.value_or("").chopped(call.password ? 1 : 0));
    }
    return calls;
}

void TestGridActions::firstRecheckWithoutReference_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("cellText");
    QTest::addColumn<QColor>("cellBack");
    QTest::addColumn<QColor>("cellFore");
    QTest::newRow("yes") << int(MessageBox::Yes) << QString::fromLatin1(HealthyMdstat) << "Clean"
                         << kit::White << kit::Black;
    QTest::newRow("no") << int(MessageBox::No) << "Dirty!!!"
                        << "DIRTY!!!" << kit::Red << kit::White;
}

void TestGridActions::firstRecheckWithoutReference()
{
    QFETCH(int, answer);
    QFETCH(QString, stored);
    QFETCH(QString, cellText);
    QFETCH(QColor, cellBack);
    QFETCH(QColor, cellFore);
    startServer("a.example").setMdstat(HealthyMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("Not Verified"));

    messages->answerNext(answer);
    doubleClick(1, kit::Raid);
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral(">Pending..."));
    QVERIFY(module().raidRecheck);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);

    QCOMPARE(boxes(),
             (QList<MessageBox::Request>{{HealthyMdstat, "a.example", MessageBox::Question,
                                          "md0 raid1: 2 of 2 members, healthy\n\n"
                                          "No RAID text has been accepted for this server yet."}}));
    QCOMPARE(kit::raidStatusOf("a.example"), stored);
    QCOMPARE(kit::cellOf(*main, 1, kit::Raid), (kit::Cell{cellText, cellBack, cellFore}));
    QCOMPARE(main->grid().row(), 1);
    QCOMPARE(main->grid().col(), int(kit::Raid));
    QVERIFY(!QFile::exists(RaidTempFileName));

    // Against "Dirty!!!" (or the accepted text) the next re-check asks again
    // or informs; accepting now stores the text.
    messages->answerNext(int(MessageBox::Yes));
    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes().size(), 2);
    QCOMPARE(boxes()[1].code,
             stored == "Dirty!!!" ? int(MessageBox::Question) : int(MessageBox::Information));
    QCOMPARE(kit::raidStatusOf("a.example"), QString::fromLatin1(HealthyMdstat));
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("Clean"));
    QCOMPARE(kit::back(*main, 1, kit::Raid), kit::White);
    QVERIFY(puttyCalls().isEmpty());
}

void TestGridActions::textEqualToTheReference()
{
    startServer("a.example", {}, QString::fromLatin1(DegradedMdstat)).setMdstat(DegradedMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("Clean"));
    // Whatever a check painted, the re-check paints anew.
    main->grid().setRow(1);
    main->grid().setCol(kit::Raid);
    main->grid().setCellBackColor(Colours::Yellow);

    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes(), (QList<MessageBox::Request>{
                          {DegradedMdstat, "a.example", MessageBox::Information, {}}}));
    QCOMPARE(kit::cellOf(*main, 1, kit::Raid), (kit::Cell{"Clean", kit::White, kit::Black}));
    QCOMPARE(kit::raidStatusOf("a.example"), QString::fromLatin1(DegradedMdstat));
}

void TestGridActions::changedTextDeclinedKeepsTheReference()
{
    startServer("a.example", {}, QString::fromLatin1(HealthyMdstat)).setMdstat(DegradedMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("DIRTY!!!"));

    messages->answerNext(int(MessageBox::No));
    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes().size(), 1);
    QCOMPARE(boxes()[0].code, int(MessageBox::Question));
    QCOMPARE(boxes()[0].text, QString::fromLatin1(DegradedMdstat));
    // The details say what changed against the accepted text.
    QVERIFY(boxes()[0].details.contains("\n-       1048512 blocks [2/2] [UU]\n"));
    QVERIFY(boxes()[0].details.contains("\n+       1048512 blocks [2/1] [U_]\n"));
    QCOMPARE(kit::raidStatusOf("a.example"), QString::fromLatin1(HealthyMdstat));
    QCOMPARE(kit::cellOf(*main, 1, kit::Raid), (kit::Cell{"DIRTY!!!", kit::Red, kit::White}));
}

// The question names the arrays' state above the difference, and a degraded
// state is accepted only when the second question says so too.
void TestGridActions::degradedStateIsAcceptedOnSecondThought_data()
{
    QTest::addColumn<int>("secondAnswer");
    QTest::addColumn<QString>("stored");
    QTest::newRow("yes") << int(MessageBox::Yes) << QString::fromLatin1(DegradedMdstat);
    QTest::newRow("no") << int(MessageBox::No) << QString::fromLatin1(HealthyMdstat);
}

void TestGridActions::degradedStateIsAcceptedOnSecondThought()
{
    QFETCH(int, secondAnswer);
    QFETCH(QString, stored);
    startServer("a.example", {}, QString::fromLatin1(HealthyMdstat)).setMdstat(DegradedMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    const QString summary = "md0 raid1: 1 of 2 members";
    // Below since when the RAID is dirty.
    QVERIFY(kit::cell(*main, 1, kit::Raid)->toolTip().startsWith("DIRTY!!! since "));
    QVERIFY(kit::cell(*main, 1, kit::Raid)->toolTip().endsWith("\n" + summary));

    messages->answerNext(int(MessageBox::Yes));
    messages->answerNext(secondAnswer);
    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes().size(), 2);
    QVERIFY2(boxes()[0].details.startsWith(summary + "\n\nCompared with the accepted RAID text:"),
             qPrintable(boxes()[0].details));
    QCOMPARE(boxes()[1].code, int(MessageBox::Question));
    QVERIFY2(boxes()[1].text.contains("degraded:\n" + summary + "\n"), qPrintable(boxes()[1].text));
    QCOMPARE(kit::raidStatusOf("a.example"), stored);
}

// A server reached without /proc/mdstat: asked, not "Unable to connect".
void TestGridActions::serverWithoutRaid_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("cellText");
    QTest::newRow("yes") << int(MessageBox::Yes) << "No software RAID"
                         << "Clean";
    QTest::newRow("no changes nothing") << int(MessageBox::No) << ""
                                        << "Not Verified";
}

void TestGridActions::serverWithoutRaid()
{
    QFETCH(int, answer);
    QFETCH(QString, stored);
    QFETCH(QString, cellText);
    FixtureServer& server = startServer("a.example");
    server.removeFile("mdstat");
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("Not Verified"));

    messages->answerNext(answer);
    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes(), (QList<MessageBox::Request>{
                          {"This server has no software RAID (/proc/mdstat is missing).\n\n"
                           "Accept that as its reference?",
                           "a.example",
                           MessageBox::Question,
                           {}}}));
    QCOMPARE(kit::raidStatusOf("a.example"), stored);
    QCOMPARE(kit::text(*main, 1, kit::Raid), cellText);
    QCOMPARE(kit::cell(*main, 1, kit::Raid)->toolTip(), QStringLiteral("no md arrays"));
    if (answer != MessageBox::Yes)
        return;
    // The checks agree while it has none, and the day arrays appear it is DIRTY!!!.
    refreshAndWait();
    QCOMPARE(kit::cellOf(*main, 1, kit::Raid), (kit::Cell{"Clean", kit::White, kit::Black}));
    server.setMdstat(HealthyMdstat);
    refreshAndWait();
    QCOMPARE(kit::cellOf(*main, 1, kit::Raid), (kit::Cell{"DIRTY!!!", kit::Red, kit::White}));
}

void TestGridActions::unreachableServer()
{
    FixtureServer& server = startServer("a.example", {}, "accepted text");
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
    env->stop(server); // now a closed port

    doubleClick(1, kit::Raid);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes(), (QList<MessageBox::Request>{{"Unable to connect to server.", "a.example",
                                                   MessageBox::Critical, "Connection refused"}}));
    QVERIFY(!QFile::exists(RaidTempFileName));
    QCOMPARE(QDir::current().entryList({"~karu*"}, QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral(">Pending..."));
    QCOMPARE(kit::raidStatusOf("a.example"), QStringLiteral("accepted text"));
}

void TestGridActions::otherCellsDoNothing_data()
{
    QTest::addColumn<int>("col");
    QTest::newRow("status") << int(kit::Status);
    QTest::newRow("uptime") << int(kit::Uptime);
    QTest::newRow("backup") << int(kit::Backup);
}

void TestGridActions::otherCellsDoNothing()
{
    QFETCH(int, col);
    startServer("a.example");
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QStringList before;
    for (int c = 0; c < 5; ++c)
        before << kit::text(*main, 1, c);

    const ClientTrace clients = clientTrace();
    doubleClick(1, col);
    QCOMPARE(main->grid().col(), col); // the click reached the cell
    // Any client, waited or not, would show before the double-click returned.
    QCOMPARE(clientsSince(clients), QStringList());
    QVERIFY(!module().raidRecheck);
    QCOMPARE(Runner::instance().runningCount(), 0);
    QVERIFY(boxes().isEmpty());
    for (int c = 0; c < 5; ++c)
        QCOMPARE(kit::text(*main, 1, c), before[c]);
}

void TestGridActions::raidCellOfAnOfflineRow()
{
    FixtureOptions refusing;
    refusing.mode = FixtureMode::RefuseLogin;
    startServer("a.example", refusing);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));

    const ClientTrace before = clientTrace();
    doubleClick(1, kit::Raid);
    QCOMPARE(main->grid().col(), int(kit::Raid));
    QCOMPARE(clientsSince(before), QStringList());
    QVERIFY(!module().raidRecheck);
    QCOMPARE(kit::text(*main, 1, kit::Raid), QString());
    QCOMPARE(Runner::instance().runningCount(), 0);
    QVERIFY(boxes().isEmpty());
}

void TestGridActions::secondRecheckWhileOneRuns()
{
    FixtureServer& a = startServer("a.example", {.mode = FixtureMode::Held});
    a.setMdstat(HealthyMdstat);
    a.release(); // for the first cycle
    startServer("b.example").setMdstat(DegradedMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 2, kit::Raid), QStringLiteral("Not Verified"));
    a.hold();

    const ClientTrace before = clientTrace();
    doubleClick(1, kit::Raid);
    QVERIFY(module().raidRecheck);
    // The first re-check's client; the runner starts it on its own thread.
    QTRY_COMPARE_WITH_TIMEOUT(clientsSince(before).size(), 1, 20000);
    doubleClick(2, kit::Raid);
    QCOMPARE(main->grid().row(), 2);
    QCOMPARE(kit::text(*main, 2, kit::Raid), QStringLiteral("Not Verified"));
    QCOMPARE(clientsSince(before).size(), 1);
    QCOMPARE(Runner::instance().runningCount(), 1);

    a.release();
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes().size(), 1);
    QCOMPARE(boxes()[0].title, QStringLiteral("a.example"));
    QCOMPARE(kit::text(*main, 2, kit::Raid), QStringLiteral("Not Verified"));
    QCOMPARE(kit::raidStatusOf("b.example"), QString());
}

void TestGridActions::loginStartsPutty_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("withHostAndPort");
    QTest::newRow("offline row, own host and port") << "down.example" << true;
    // Port 22 and the domain as host.
    QTest::newRow("empty host and port") << "localhost" << false;
}

void TestGridActions::loginStartsPutty()
{
    QFETCH(QString, domain);
    QFETCH(bool, withHostAndPort);
    const QString port = QString::number(env->closedPort());
    QVERIFY(kit::addRecord(domain, withHostAndPort ? "127.0.0.1" : "", withHostAndPort ? port : "",
                           "s3cret pw"));
    if (!withHostAndPort) {
        // The row's check would reach port 22 of this machine, which may be
        // a server the test did not start: a silent stand-in plink answers.
        QVERIFY(env->sandbox().addRecorder("plink"));
    }
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));

    // Each double-click opens one more client.
    doubleClick(1, kit::Server);
    doubleClick(1, kit::Server);
    QTRY_COMPARE_WITH_TIMEOUT(puttyCalls().size(), 2, 20000);
    const QString expected =
        QStringLiteral("5|-P|%1|-pwfile|root@%2|s3cret pw")
            .arg(withHostAndPort ? port : "22", withHostAndPort ? "127.0.0.1" : domain);
    QCOMPARE(puttyCalls(), (QStringList{expected, expected}));
    QVERIFY(boxes().isEmpty());
    QVERIFY(!module().raidRecheck);
}

void TestGridActions::loginWithoutRecordStartsNothing()
{
    QVERIFY(kit::addRecord("a.example", "127.0.0.1", QString::number(env->closedPort())));
    QVERIFY(kit::addRecord("b.example", "127.0.0.1", QString::number(env->closedPort())));
    startMonitor();
    // A row whose domain matches no record of the window's view.
    main->grid().setTextMatrix(1, kit::Server, "ghost.example");
    const ClientTrace before = clientTrace();
    doubleClick(1, kit::Server);
    QCOMPARE(main->grid().col(), int(kit::Server));
    QCOMPARE(clientsSince(before), QStringList()); // putty would have its password file by now
    // The other row still works.
    doubleClick(2, kit::Server);
    QTRY_COMPARE_WITH_TIMEOUT(puttyCalls().size(), 1, 20000);
    QVERIFY(puttyCalls()[0].endsWith("|root@127.0.0.1|pw"));
}

QTEST_MAIN(TestGridActions)
#include "TestGridActions.moc"
