#include "MonitorTestKit.h"

#include "maintenance/ServerMain.h"
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "support/FileLock.h"
#include "support/ModalWatch.h"
#include "support/SampleMdstat.h"

#include <QDir>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

using namespace std::chrono_literals;

namespace
{

// One change of a row's Status text, with the window's state at that moment.
struct StatusChange {
    int row;
    QString text;
    bool refreshEnabled;
    bool skipEnabled;
    int running;
};

} // namespace

// Check cycles end to end: the real plink against fixture servers on loopback.
class TestCheckCycle : public MonitorTest
{
    Q_OBJECT
private slots:
    void threeServersOneRefusing();
    void secondCycleKeepsEarlierCells();
    void closeRequest_data();
    void closeRequest();
    void fifthTickDuringCycleStartsNothing();
    void skipEndsRunningRows();
    void removedServerGoesOffline();
    void unstartableClientGoesOffline();
    void boundedChecksWaitTheirTurn();
    void fanOutBoundsClientsAndEveryRowEnds();
    void silentHostsHoldNoPlace();
    void oversizedAnswerGoesOffline();
    void hostKeyReasonsSayWhatToDo_data();
    void hostKeyReasonsSayWhatToDo();
    void lockedFileGivesOffline_data();
    void lockedFileGivesOffline();
    void maintenanceRebuildsAndRestarts();
    void maintenanceEmptyingTheTableClosesTheCycle();

private:
    FixtureOptions slow(std::chrono::milliseconds delay)
    {
        return {.mode = FixtureMode::Slow, .delay = delay};
    }
    FixtureOptions held() { return {.mode = FixtureMode::Held}; }
    void makeMain() override;
    void watchStatus();
    QStringList statusTexts(int row) const;
    bool isIdle() { return kit::idle(*main); }
    QStringList leftoverTempFiles() const;

    QList<StatusChange> changes;
    QHash<int, QString> lastStatus;
};

// A shown window whose Status changes are logged from the start.
void TestCheckCycle::makeMain()
{
    MonitorTest::makeMain();
    changes.clear();
    lastStatus.clear();
    main->show();
    watchStatus();
}

// Logs every change of a Status text as it happens.
void TestCheckCycle::watchStatus()
{
    QAbstractItemModel* model = main->grid().widget()->model();
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                for (int tableRow = from.row(); tableRow <= to.row(); ++tableRow) {
                    if (from.column() > kit::Status || to.column() < kit::Status)
                        continue;
                    const int row = tableRow + 1;
                    const QString text = kit::text(*main, row, kit::Status);
                    if (text == lastStatus.value(row))
                        continue;
                    lastStatus[row] = text;
                    changes.append({row, text, kit::button(*main, "RefreshBut")->isEnabled(),
                                    kit::button(*main, "SkipBut")->isEnabled(),
                                    Runner::instance().runningCount()});
                }
            });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { lastStatus.clear(); });
}

QStringList TestCheckCycle::statusTexts(int row) const
{
    QStringList texts;
    for (const StatusChange& change : changes) {
        if (change.row == row)
            texts << change.text;
    }
    return texts;
}

QStringList TestCheckCycle::leftoverTempFiles() const
{
    return QDir(env->workDir()).entryList({"~karu*"}, QDir::Files | QDir::Hidden);
}

