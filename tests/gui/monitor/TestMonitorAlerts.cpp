#include "MonitorTestKit.h"

#include "common/HistoryView.h"
#include "common/Module.h"
#include "maintenance/AddServer.h"
#include "maintenance/PrintPanel.h"
#include "maintenance/ServerMain.h"
#include "monitor/CutTextToolTips.h"
#include "monitor/GridCells.h"
#include "monitor/MonitorAlerts.h"
#include "monitor/ServerAlerts.h"
#include "monitor/TrayIcons.h"
#include "platform/MessageBox.h"
#include "probe/Runner.h"
#include "support/FixtureServers.h"
#include "support/SampleMdstat.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QtTest>
#include <memory>

namespace
{

const QString NotificationsName = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString Marker = QStringLiteral("marker");

// The desktop's notification service as the test's own, recording each call.
class NotificationStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<Notification> calls;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        calls.append({summary, body, hints.value(QStringLiteral("urgency")).toInt() == 2});
        return uint(calls.size());
    }
};

using Colour = TraySummary::Colour;
ServerState online(Level raid, Level backup, const QString& time = QStringLiteral("03:00"))
{
    return {true, {}, raid, backup, time, {}};
}

ServerState offline(const QString& reason)
{
    return {false, reason, Level::None, Level::None, {}, {}};
}

// An online check whose RAID text held these arrays.
ServerState withArrays(const QByteArray& mdstat)
{
    ServerState state = online(Level::Ok, Level::Ok);
    state.md = parseMdstat(QString::fromLatin1(mdstat));
    return state;
}

} // namespace

Q_DECLARE_METATYPE(QList<ServerState>)
Q_DECLARE_METATYPE(QList<StateChange>)

// Desktop notifications, the tray, the keyboard and cut texts of the monitor.
// Runs on a private session bus (dbus-run-session) where it stands in for the
// notification service; the checks are the real plink against fixture servers.
class TestMonitorAlerts : public MonitorTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void changesBetweenChecks_data();
    void changesBetweenChecks();
    void burstBecomesOneSummary();
    void traySummary_data();
    void traySummary();
    void notificationsAndTrayFollowTheCycles();
    void skippedCheckIsNoNews();
    void keyboardReachesTheGridActions();
    void accessibleNames();
    void cutTextsShowAsToolTips();
    void historySaysSinceWhenAndShowsThePast();
    void acknowledgementSilencesItsServer();

private:
    QList<Notification> delivered();
    QColor trayColour();

    NotificationStandIn standIn;
};

void TestMonitorAlerts::initTestCase()
{
    // A connection of its own, as a notification daemon would have.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stand-in");
    QVERIFY2(bus.isConnected(), "no session bus: run under dbus-run-session");
    QVERIFY(bus.registerObject(NotificationsPath, &standIn, QDBusConnection::ExportAllSlots));
    QVERIFY2(bus.registerService(NotificationsName),
             "the notification service is taken: run on a private bus (dbus-run-session)");
}

void TestMonitorAlerts::init()
{
    MonitorTest::init();
    standIn.calls.clear();
}

// What reached the service so far: a marker sent after them on the window's
// own connection arrives after everything the window sent before.
QList<Notification> TestMonitorAlerts::delivered()
{
    QDBusMessage call = QDBusMessage::createMethodCall(NotificationsName, NotificationsPath,
                                                       NotificationsName, "Notify");
    call << QString() << 0u << QString() << Marker << QString() << QStringList() << QVariantMap()
         << -1;
    QDBusConnection::sessionBus().send(call);
    const auto arrived = [this] {
        return !standIn.calls.isEmpty() && standIn.calls.last().summary == Marker;
    };
    if (!QTest::qWaitFor(arrived, 10000))
        return {Notification{"the marker never arrived", {}, false}};
    QList<Notification> calls = standIn.calls;
    calls.removeLast();
    standIn.calls.clear();
    return calls;
}

