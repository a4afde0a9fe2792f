// The maintenance window opened from the monitor window, with the real plink
// against fixture SSH servers on 127.0.0.1.

#include "MaintenanceSupport.h"

#include "gui/monitor/MonitorTestKit.h"
#include "maintenance/AddServer.h"
#include "maintenance/ServerMain.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

class TestMaintenanceMonitor : public MonitorTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addedServerJoinsTheGridAndACycleStarts();

private:
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<MessageLog> messages_;
};

void TestMaintenanceMonitor::init()
{
    MonitorTest::init();
    // Only a stand-in terminal around the real plink.
    workspace_ = std::make_unique<Workspace>(Workspace::Terminal::Present, &env->sandbox(),
                                             Workspace::Client::Real);
    QVERIFY2(workspace_->ok(), qPrintable(workspace_->error()));
    messages_ = std::make_unique<MessageLog>();
}

void TestMaintenanceMonitor::cleanup()
{
    MonitorTest::cleanup();
    messages_.reset();
    workspace_.reset();
}

void TestMaintenanceMonitor::addedServerJoinsTheGridAndACycleStarts()
{
    startServer("first.test");
    FixtureServer& second = env->start(FixtureOptions{.password = "second-pw"});
    QVERIFY2(env->ok(), qPrintable(env->error()));
    startMonitor();
    QVERIFY(kit::idle(*main));
    QCOMPARE(kit::text(*main, 1, kit::Status), QStringLiteral("Online"));
    QCOMPARE(main->grid().rows(), 2);

    QStringList listedAfterAdd;
    std::unique_ptr<ModalWatch> addWatch;
    auto maintenance = ModalWatch::on<ServerMain>([&](ServerMain& window) {
        addWatch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
            typeEntries(dialog, "Second.test", second.host(), second.portText(), second.password());
            QTest::mouseClick(dialog.addBut(), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton*>("AddServerBut"), Qt::LeftButton);
        listedAfterAdd = listed(window.findChild<QListWidget*>("ServersSpeedList"));
        QTest::mouseClick(window.findChild<QPushButton*>("DoneBut"), Qt::LeftButton);
    });
    QTest::mouseClick(kit::button(*main, "MenuBut"), Qt::LeftButton);
    QVERIFY(maintenance->ran());
    QVERIFY(addWatch && addWatch->ran());
    QCOMPARE(messages_->requests().size(), 0);
    QCOMPARE(listedAfterAdd, (QStringList{"first.test", "second.test"}));

    // Back in the monitor window: the grid is rebuilt and a cycle runs.
    QCOMPARE(main->grid().rows(), 3);
    QCOMPARE(main->grid().textMatrix(1, 0), QStringLiteral("first.test"));
    QCOMPARE(main->grid().textMatrix(2, 0), QStringLiteral("second.test"));
    QVERIFY(module().busy);
    QVERIFY(!kit::button(*main, "RefreshBut")->isEnabled());
    QVERIFY(kit::button(*main, "SkipBut")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(kit::idle(*main), 20000);
    QCOMPARE(main->grid().textMatrix(2, 1), QStringLiteral("Online"));
    QCOMPARE(main->grid().textMatrix(1, 1), QStringLiteral("Online"));

    // The verification run logged in to the new server in its terminal.
    QVERIFY(workspace_->waitForTerminal(20000));
    QVERIFY2(workspace_->terminalOutput().contains("Server Verified!"),
             workspace_->terminalOutput().constData());
}

QTEST_MAIN(TestMaintenanceMonitor)
#include "TestMaintenanceMonitor.moc"