void TestCheckCycle::threeServersOneRefusing()
{
    FixtureServer& a = startServer("a.example", held(), QString::fromLatin1(HealthyMdstat));
    a.setUptime(123456);
    a.setMdstat(HealthyMdstat);
    a.setBackupReport("0\n", QByteArray("2026-12-08 03:00\n"));
    FixtureServer& b = startServer("b.example", held(), QString::fromLatin1(HealthyMdstat));
    b.setUptime(7400);
    b.setMdstat(DegradedMdstat);
    b.setBackupReport("2\n");
    FixtureOptions refusing;
    refusing.mode = FixtureMode::RefuseLogin;
    startServer("c.example", refusing);
    QVERIFY2(env->ok(), qPrintable(env->error()));

    activate();
    QCOMPARE(main->grid().mousePointer(), 11);

    // Both held rows wait on their clients at the same time.
    QTRY_VERIFY_WITH_TIMEOUT(a.heldCount() == 1 && b.heldCount() == 1, 20000);
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral(">Pending..."));
    QCOMPARE(kit::text(*main, 2, kit::Status), QStringLiteral(">Pending..."));
    QVERIFY(Runner::instance().runningCount() >= 2);
    // a and c are done while b still runs: the window is still checking.
    a.release();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == "Online" &&
                                 kit::text(*main, 3, kit::Status) == "!!!Offline!!!",
                             20000);
    QCOMPARE(kit::text(*main, 2, kit::Status), QStringLiteral(">Pending..."));
    QVERIFY(module().busy);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(kit::button(*main, "SkipBut")->isEnabled());
    QCOMPARE(main->grid().mousePointer(), 11);
    QCOMPARE(kit::back(*main, 2, kit::Server), kit::Yellow);

    b.release();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    for (int row = 1; row <= 3; ++row) {
        QCOMPARE(statusTexts(row).value(0), QStringLiteral(">Pending..."));
        QCOMPARE(statusTexts(row).size(), 2);
        QCOMPARE(kit::back(*main, row, kit::Server), kit::White);
    }
    // Until the last verdict the cycle was open.
    for (const StatusChange& change : std::as_const(changes)) {
        QVERIFY(!change.refreshEnabled);
        QVERIFY(change.skipEnabled);
    }

    using kit::Cell, kit::White, kit::Black, kit::Red, kit::None;
    QCOMPARE(kit::verdicts(*main, 1), (QList<Cell>{{"Online", White, Black},
                                                   {"1d,10h,17m"},
                                                   {"Clean", White, Black},
                                                   {"2026-12-08 03:00\n ", White, Black}}));
    QCOMPARE(kit::verdicts(*main, 2), (QList<Cell>{{"Online", White, Black},
                                                   {"2h,3m"},
                                                   {"DIRTY!!!", Red, White},
                                                   {"Time Unknown ", Red, White}}));
    QCOMPARE(kit::verdicts(*main, 3), (QList<Cell>{{"!!!Offline!!!", Red, White}, {}, {}, {}}));
    QCOMPARE(kit::cell(*main, 1, kit::Status)->toolTip(), QString());
    QCOMPARE(kit::offlineReason(*main, 3),
             QStringLiteral("Access denied: password, no SSH agent or key file"));

    QCOMPARE(leftoverTempFiles(), QStringList());
    QCOMPARE(endCalls, 0);
}

void TestCheckCycle::secondCycleKeepsEarlierCells()
{
    FixtureServer& a = startServer("a.example");
    a.setUptime(60);
    FixtureServer& b = startServer("b.example");
    b.setUptime(90061);
    b.setMdstat(DegradedMdstat);
    b.setBackupReport("1\n", QByteArray("yesterday\n"));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    // What the first check of b learnt, and the offline check keeps.
    const QList<kit::Cell> learnt{
        {"1d,1h,1m"}, {"Not Verified", kit::Yellow}, {"yesterday\n ", kit::Red, kit::White}};
    QCOMPARE(kit::verdicts(*main, 2).mid(1), learnt);
    QCOMPARE(kit::text(*main, 2, kit::Status), QStringLiteral("Online"));

    env->stop(b); // its port is closed now
    changes.clear();
    QTest::mouseClick(kit::button(*main, "RefreshBut"), Qt::LeftButton);
    QVERIFY(module().busy);
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    QCOMPARE(statusTexts(2), (QStringList{">Pending...", "!!!Offline!!!"}));
    QCOMPARE(kit::offlineReason(*main, 2), QStringLiteral("Connection refused"));
    QCOMPARE(kit::verdicts(*main, 2).mid(1), learnt);
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
    QCOMPARE(kit::text(*main, 1, kit::Uptime), QStringLiteral("1m"));
    QCOMPARE(kit::back(*main, 2, kit::Server), kit::White);
}

void TestCheckCycle::closeRequest_data()
{
    QTest::addColumn<bool>("duringCycle");
    QTest::newRow("during a cycle") << true;
    QTest::newRow("idle") << false;
}