// The colour at the middle of the tray icon.
QColor TestMonitorAlerts::trayColour()
{
    return main->alerts().tray().icon().pixmap(32, 32).toImage().pixelColor(16, 16);
}

void TestMonitorAlerts::changesBetweenChecks_data()
{
    QTest::addColumn<QList<ServerState>>("checks");
    QTest::addColumn<QList<StateChange>>("changes");
    const ServerState good = online(Level::Ok, Level::Ok);
    const QString a = QStringLiteral("a");
    QTest::newRow("first check") << QList<ServerState>{offline("Access denied")}
                                 << QList<StateChange>{};
    QTest::newRow("no change") << QList<ServerState>{good, good} << QList<StateChange>{};
    QTest::newRow("offline") << QList<ServerState>{good, offline("Connection refused")}
                             << QList<StateChange>{
                                    {a, StateChange::WentOffline, "Connection refused"}};
    QTest::newRow("offline again")
        << QList<ServerState>{offline("x"), offline("y")} << QList<StateChange>{};
    QTest::newRow("back online") << QList<ServerState>{offline("x"), good}
                                 << QList<StateChange>{{a, StateChange::BackOnline, {}}};
    QTest::newRow("raid dirty, clean again")
        << QList<ServerState>{good, online(Level::Critical, Level::Ok), good}
        << QList<StateChange>{{a, StateChange::RaidDirty, {}}, {a, StateChange::RaidClean, {}}};
    QTest::newRow("backup failed, good again")
        << QList<ServerState>{good, online(Level::Ok, Level::Critical, "Time Unknown"), good}
        << QList<StateChange>{{a, StateChange::BackupFailed, "Time Unknown"},
                              {a, StateChange::BackupGood, "03:00"}};
    // An offline check in between knows nothing of the RAID: the one before counts.
    QTest::newRow("raid went dirty while offline")
        << QList<ServerState>{good, offline("x"), online(Level::Critical, Level::Ok)}
        << QList<StateChange>{{a, StateChange::WentOffline, "x"},
                              {a, StateChange::BackOnline, {}},
                              {a, StateChange::RaidDirty, {}}};
    const QByteArray recovering = "Personalities : [raid1]\nmd0 : active raid1 sdc1[2] sda1[0]\n"
                                  "      1048512 blocks [2/1] [U_]\n      [>....]  recovery = "
                                  "3.6% (37888/1048512) finish=260.3min speed=64K/sec\n";
    QTest::newRow("array degraded, rebuilt, whole again")
        << QList<ServerState>{withArrays(HealthyMdstat), withArrays(DegradedMdstat),
                              withArrays(recovering), withArrays(HealthyMdstat)}
        << QList<StateChange>{
               {a, StateChange::ArrayDegraded, "md0 raid1: 1 of 2 members"},
               {a, StateChange::RebuildFinished, "md0 raid1: 2 of 2 members, healthy"}};
    const QByteArray raid5 = "Personalities : [raid5]\nmd1 : active raid5 sdd1[3](F) sdc1[2] "
                             "sdb1[1]\n      2093056 blocks [3/2] [UU_]\n";
    const QByteArray raid5Worse = "Personalities : [raid5]\nmd1 : active raid5 sdd1[3](F) "
                                  "sdc1[2](F) sdb1[1]\n      2093056 blocks [3/1] [U__]\n";
    QTest::newRow("degraded array loses a member")
        << QList<ServerState>{withArrays(raid5), withArrays(raid5Worse)}
        << QList<StateChange>{
               {a, StateChange::MemberLost, "md1 raid5: 1 of 3 members, sdd1 and sdc1 failed"}};
    QTest::newRow("arrays are compared across an offline check")
        << QList<ServerState>{withArrays(HealthyMdstat), offline("x"), withArrays(DegradedMdstat)}
        << QList<StateChange>{{a, StateChange::WentOffline, "x"},
                              {a, StateChange::BackOnline, {}},
                              {a, StateChange::ArrayDegraded, "md0 raid1: 1 of 2 members"}};
    QTest::newRow("not verified and no report are no news")
        << QList<ServerState>{good, online(Level::Warning, Level::None),
                              online(Level::Critical, Level::Critical)}
        << QList<StateChange>{};
}

