#include "MonitorTestKit.h"

#include "common/Twips.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

// The monitor window without servers to reach: its controls, load,
// activation over an empty or unreachable table, the timer and the layout.
class TestMainWindow : public MonitorTest
{
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void tabOrder();
    void windowAndTimer();
    void loadCentresAndTitles();
    void emptyTableShowsTitlesOnly();
    void emptyCycleEndsAtOnce_data();
    void emptyCycleEndsAtOnce();
    void platformActivationDoesNotRebuild();
    void widthFollowsColumnsHeightFollowsUser();
    void tooShortKeepsTheGridHeight();
    void activationSizesToTheRows_data();
    void activationSizesToTheRows();
    void rowsInTableOrderWithCaptions();
    void startUpActivatesOnceOnScreen();

private:
    int px(int twips) const { return Twips::toPixels(twips, main->logicalDpiY()); }
    int pxX(int twips) const { return Twips::toPixels(twips, main->logicalDpiX()); }
};

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("MenuBut") << "MenuBut"
                             << "&Server Maintenance" << QRect(5040, 120, 1695, 375) << true;
    QTest::newRow("SkipBut") << "SkipBut"
                             << "&Skip" << QRect(1440, 120, 1095, 375) << false;
    QTest::newRow("Check1") << "Check1"
                            << "SMS Notofications" << QRect(3240, 240, 1935, 195) << false;
    QTest::newRow("RefreshBut") << "RefreshBut"
                                << "&Refresh" << QRect(120, 120, 1095, 375) << false;
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(bool, enabled);
    makeMain();
    auto* control = main->findChild<QAbstractButton*>(name);
    QVERIFY(control);
    QCOMPARE(control->text(), caption);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->geometry(),
             QRect(pxX(twips.x()), px(twips.y()), pxX(twips.width()), px(twips.height())));
    if (auto* box = qobject_cast<QCheckBox*>(control))
        QVERIFY(!box->isChecked());
    QCOMPARE(control->metaObject()->className(), name == "Check1" ? "QCheckBox" : "QPushButton");
}

void TestMainWindow::tabOrder()
{
    makeMain();
    QWidget* gridWidget = main->findChild<QTableWidget*>("ServersGrid");
    QVERIFY(gridWidget);
    const QStringList expected{"ServersGrid", "RefreshBut", "Check1", "SkipBut", "MenuBut"};
    QStringList chain;
    QWidget* widget = gridWidget;
    // Walk the focus chain, skipping the table's own inner widgets.
    for (int i = 0; i < 50 && chain.size() < expected.size(); ++i) {
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(chain, expected);
}

void TestMainWindow::windowAndTimer()
{
    makeMain();
    QCOMPARE(main->windowTitle(), QStringLiteral("Quillfern Remote Server Monitor v0.5"));
    QVERIFY(!main->windowIcon().isNull());
    QVERIFY(main->windowFlags() & Qt::WindowMinMaxButtonsHint);
    auto* timer = main->findChild<QTimer*>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 60000);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());
    QCOMPARE(main->grid().widget()->geometry(), QRect(pxX(120), px(600), pxX(3615), px(3135)));
}

void TestMainWindow::loadCentresAndTitles()
{
    makeMain();
    // 96 dpi: 15 twips a pixel. A window of 509 px (7635 twips) on a screen of
    // 800 px (12000 twips) starts at (12000 - 7635) / 2 = 2182.5 twips, 146 px.
    QCOMPARE(main->logicalDpiX(), 96);
    QCOMPARE(main->screen()->geometry().width(), 800);
    QCOMPARE(main->frameGeometry().width(), 509);
    QCOMPARE(main->x(), 146);

    ServersGrid& grid = main->grid();
    QCOMPARE(grid.rows(), 1);
    const QStringList titles{"Server", "Status", "Uptime", "RAID", "Backup"};
    for (int col = 0; col < 5; ++col)
        QCOMPARE(grid.textMatrix(0, col), titles[col]);
    const int widths[] = {2500, ServersGrid::DefaultColumnWidth, 1200,
                          ServersGrid::DefaultColumnWidth, 1500};
    for (int col = 0; col < 5; ++col)
        QCOMPARE(grid.colWidth(col), widths[col]);
}