void TestCheckCycle::closeRequest()
{
    QFETCH(bool, duringCycle);
    startServer("a.example").setUptime(3600);
    startServer("b.example", slow(duringCycle ? 120s : 0s));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    if (!duringCycle) {
        QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
        QVERIFY(main->close());
        QVERIFY(!main->isVisible());
        QCOMPARE(endCalls, 1);
        QVERIFY(!module().quitPending);
        return;
    }

    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == "Online" &&
                                 kit::text(*main, 2, kit::Status) == ">Pending..." &&
                                 Runner::instance().runningCount() == 1,
                             20000);
    QVERIFY(!main->close());
    QVERIFY(main->isVisible());
    QVERIFY(module().quitPending);
    QCOMPARE(endCalls, 0);
    // The client was ended; its check closes the cycle and so ends the program.
    QTRY_COMPARE_WITH_TIMEOUT(endCalls, 1, 20000);
    QCOMPARE(Runner::instance().runningCount(), 0);
    QCOMPARE(kit::text(*main, 2, kit::Status), QStringLiteral("!!!Offline!!!"));
    QCOMPARE(kit::back(*main, 2, kit::Server), kit::White);
    // Ending the program left the window as it was: no idle state was entered.
    QVERIFY(module().busy);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
}

void TestCheckCycle::fifthTickDuringCycleStartsNothing()
{
    startServer("a.example").setUptime(3600);
    FixtureServer& b = startServer("b.example", held());
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == "Online" &&
                                 kit::text(*main, 2, kit::Status) == ">Pending...",
                             20000);
    changes.clear();
    for (int tick = 1; tick <= 4; ++tick) {
        main->Timer1_Timer();
        QCOMPARE(module().tickCounter, tick);
    }
    main->Timer1_Timer();
    QCOMPARE(module().tickCounter, 0);
    QCOMPARE(kit::back(*main, 1, kit::Server), kit::White);
    // Once the running cycle has ended, row 1 was never checked again.
    b.release();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 20000);
    QCOMPARE(statusTexts(1), QStringList());
    QCOMPARE(statusTexts(2), QStringList{"Online"});
    // The count started again at the due tick: four more ticks start nothing.
    for (int tick = 1; tick <= 4; ++tick)
        main->Timer1_Timer();
    QVERIFY(isIdle());
    main->Timer1_Timer();
    QVERIFY(module().busy);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(kit::button(*main, "SkipBut")->isEnabled());
    QCOMPARE(kit::back(*main, 1, kit::Server), kit::Yellow);
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 20000);
    QCOMPARE(statusTexts(1), (QStringList{">Pending...", "Online"}));
}

void TestCheckCycle::skipEndsRunningRows()
{
    startServer("a.example").setUptime(3600);
    startServer("b.example", slow(120s));
    startServer("c.example", slow(120s));
    startServer("d.example");
    QVERIFY2(env->ok(), qPrintable(env->error()));
    makeMain();
    main->setMaxRunningChecks(2);
    main->Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == "Online" &&
                                 kit::text(*main, 2, kit::Status) == ">Pending..." &&
                                 kit::text(*main, 3, kit::Status) == ">Pending..." &&
                                 Runner::instance().runningCount() == 2,
                             20000);
    QTest::mouseClick(kit::button(*main, "SkipBut"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 20000);
    QCOMPARE(Runner::instance().runningCount(), 0);
    // The row waiting for a place is not checked in this cycle.
    QCOMPARE(statusTexts(4), QStringList());
    QCOMPARE(kit::back(*main, 4, kit::Server), kit::White);
    for (int row : {2, 3}) {
        QCOMPARE(kit::text(*main, row, kit::Status), QStringLiteral("!!!Offline!!!"));
        QCOMPARE(kit::back(*main, row, kit::Status), kit::Red);
        QVERIFY(!kit::cell(*main, row, kit::Status)->toolTip().isEmpty());
        QCOMPARE(kit::back(*main, row, kit::Server), kit::White);
    }
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
    QCOMPARE(leftoverTempFiles(), QStringList());
}