void TestMonitorAlerts::changesBetweenChecks()
{
    QFETCH(QList<ServerState>, checks);
    QFETCH(QList<StateChange>, changes);
    StateTracker tracker;
    QList<StateChange> seen;
    for (const ServerState& check : checks)
        seen += tracker.record("a", check);
    QCOMPARE(seen, changes);

    // A server forgotten (removed) starts afresh when it comes back.
    tracker.keepOnly({});
    QCOMPARE(tracker.record("a", offline("gone")), QList<StateChange>{});
}

void TestMonitorAlerts::burstBecomesOneSummary()
{
    QList<StateChange> changes;
    for (int i = 1; i <= BurstSize; ++i)
        changes.append({QStringLiteral("s%1").arg(i), StateChange::BackOnline, {}});
    QCOMPARE(notificationsFor(changes).size(), BurstSize);
    QCOMPARE(notificationsFor(changes).first(),
             (Notification{"s1: Online again", "The server answers again.", false}));

    changes.append({"s6", StateChange::RaidDirty, {}});
    const QList<Notification> burst = notificationsFor(changes);
    QCOMPARE(burst.size(), 1);
    QCOMPARE(burst[0].summary, QStringLiteral("6 changes in the last check of the servers"));
    QCOMPARE(burst[0].body.split('\n').size(), 6);
    QCOMPARE(burst[0].body.split('\n').last(), QStringLiteral("s6: RAID DIRTY!!!"));
    QVERIFY(burst[0].urgent);
}

void TestMonitorAlerts::traySummary_data()
{
    // Per row: Status, RAID verdict, backup verdict.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("counts");
    QTest::newRow("all good") << QStringList{"on clean good", "on clean na"} << int(Colour::Green)
                              << "2 servers\nGood: 2";
    QTest::newRow("not verified") << QStringList{"on clean good", "on unverified good"}
                                  << int(Colour::Yellow)
                                  << "2 servers\nRAID Not Verified: 1\nGood: 1";
    QTest::newRow("alarms") << QStringList{"off", "on dirty failed", "on clean failed",
                                           "on unverified good", "on clean good"}
                            << int(Colour::Red)
                            << "5 servers\n!!!Offline!!!: 1\nRAID DIRTY!!!: 1\nBackup failed: 1\n"
                               "RAID Not Verified: 1\nGood: 1";
    QTest::newRow("red kept under N/A") << QStringList{"on clean good", "on clean failed-then-na"}
                                        << int(Colour::Red) << "2 servers\nGood: 2";
    QTest::newRow("unchecked") << QStringList{"unchecked", "on clean good"} << int(Colour::Green)
                               << "2 servers\nNot checked: 1\nGood: 1";
    QTest::newRow("no servers") << QStringList{} << int(Colour::Green) << "0 servers";
}

