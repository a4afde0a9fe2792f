// The maintenance window opened from the monitor window, with the real plink
// against fixture SSH servers on 127.0.0.1.

#include "MaintenanceSupport.h"

#include "maintenance/AddServer.h"
#include "maintenance/ServerMain.h"
#include "monitor/MonitorTestKit.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

class TestMaintenanceMonitor : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addedServerJoinsTheGridAndACycleStarts();

private:
    QAbstractButton* mainButton(const char* name) const { return kit::button(*main_, name); }
    bool idle() const { return kit::idle(*main_); }

    std::unique_ptr<MonitorFixture> env_;
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<MessageLog> messages_;
    std::unique_ptr<Main> main_;
};

void TestMaintenanceMonitor::init()
{
    env_ = std::make_unique<MonitorFixture>();
    QVERIFY2(env_->ok(), qPrintable(env_->error()));
    // Only a stand-in terminal around the real plink.
    workspace_ = std::make_unique<Workspace>(Workspace::Terminal::Present, &env_->sandbox(),
                                             Workspace::Client::Real);
    QVERIFY2(workspace_->ok(), qPrintable(workspace_->error()));
    messages_ = std::make_unique<MessageLog>();
}

void TestMaintenanceMonitor::cleanup()
{
    main_.reset();
    QVERIFY(kit::clientsEnded());
    messages_.reset();
    workspace_.reset();
    env_.reset();
}

void TestMaintenanceMonitor::addedServerJoinsTheGridAndACycleStarts()
{
    env_->start("first.test");
    FixtureOptions options;
    options.password = QStringLiteral("second-pw");
    FixtureServer& second = env_->start(options);
    QVERIFY2(env_->ok(), qPrintable(env_->error()));

    main_ = std::make_unique<Main>();
    main_->setEndProgram([] {});
    main_->show();
    main_->Form_Activate();
    QTRY_VERIFY_WITH_TIMEOUT(idle() && main_->grid().textMatrix(1, 1) == "Online", 20000);
    QCOMPARE(main_->grid().rows(), 2);

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
    QTest::mouseClick(mainButton("MenuBut"), Qt::LeftButton);
    QVERIFY(maintenance->ran());
    QVERIFY(addWatch && addWatch->ran());
    QCOMPARE(messages_->requests().size(), 0);
    QCOMPARE(listedAfterAdd, (QStringList{"first.test", "second.test"}));

    // Back in the monitor window: the grid is rebuilt and a cycle runs.
    QCOMPARE(main_->grid().rows(), 3);
    QCOMPARE(main_->grid().textMatrix(1, 0), QStringLiteral("first.test"));
    QCOMPARE(main_->grid().textMatrix(2, 0), QStringLiteral("second.test"));
    QVERIFY(module().busy);
    QVERIFY(!mainButton("RefreshBut")->isEnabled());
    QVERIFY(mainButton("SkipBut")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 20000);
    QCOMPARE(main_->grid().textMatrix(2, 1), QStringLiteral("Online"));
    QCOMPARE(main_->grid().textMatrix(1, 1), QStringLiteral("Online"));

    // The verification run logged in to the new server in its terminal.
    QVERIFY(workspace_->waitForTerminal(20000));
    QVERIFY2(workspace_->terminalOutput().contains("Server Verified!"),
             workspace_->terminalOutput().constData());
}

QTEST_MAIN(TestMaintenanceMonitor)
#include "TestMaintenanceMonitor.moc"