void TestCheckCycle::removedServerGoesOffline()
{
    startServer("a.example").setUptime(60);
    startServer("b.example").setUptime(120);
    startServer("c.example").setUptime(180);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    // Another view removes b after the grid was filled, before its check reads the file.
    QVERIFY(kit::removeRecord("b.example"));
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);

    QCOMPARE(main->grid().rows(), 4);
    QCOMPARE(kit::text(*main, 2, kit::Server), QStringLiteral("b.example"));
    QCOMPARE(kit::text(*main, 2, kit::Status), QStringLiteral("!!!Offline!!!"));
    QCOMPARE(kit::offlineReason(*main, 2), CheckServerFrm::NotInTableReason);
    for (int col : {kit::Uptime, kit::Raid, kit::Backup})
        QCOMPARE(kit::text(*main, 2, col), QString());
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
    QCOMPARE(kit::text(*main, 1, kit::Uptime), QStringLiteral("1m"));
    QCOMPARE(kit::text(*main, 3, kit::Status), QStringLiteral("Online"));
    QCOMPARE(kit::text(*main, 3, kit::Uptime), QStringLiteral("3m"));
    QCOMPARE(statusTexts(1), (QStringList{">Pending...", "Online"}));
    QCOMPARE(statusTexts(3), (QStringList{">Pending...", "Online"}));
    QCOMPARE(kit::raidStatusOf("a.example"), QString());
    QCOMPARE(leftoverTempFiles(), QStringList());
}

void TestCheckCycle::unstartableClientGoesOffline()
{
    // The first row's client is never started: its domain cannot name the
    // check's output file. The row still gets its verdict and the cycle closes.
    QVERIFY(kit::addRecord("bad/name", "127.0.0.1", QString::number(env->closedPort())));
    startServer("b.example", slow(1500ms)).setUptime(60);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    QCOMPARE(statusTexts(1), (QStringList{">Pending...", "!!!Offline!!!"}));
    QCOMPARE(kit::offlineReason(*main, 1), *domainFileNameProblem("bad/name"));
    QCOMPARE(statusTexts(2), (QStringList{">Pending...", "Online"}));
    for (const StatusChange& change : std::as_const(changes))
        QVERIFY2(!change.refreshEnabled, qPrintable(change.text));
}

void TestCheckCycle::boundedChecksWaitTheirTurn()
{
    startServer("a.example", slow(1000ms)).setUptime(60);
    startServer("b.example").setUptime(120);
    startServer("c.example").setUptime(180);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    makeMain();
    main->setMaxRunningChecks(1);
    main->Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    // One at a time, in row order; a queued row kept the cycle open.
    QStringList order;
    for (const StatusChange& change : std::as_const(changes)) {
        order << QStringLiteral("%1 %2").arg(change.row).arg(change.text);
        QVERIFY(change.running <= 1);
        QVERIFY(!change.refreshEnabled);
    }
    QCOMPARE(order, (QStringList{"1 >Pending...", "1 Online", "2 >Pending...", "2 Online",
                                 "3 >Pending...", "3 Online"}));
}

void TestCheckCycle::fanOutBoundsClientsAndEveryRowEnds()
{
    // More rows than places, all on one slow server, so the checks overlap.
    FixtureServer& server = startServer("s01.example", slow(600ms));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    constexpr int Rows = 9;
    for (int i = 2; i <= Rows; ++i)
        QVERIFY(
            env->addToServersFile(server, QStringLiteral("s%1.example").arg(i, 2, 10, QChar('0'))));
    makeMain();
    main->setMaxRunningChecks(3);
    int mostAtOnce = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this,
            [&] { mostAtOnce = std::max(mostAtOnce, Runner::instance().runningCount()); });
    sampler.start(5);
    main->Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 60000);

    QCOMPARE(mostAtOnce, 3);
    for (const StatusChange& change : std::as_const(changes)) {
        QVERIFY(change.running <= 3);
        QVERIFY(!change.refreshEnabled);
    }
    for (int row = 1; row <= Rows; ++row)
        QCOMPARE(statusTexts(row), (QStringList{">Pending...", "Online"}));
    QCOMPARE(leftoverTempFiles(), QStringList());
}