void TestMonitorAlerts::traySummary()
{
    QFETCH(QStringList, rows);
    QFETCH(int, colour);
    QFETCH(QString, counts);
    ShownCells shown;
    QStringList domains;
    for (const QString& spec : rows) {
        const QString domain = QStringLiteral("s%1").arg(domains.size());
        domains << domain;
        const QStringList parts = spec.split(' ');
        if (parts[0] == "unchecked")
            continue;
        if (parts[0] == "off") {
            shown.write(domain, StatusCol, offlineVerdict("x").cells.status);
            continue;
        }
        // A backup cell without a report keeps the colours of the one before.
        if (parts[2] == "failed-then-na")
            shown.write(domain, BackupCol, {"02:00 ", Level::Critical});
        const QString reference = parts[1] == "unverified" ? "" : parts[1] == "clean" ? "P" : "x";
        const QString count = parts[2] == "failed" ? "1" : parts[2] == "good" ? "0" : "";
        const ProbeVerdicts cells = parseProbeOutput("60\n" + count + "\n03:00\nP", reference);
        shown.write(domain, StatusCol, cells.status);
        shown.write(domain, RaidCol, cells.raid);
        shown.write(domain, BackupCol, cells.backup);
    }
    const TraySummary summary = shown.summary(domains);
    QCOMPARE(int(summary.colour), colour);
    QCOMPARE(summary.toolTip, "Quillfern Remote Server Monitor\n" + counts);
}

void TestMonitorAlerts::notificationsAndTrayFollowTheCycles()
{
    // Nothing about the bus or notifications is printed, with the service there or not.
    QTest::failOnWarning(
        QRegularExpression("dbus|notif", QRegularExpression::CaseInsensitiveOption));
    std::vector<FixtureServer*> servers;
    for (const char* domain : {"a", "b", "c", "d", "e", "f", "g"}) {
        FixtureServer& server = env->start();
        server.setMdstat(HealthyMdstat);
        server.setBackupReport("0\n", QByteArray("2026-12-08 03:00\n"));
        env->addToServersFile(server, QString::fromLatin1(domain) + ".example",
                              QString::fromLatin1(HealthyMdstat));
        servers.push_back(&server);
    }
    QVERIFY2(env->ok(), qPrintable(env->error()));

    // The first cycle: every check is a server's first, so nothing is news.
    startMonitor();
    QCOMPARE(delivered(), QList<Notification>{});
    QCOMPARE(main->alerts().summary().colour, Colour::Green);
    QCOMPARE(main->alerts().tray().toolTip(),
             QStringLiteral("Quillfern Remote Server Monitor\n7 servers\nGood: 7"));
    QCOMPARE(trayColour(), QColor(0, 200, 0));
    // A click on the lamp brings the window back.
    main->showMinimized();
    QTRY_VERIFY(main->windowState() & Qt::WindowMinimized);
    emit main->alerts().tray().activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY(!(main->windowState() & Qt::WindowMinimized));

    // a stops answering between two cycles.
    env->stop(*servers[0]);
    refreshAndWait();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));
    const QString reason = kit::offlineReason(*main, 1);
    QVERIFY(!reason.isEmpty());
    QCOMPARE(delivered(), (QList<Notification>{{"a.example: !!!Offline!!!", reason, true}}));
    QCOMPARE(
        main->alerts().tray().toolTip(),
        QStringLiteral("Quillfern Remote Server Monitor\n7 servers\n!!!Offline!!!: 1\nGood: 6"));
    QCOMPARE(trayColour(), QColor(255, 0, 0));

    // Still offline: no news.
    refreshAndWait();
    QCOMPARE(delivered(), QList<Notification>{});

    // a answers again (a new server in its place).
    FixtureServer& back = env->start();
    back.setMdstat(HealthyMdstat);
    back.setBackupReport("0\n", QByteArray("2026-12-08 03:00\n"));
    QVERIFY(kit::removeRecord("a.example"));
    QVERIFY(env->addToServersFile(back, "a.example", QString::fromLatin1(HealthyMdstat)));
    refreshAndWait();
    QCOMPARE(delivered(), (QList<Notification>{{"a.example: Online again after less than a minute",
                                                "The server answers again.", false}}));
    QCOMPARE(trayColour(), QColor(0, 200, 0));

    // Six RAIDs degrade at once: one summary names them all.
    for (int i = 1; i <= 6; ++i)
        servers[std::size_t(i)]->setMdstat(DegradedMdstat);
    refreshAndWait();
    const QList<Notification> burst = delivered();
    QCOMPARE(burst.size(), 1);
    QCOMPARE(burst[0].summary, QStringLiteral("6 changes in the last check of the servers"));
    QStringList lines = burst[0].body.split('\n');
    lines.sort();
    // The arrays' own news stands for the reference's DIRTY!!!.
    QCOMPARE(lines, QStringList({"b.example: RAID md0 degraded", "c.example: RAID md0 degraded",
                                 "d.example: RAID md0 degraded", "e.example: RAID md0 degraded",
                                 "f.example: RAID md0 degraded", "g.example: RAID md0 degraded"}));
    QVERIFY(burst[0].urgent);
    QCOMPARE(
        main->alerts().tray().toolTip(),
        QStringLiteral("Quillfern Remote Server Monitor\n7 servers\nRAID DIRTY!!!: 6\nGood: 1"));

    // Without the service the window goes on as before and prints nothing.
    QVERIFY(QDBusConnection(QString("stand-in")).unregisterService(NotificationsName));
    servers[1]->setMdstat(HealthyMdstat);
    refreshAndWait();
    QCOMPARE(kit::text(*main, 2, kit::Raid), QStringLiteral("Clean"));
    QVERIFY(QDBusConnection(QString("stand-in")).registerService(NotificationsName));
    QCOMPARE(standIn.calls, QList<Notification>{});
}