void TestMainWindow::emptyTableShowsTitlesOnly()
{
    makeMain();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    const int heightBefore = main->height();
    main->Form_Activate();
    QCoreApplication::processEvents();
    QCOMPARE(main->grid().rows(), 1);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(!kit::button(*main, "SkipBut")->isEnabled());
    QVERIFY(!module().busy);
    QCOMPARE(main->grid().mousePointer(), 0);
    QCOMPARE(main->height(), heightBefore);
    QCOMPARE(main->height(), px(4275));
}

void TestMainWindow::emptyCycleEndsAtOnce_data()
{
    QTest::addColumn<bool>("byTimer");
    QTest::newRow("refresh") << false;
    QTest::newRow("fifth tick") << true;
}

void TestMainWindow::emptyCycleEndsAtOnce()
{
    QFETCH(bool, byTimer);
    activate();
    if (byTimer) {
        for (int tick = 1; tick <= 4; ++tick) {
            main->Timer1_Timer();
            QCOMPARE(module().tickCounter, tick);
            QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
        }
        main->Timer1_Timer();
        QCOMPARE(module().tickCounter, 0);
    } else {
        main->CheckServers();
    }
    // The cycle found nothing to check and ended in the idle state.
    QVERIFY(!module().busy);
    QVERIFY(kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(!kit::button(*main, "SkipBut")->isEnabled());
    QCOMPARE(main->grid().mousePointer(), 0);
    QCOMPARE(main->grid().rows(), 1);
    QCOMPARE(endCalls, 0);
}

void TestMainWindow::platformActivationDoesNotRebuild()
{
    activate();
    QVERIFY(kit::addRecord("late.example", "127.0.0.1", QString::number(env->closedPort())));
    // Coming back from another program, or a message box closing.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(main.get(), &activate);
    main->activateWindow();
    QCoreApplication::processEvents();
    QCOMPARE(main->grid().rows(), 1);
    QVERIFY(!module().busy);
    QCOMPARE(Runner::instance().runningCount(), 0);
}

void TestMainWindow::widthFollowsColumnsHeightFollowsUser()
{
    activate();
    QCoreApplication::processEvents();
    // Title row only: the rows count as not fitting, so the grid leaves room.
    const int sum = 2500 + 1200 + 1200 + 1200 + 1500;
    QCOMPARE(main->frameGeometry().width(), pxX(sum + 340 + 220));
    QCOMPARE(main->grid().widget()->width(), pxX(sum + 340));
    QVERIFY(!module().resizeGuard);

    const int width = main->width();
    const int height = main->height();
    const int gridHeight = main->grid().widget()->height();
    main->resize(width + 120, height);
    QCoreApplication::processEvents();
    QCOMPARE(main->width(), width);
    main->resize(width - 60, height + 150);
    QCoreApplication::processEvents();
    QCOMPARE(main->width(), width);
    QCOMPARE(main->height(), height + 150);
    QCOMPARE(main->grid().widget()->height(), gridHeight + 150);
    // 439 px outer (6585 twips), less 60 of frame, 600 above and 150 below the grid.
    QCOMPARE(main->frameGeometry().height(), 439);
    QCOMPARE(main->grid().height(), 5775);
    // The whole grid lies inside the window, its last row and scroll bar end included.
    QVERIFY(main->grid().widget()->geometry().bottom() < main->height());
    QVERIFY(!module().resizeGuard);
}

void TestMainWindow::tooShortKeepsTheGridHeight()
{
    activate();
    QCoreApplication::processEvents();
    const int gridHeight = main->grid().widget()->height();
    main->setMinimumHeight(0);
    main->resize(main->width(), px(600)); // 600 - 600 - 150 < 0
    QCoreApplication::processEvents();
    QCOMPARE(main->grid().widget()->height(), gridHeight);
    // The width steps still ran and the guard is clear.
    QCOMPARE(main->frameGeometry().width(), pxX(7600 + 340 + 220));
    QVERIFY(!module().resizeGuard);
}

void TestMainWindow::activationSizesToTheRows_data()
{
    // Rows of 240 twips on a screen of 12000 twips (800 px at 96 dpi).
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("height"); // pixels
    QTest::addColumn<int>("top");
    // 600 + (4 * 240 + 95) + 870 = 2525 twips high, 12000 / 2 - 2525 / 2 - 200 = 4537.5 down.
    QTest::newRow("3 servers") << 3 << 168 << 303;
    // 600 + 61 * 240 + 95 + 870 is more than the screen: 12000 - 870 = 11130 high, 235 down.
    QTest::newRow("more than the screen holds") << 60 << 742 << 16;
}

void TestMainWindow::activationSizesToTheRows()
{
    QFETCH(int, servers);
    QFETCH(int, height);
    QFETCH(int, top);
    // Every record points at a closed loopback port: each check ends offline fast.
    const QString port = QString::number(env->closedPort());
    for (int i = 1; i <= servers; ++i)
        QVERIFY(kit::addRecord(QStringLiteral("s%1.example").arg(i), "127.0.0.1", port));
    activate();
    QCoreApplication::processEvents();

    ServersGrid& grid = main->grid();
    QCOMPARE(grid.rows(), servers + 1);
    QCOMPARE(main->logicalDpiY(), 96);
    QCOMPARE(main->screen()->geometry().height(), 800);
    QCOMPARE(grid.rowHeight(1), 240);
    QCOMPARE(main->frameGeometry().height(), height);
    QCOMPARE(main->frameGeometry().y(), top);
    // The layout ran: all rows fit in the 3-server window, not in the capped one.
    const bool capped = servers > 3;
    QCOMPARE(main->frameGeometry().width(), pxX(7600 + (capped ? 340 : 90) + 220));

    // The cycle runs: every row offline in the end, the window idle.
    QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 60000);
    for (int row = 1; row <= servers; ++row) {
        QCOMPARE(kit::text(*main, row, kit::Status), QStringLiteral("!!!Offline!!!"));
        QCOMPARE(kit::offlineReason(*main, row), QStringLiteral("Connection refused"));
    }
}