void TestCheckCycle::silentHostsHoldNoPlace()
{
    // Two places for clients that need the CPU, and three silent hosts
    // first: once their clients are seen waiting, the answering rows get places.
    for (const char* domain : {"a.example", "b.example", "c.example"})
        startServer(domain, {.mode = FixtureMode::Hung});
    startServer("d.example").setUptime(60);
    startServer("e.example").setUptime(60);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    makeMain();
    main->setCheckPlaces({2, 10});
    main->Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 4, kit::Status) == "Online" &&
                                 kit::text(*main, 5, kit::Status) == "Online",
                             30000);
    for (int row = 1; row <= 3; ++row)
        QCOMPARE(kit::text(*main, row, kit::Status), QStringLiteral(">Pending..."));
    QCOMPARE(Runner::instance().runningCount(), 3);
    QTest::mouseClick(kit::button(*main, "SkipBut"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 20000);
}

void TestCheckCycle::oversizedAnswerGoesOffline()
{
    // An answer three times the limit: the client is ended at the limit, the
    // row goes offline naming it, and the temp file never grew past it.
    startServer("big.example").setMdstat(QByteArray(3 * AnswerLimit, 'x'));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    qint64 largest = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        largest = std::max(largest, QFileInfo(env->workDir() + "/~karu~big.example.tmp").size());
    });
    sampler.start(1);
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));
    QCOMPARE(kit::offlineReason(*main, 1), AnswerTooLargeReason);
    QVERIFY2(largest > 0 && largest <= AnswerLimit, qPrintable(QString::number(largest)));
    QCOMPARE(leftoverTempFiles(), QStringList());
}

// From the real client's messages: a key met first and a changed one, each
// with what to do in the row's hint; neither is ever accepted by the check.
void TestCheckCycle::hostKeyReasonsSayWhatToDo_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("advice");
    QTest::newRow("first contact") << false << "host key not yet trusted"
                                   << "log in once by double-clicking the server's name";
    QTest::newRow("changed key") << true << "host key differs from the trusted one"
                                 << "can mean the connection is being intercepted";
}

void TestCheckCycle::hostKeyReasonsSayWhatToDo()
{
    QFETCH(bool, changed);
    QFETCH(QString, reason);
    QFETCH(QString, advice);
    FixtureOptions untrusted;
    untrusted.trustHostKey = false;
    FixtureServer& server = startServer("a.example", untrusted);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    QFile cache(env->puttyDir() + "/sshhostkeys");
    if (changed) {
        QVERIFY(cache.open(QIODevice::WriteOnly));
        cache.write(
            QStringLiteral("rsa2@%1:127.0.0.1 0x10001,0xc0ffee\n").arg(server.port()).toLatin1());
        cache.close();
    }
    startMonitor();
    QCOMPARE(kit::offlineReason(*main, 1), reason);
    const QString hint = kit::cell(*main, 1, kit::Status)->toolTip();
    QVERIFY2(hint.section('\n', 1).contains(advice), qPrintable(hint));
    // The cache holds what it held: nothing was accepted for the user.
    QVERIFY(cache.open(QIODevice::ReadOnly));
    const QByteArray after = cache.readAll();
    QCOMPARE(after.contains("0xc0ffee"), changed);
    QCOMPARE(after.contains(server.hostKeyLine().toLatin1()), false);
}

void TestCheckCycle::lockedFileGivesOffline_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QString>("reason");
    QTest::newRow("after the deadline") << false << "the server file is locked by another program";
    QTest::newRow("at a skip") << true << "stopped before it finished";
}