void TestMonitorAlerts::skippedCheckIsNoNews()
{
    FixtureOptions slow;
    slow.mode = FixtureMode::Slow;
    slow.delay = std::chrono::milliseconds(1500);
    env->addToServersFile(env->start(slow), "a.example");
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));

    // Skip ends the client before the server answered: the row goes offline,
    // but nothing was learnt about the server.
    main->RefreshBut_Click();
    QTRY_COMPARE_WITH_TIMEOUT(Runner::instance().runningCount(), 1, 10000);
    main->SkipBut_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 20000);
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));
    QCOMPARE(delivered(), QList<Notification>{});
}

void TestMonitorAlerts::keyboardReachesTheGridActions()
{
    env->addToServersFile(env->start(), "a.example", QString::fromLatin1(HealthyMdstat));
    QVERIFY2(env->ok(), qPrintable(env->error()));
    QList<MessageBox::Request> boxes;
    const MessageBox::Handler saved = MessageBox::setHandler([&](const MessageBox::Request& box) {
        boxes.append(box);
        return int(MessageBox::No);
    });
    const auto restore = qScopeGuard([&] { MessageBox::setHandler(saved); });
    startMonitor();
    QTableWidget* table = main->grid().widget();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));

    // The grid has the first focus; Tab leaves it for the next enabled control
    // (Skip and the check box are disabled) and comes round again.
    QCOMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), kit::button(*main, "RefreshBut"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), kit::button(*main, "MenuBut"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), kit::button(*main, "MenuBut"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    // Enter on the Status cell does nothing, on the RAID cell it re-checks.
    table->setCurrentCell(0, kit::Status);
    QTest::keyClick(table, Qt::Key_Return);
    QVERIFY(!module().raidRecheck);
    table->setCurrentCell(0, kit::Raid);
    QTest::keyClick(table, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral(">Pending..."));
    QVERIFY(module().raidRecheck);
    QTRY_VERIFY_WITH_TIMEOUT(!module().raidRecheck, 20000);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("a.example"));
    QCOMPARE(kit::text(*main, 1, kit::Raid), QStringLiteral("Clean"));
    QCOMPARE(QApplication::focusWidget(), table);
}