void TestMainWindow::rowsInTableOrderWithCaptions()
{
    const QString port = QString::number(env->closedPort());
    const QStringList domains{"zulu.example", "alpha.example", "mike.example"};
    for (const QString& domain : domains)
        QVERIFY(kit::addRecord(domain, "127.0.0.1", port));
    makeMain();
    main->show();
    main->setMaxRunningChecks(0);
    main->Form_Activate();
    // Before the event loop runs, the checks exist with their row numbers.
    QStringList captions;
    for (const CheckServerFrm* check : main->findChildren<CheckServerFrm*>())
        captions << check->caption();
    QCOMPARE(captions, (QStringList{"1", "2", "3"}));
    for (int row = 1; row <= 3; ++row) {
        QCOMPARE(kit::text(*main, row, kit::Server), domains[row - 1]);
        QCOMPARE(kit::back(*main, row, kit::Server), kit::Yellow);
        QCOMPARE(kit::text(*main, row, kit::Status), QString());
    }
    QCOMPARE(main->grid().row(), 3);
    QCOMPARE(main->grid().col(), 0);
    QVERIFY(module().busy);
    QCOMPARE(main->grid().mousePointer(), 11);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(kit::button(*main, "SkipBut")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 30000);
    for (int row = 1; row <= 3; ++row)
        QCOMPARE(kit::back(*main, row, kit::Server), kit::White);
}

void TestMainWindow::startUpActivatesOnceOnScreen()
{
    const QString port = QString::number(env->closedPort());
    for (int i = 1; i <= 3; ++i)
        QVERIFY(kit::addRecord(QStringLiteral("s%1.example").arg(i), "127.0.0.1", port));
    makeMain();
    main->showAndActivate();
    // The window is not on screen before the event loop has run: nothing yet.
    QCOMPARE(main->grid().rows(), 1);
    QVERIFY(!module().busy);
    QCOMPARE(main->findChildren<CheckServerFrm*>().size(), 0);

    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    QTRY_COMPARE(main->grid().rows(), 4);
    QCOMPARE(kit::text(*main, 1, kit::Server), QStringLiteral("s1.example"));
    // Sized and placed by the activation (as in activationSizesToTheRows), then the layout.
    QCOMPARE(main->frameGeometry().height(), 168);
    QCOMPARE(main->frameGeometry().y(), 303);
    QCOMPARE(main->frameGeometry().width(), pxX(7600 + 90 + 220));
    QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 60000);
    QCOMPARE(kit::text(*main, 3, kit::Status), QStringLiteral("!!!Offline!!!"));

    // Shown again (restored, uncovered): that is no activation, the grid stays.
    QVERIFY(kit::addRecord("late.example", "127.0.0.1", port));
    main->hide();
    QCoreApplication::processEvents();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    QCoreApplication::processEvents();
    QCOMPARE(main->grid().rows(), 4);
    QVERIFY(!module().busy);
    QCOMPARE(Runner::instance().runningCount(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