void TestCheckCycle::lockedFileGivesOffline()
{
    QFETCH(bool, skip);
    QFETCH(QString, reason);
    startServer("a.example").setUptime(60);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    const auto deadline = Runner::instance().deadline();
    const auto restore = qScopeGuard([deadline] { Runner::instance().setDeadline(deadline); });
    if (!skip)
        Runner::instance().setDeadline(1500ms);
    activate(); // the grid is filled; the check reads its record later
    ExclusiveLock lock(QDir(env->workDir()).filePath("Servers.mdb"));
    QVERIFY(lock.held());
    if (skip) {
        // Waiting for the lock, with the whole deadline of 120 s ahead.
        QTRY_COMPARE_WITH_TIMEOUT(statusTexts(1), QStringList{">Pending..."}, 20000);
        main->SkipBut_Click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);

    QCOMPARE(statusTexts(1), (QStringList{">Pending...", "!!!Offline!!!"}));
    QCOMPARE(kit::offlineReason(*main, 1), reason);
    QCOMPARE(Runner::instance().runningCount(), 0);

    // Once the lock is gone the next cycle reads the record again.
    lock.release();
    main->RefreshBut_Click();
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 30000);
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
}

void TestCheckCycle::maintenanceRebuildsAndRestarts()
{
    startServer("a.example").setUptime(60);
    FixtureServer& b = startServer("b.example", held());
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == "Online" &&
                                 kit::text(*main, 2, kit::Status) == ">Pending...",
                             20000);

    QString reasonWhileOpen;
    int runningWhileOpen = -1;
    auto maintenance = ModalWatch::on<ServerMain>([&](ServerMain&) {
        // What the maintenance window would do: a new server, b gone.
        kit::addRecord("c.example", "127.0.0.1", b.portText(), b.password());
        kit::removeRecord("b.example");
        // b's server never answers: only Skip can end its client meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(kit::text(*main, 2, kit::Status), "!!!Offline!!!", 10000);
        reasonWhileOpen = kit::offlineReason(*main, 2);
        runningWhileOpen = Runner::instance().runningCount();
    });
    QTest::mouseClick(kit::button(*main, "MenuBut"), Qt::LeftButton);
    QVERIFY(maintenance->ran()); // it showed as the active modal window
    // Skip ended b's client as the window opened, so its check ended while it was open.
    QCOMPARE(reasonWhileOpen, QStringLiteral("stopped before it finished"));
    QCOMPARE(runningWhileOpen, 0);

    // Activation rebuilt the grid from the file and started a new cycle.
    QCOMPARE(main->grid().rows(), 3);
    QCOMPARE(kit::text(*main, 1, kit::Server), QStringLiteral("a.example"));
    QCOMPARE(kit::text(*main, 2, kit::Server), QStringLiteral("c.example"));
    QCOMPARE(kit::text(*main, 1, kit::Uptime), QString());
    QVERIFY(module().busy);
    QVERIFY(kit::button(*main, "SkipBut")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(kit::text(*main, 1, kit::Status), QStringLiteral("Online"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(kit::text(*main, 2, kit::Status), QStringLiteral(">Pending..."),
                              20000);
    QTest::mouseClick(kit::button(*main, "SkipBut"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(isIdle(), 20000);
}

void TestCheckCycle::maintenanceEmptyingTheTableClosesTheCycle()
{
    startServer("a.example", slow(120s));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    activate();
    QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == ">Pending..." &&
                                 Runner::instance().runningCount() == 1,
                             20000);

    bool timedCycleRan = false;
    auto maintenance = ModalWatch::on<ServerMain>([&](ServerMain&) {
        // Skip ended the first cycle; a due tick starts the next one while
        // the window is open, and the last server is removed meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 20000);
        for (int tick = 0; tick < Main::TicksPerCycle; ++tick)
            main->Timer1_Timer();
        QTRY_VERIFY_WITH_TIMEOUT(kit::text(*main, 1, kit::Status) == ">Pending..." &&
                                     Runner::instance().runningCount() == 1,
                                 20000);
        timedCycleRan = true;
        QVERIFY(kit::removeRecord("a.example"));
    });
    QTest::mouseClick(kit::button(*main, "MenuBut"), Qt::LeftButton);
    QVERIFY(timedCycleRan);

    // The rebuild cut the timed cycle short and starts none: the window is idle.
    QCOMPARE(main->grid().rows(), 1);
    QVERIFY(isIdle());
    QTRY_COMPARE_WITH_TIMEOUT(Runner::instance().runningCount(), 0, 20000);
    QCOMPARE(leftoverTempFiles(), QStringList());
}

QTEST_MAIN(TestCheckCycle)
#include "TestCheckCycle.moc"