void TestMonitorAlerts::accessibleNames()
{
    // What a screen reader says for each box, the filter, the lists and the grid.
    const auto name = [](QWidget* window, const char* objectName) {
        QWidget* widget = window->findChild<QWidget*>(QLatin1String(objectName));
        QAccessibleInterface* face =
            widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
        return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    main = std::make_unique<Main>();
    QCOMPARE(name(main.get(), "ServersGrid"), QStringLiteral("Servers"));
    ServerMain maintenance;
    QCOMPARE(name(&maintenance, "ServersSpeedMask"),
             QStringLiteral("Filter: domains beginning with"));
    QCOMPARE(name(&maintenance, "ServersSpeedList"), QStringLiteral("Servers"));
    QCOMPARE(name(&maintenance, "SelectedInfo"), QStringLiteral("Selected server"));
    QLabel selected;
    AddServer dialog(&selected);
    QCOMPARE(name(&dialog, "DomainBox"), QStringLiteral("Domain"));
    QCOMPARE(name(&dialog, "ServerHostBox"), QStringLiteral("Server hostname"));
    QCOMPARE(name(&dialog, "SSHPortBox"), QStringLiteral("SSH port"));
    QCOMPARE(name(&dialog, "PasswordBox"), QStringLiteral("Password"));
    for (QWidget* window : std::initializer_list<QWidget*>{main.get(), &maintenance, &dialog}) {
        for (QLineEdit* box : window->findChildren<QLineEdit*>())
            QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
    }
}

void TestMonitorAlerts::cutTextsShowAsToolTips()
{
    const QString longDomain = QString(46, 'w') + ".org"; // the 50 characters a domain may have
    QVERIFY(kit::addRecord(longDomain, "127.0.0.1", QString::number(FixtureServers::closedPort())));
    QVERIFY(kit::addRecord("a.org", "127.0.0.1", QString::number(FixtureServers::closedPort())));
    startMonitor();
    QTableWidget* table = main->grid().widget();
    const auto tipOf = [&](int row, int col) {
        return cellToolTip(*table, table->model()->index(row - 1, col));
    };
    QCOMPARE(tipOf(1, kit::Server), longDomain);
    QCOMPARE(tipOf(2, kit::Server), QString());
    // The offline reason stays the Status cell's tooltip.
    QCOMPARE(tipOf(2, kit::Status), kit::cell(*main, 2, kit::Status)->toolTip());
    QVERIFY(!tipOf(2, kit::Status).isEmpty());
    // More than one line never fits a row.
    main->grid().setTextMatrix(2, kit::Backup, "2026-12-08 03:00\nsecond line\n ");
    QCOMPARE(tipOf(2, kit::Backup), QStringLiteral("2026-12-08 03:00\nsecond line"));

    // The pointer resting on the cut cell shows the whole text.
    const QPoint at = table->visualRect(table->model()->index(0, kit::Server)).center();
    QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->viewport(), &help);
    QCOMPARE(QToolTip::text(), longDomain);

    // The maintenance window's details panel: the cut domain line, whole.
    ServerMain maintenance;
    maintenance.show();
    QVERIFY(QTest::qWaitForWindowExposed(&maintenance));
    auto* list = maintenance.findChild<QListWidget*>("ServersSpeedList");
    auto* panel = maintenance.findChild<PrintPanel*>("SelectedInfo");
    QCOMPARE(list->count(), 2);
    const auto lineAt = [&](const QString& text) {
        for (const PrintPanel::Piece& piece : panel->pieces()) {
            if (piece.text == text)
                return panel->contentsRect().topLeft() + piece.position.toPoint() + QPoint(2, 2);
        }
        return QPoint(-1, -1);
    };
    for (const QString& domain : {longDomain, QStringLiteral("a.org")}) {
        QListWidgetItem* item = list->findItems(domain, Qt::MatchExactly).value(0);
        QVERIFY(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        const QString tip = panel->toolTipAt(lineAt(domain));
        QCOMPARE(tip, domain == longDomain ? "Selected Server : " + longDomain : QString());
        QCOMPARE(panel->toolTipAt(lineAt(QStringLiteral("  SSH Port"))), QString());
    }
}

// An offline row's hint says since when; the history view shows the change,
// the strips and the availability.
void TestMonitorAlerts::historySaysSinceWhenAndShowsThePast()
{
    FixtureServer& server = startServer("a.example", {}, QString::fromLatin1(HealthyMdstat));
    server.setMdstat(HealthyMdstat);
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    env->stop(server);
    refreshAndWait();
    const QString hint = kit::cell(*main, 1, kit::Status)->toolTip();
    const QString since = QStringLiteral("!!!Offline!!! since %1, less than a minute: ")
                              .arg(QTime::currentTime().toString("HH:mm"));
    // The minute may have turned between the check and now.
    QVERIFY2(hint.startsWith("!!!Offline!!! since ") && hint.contains(", less than a minute: ") &&
                 hint.size() > since.size(),
             qPrintable(hint));

    main->showHistory(1);
    auto* view = main->findChild<HistoryView*>("HistoryView");
    QVERIFY(view);
    QCOMPARE(view->windowTitle(), QStringLiteral("History: a.example"));
    const auto* changes = view->findChild<QListWidget*>("ChangesList");
    QVERIFY(changes->count() >= 4); // offline, then online, RAID clean, backup good
    QVERIFY2(changes->item(0)->text().contains("  Offline: "),
             qPrintable(changes->item(0)->text()));
    const QList<StripColour> day = view->findChild<HistoryStrip*>("DayStrip")->colours();
    QCOMPARE(day.size(), 96);
    QCOMPARE(day.last(), StripColour::Red);      // the part of now holds the outage
    QCOMPARE(day.first(), StripColour::Unknown); // a day ago nothing was watched
    const QString shown = view->findChild<QLabel*>("AvailabilityLabel")->text();
    QVERIFY2(shown.startsWith("Available: 24 h: ") && shown.contains(" watched)"),
             qPrintable(shown));
    view->close();
}

// An acknowledged problem sends nothing more and colours the tray no more;
// the Server cell says so without changing its text or colours.
void TestMonitorAlerts::acknowledgementSilencesItsServer()
{
    FixtureServer& server = startServer("a.example", {}, QString::fromLatin1(HealthyMdstat));
    server.setMdstat(DegradedMdstat); // DIRTY!!! against its reference
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    // What an earlier window sent last may arrive only now: not this test's.
    delivered();
    QCOMPARE(main->alerts().summary().colour, Colour::Red);
    QVERIFY(main->rowMenu(1)->actions().value(1)->isEnabled());
    main->acknowledge("a.example", "disk ordered", std::nullopt);
    QCOMPARE(main->alerts().summary().colour, Colour::Green);
    QVERIFY2(main->alerts().tray().toolTip().endsWith("\nAcknowledged: 1"),
             qPrintable(main->alerts().tray().toolTip()));
    const QTableWidgetItem* cell = kit::cell(*main, 1, kit::Server);
    QVERIFY(!cell->icon().isNull());
    QVERIFY2(cell->toolTip().startsWith("Acknowledged since ") &&
                 cell->toolTip().endsWith(": disk ordered"),
             qPrintable(cell->toolTip()));
    QCOMPARE(kit::cellOf(*main, 1, kit::Server).text, QStringLiteral("a.example"));

    // It goes offline too: no notification, and the tray stays green.
    env->stop(server);
    refreshAndWait();
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("!!!Offline!!!"));
    QCOMPARE(delivered(), QList<Notification>{});
    QCOMPARE(main->alerts().summary().colour, Colour::Green);

    // Kept in the file: a new window finds it; ending it brings the red back.
    main.reset();
    startMonitor();
    QVERIFY(!kit::cell(*main, 1, kit::Server)->icon().isNull());
    main->toggleAcknowledgement(1);
    QVERIFY(kit::cell(*main, 1, kit::Server)->icon().isNull());
    QCOMPARE(main->alerts().summary().colour, Colour::Red);
}

QTEST_MAIN(TestMonitorAlerts)
#include "TestMonitorAlerts.moc"
