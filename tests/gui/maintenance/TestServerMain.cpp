#include "MaintenanceSupport.h"
#include "support/FileLock.h"

#include "maintenance/AddServer.h"
#include "maintenance/PrintPanel.h"
#include "maintenance/ServerMain.h"
#include "store/Servers.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace
{

const QString RemovalQuestion =
    QStringLiteral("About to remove the Selected Server...\n\nPlease Confirm...");

QStringList domainsIn(const QList<ServerRecord>& records)
{
    QStringList domains;
    for (const ServerRecord& record : records)
        domains << record.domain;
    return domains;
}

} // namespace

class TestServerMain : public MaintenanceTest
{
    Q_OBJECT
private slots:
    void cleanup();

    void filterListsExactPrefixes_data();
    void filterListsExactPrefixes();
    void refillKeepsSelectionStateButDropsHighlight();
    void emptyTableOpensQuietly();
    void panelShowsResolvedDetails_data();
    void panelShowsResolvedDetails();
    void keyboardSelectionPrintsThePanel();
    void tabThenSpaceOrEnterSelects_data();
    void tabThenSpaceOrEnterSelects();
    void removalAsksAndActsOnYesOnly();
    void doubleClickEditsOnlyWhileEditIsEnabled();
    void enterEditsAndEscCloses_data();
    void enterEditsAndEscCloses();
    void addSelectsTheNewServerAndRefills();
    void editCanChangeTheDomain();
    void refusedSaveThenCancelLeavesTheRefusedDomainSelected();
    void activationSeesOtherViewsChanges();
    void lockedFileIsReadAgainByOneRetry();
    void controlsAndLayout();

private:
    void open();
    void clickItem(const QString& text);
    template <typename T> T* child(const char* name) const
    {
        T* widget = window_->findChild<T*>(QLatin1String(name));
        if (!widget)
            qWarning("no %s", name);
        return widget;
    }
    QListWidget* list() const { return child<QListWidget>("ServersSpeedList"); }
    QLineEdit* mask() const { return child<QLineEdit>("ServersSpeedMask"); }
    PrintPanel* panel() const { return child<PrintPanel>("SelectedInfo"); }
    QLabel* selected() const { return child<QLabel>("Selected"); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }

    std::unique_ptr<ServerMain> window_;
};

void TestServerMain::cleanup()
{
    window_.reset();
    MaintenanceTest::cleanup();
}

void TestServerMain::open()
{
    window_ = std::make_unique<ServerMain>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void TestServerMain::clickItem(const QString& text)
{
    const QList<QListWidgetItem*> found = list()->findItems(text, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    list()->scrollToItem(found.first());
    const QPoint centre = list()->visualItemRect(found.first()).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centre);
}

void TestServerMain::filterListsExactPrefixes_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two small letters") << "ab" << QStringList{"ab", "ab.x", "abc.com", "abd.net"};
    QTest::newRow("capitals") << "Ab" << QStringList{"Abc.org"};
    QTest::newRow("three letters") << "abc" << QStringList{"abc.com"};
    QTest::newRow("longer than a domain") << "ab.x.y" << QStringList{};
    QTest::newRow("no match") << "q" << QStringList{};
}

void TestServerMain::filterListsExactPrefixes()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    // Table order differs from list order.
    QList<ServerRecord> records;
    for (const char* domain : {"xyz.io", "abd.net", "Abc.org", "a", "abc.com", "ab", "ab.x"})
        records << serverRecord(QLatin1String(domain));
    QVERIFY(workspace_->seed(records));
    const QStringList all{"a", "ab", "ab.x", "abc.com", "Abc.org", "abd.net", "xyz.io"};
    open();
    QCOMPARE(listed(list()), all);

    QTest::keyClicks(mask(), filter);
    QCOMPARE(listed(list()), expected);

    QTest::keyClick(mask(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(mask(), Qt::Key_Delete);
    QCOMPARE(mask()->text(), QString());
    QCOMPARE(listed(list()), all);
    QCOMPARE(messages_->requests().size(), 0);
}

void TestServerMain::refillKeepsSelectionStateButDropsHighlight()
{
    QVERIFY(workspace_->seed({serverRecord("ab.org"), serverRecord("cd.org")}));
    open();
    clickItem("ab.org");
    QVERIFY(list()->currentItem());
    const QStringList printed = panel()->lines();
    QVERIFY(!printed.isEmpty());

    QTest::keyClicks(mask(), "c");
    QCOMPARE(listed(list()), QStringList{"cd.org"});
    QVERIFY(list()->selectedItems().isEmpty());
    QCOMPARE(selected()->text(), QStringLiteral("ab.org"));
    QCOMPARE(panel()->lines(), printed);
    QVERIFY(button("EditServerBut")->isEnabled());
    QVERIFY(button("RemoveServerBut")->isEnabled());
}

void TestServerMain::emptyTableOpensQuietly()
{
    open(); // no Servers.mdb yet: it is created empty
    QCOMPARE(list()->count(), 0);
    QVERIFY(panel()->lines().isEmpty());
    QVERIFY(panel()->pieces().isEmpty());
    QVERIFY(!button("EditServerBut")->isEnabled());
    QVERIFY(!button("RemoveServerBut")->isEnabled());
    QVERIFY(button("AddServerBut")->isEnabled());
    QCOMPARE(messages_->requests().size(), 0);
    QTest::keyClicks(mask(), "a");
    QCOMPARE(list()->count(), 0);
    QCOMPARE(workspace_->stored()->size(), 0);
}

void TestServerMain::panelShowsResolvedDetails_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("shownHost");
    QTest::addColumn<QString>("shownPort");
    QTest::newRow("empty host and port") << ""
                                         << ""
                                         << "dom.org"
                                         << "22";
    QTest::newRow("both given") << "127.0.0.9"
                                << "2222"
                                << "127.0.0.9"
                                << "2222";
    QTest::newRow("lone zero port") << "dom.org"
                                    << "0"
                                    << "dom.org"
                                    << "0";
}

void TestServerMain::panelShowsResolvedDetails()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, shownHost);
    QFETCH(QString, shownPort);
    QVERIFY(workspace_->seed({serverRecord("other.org", "127.0.0.1", "1", "pw"),
                              serverRecord("dom.org", host, port, "pw")}));
    open();
    clickItem("dom.org");
    QCOMPARE(selected()->text(), QStringLiteral("dom.org"));
    QVERIFY(button("EditServerBut")->isEnabled());
    QVERIFY(button("RemoveServerBut")->isEnabled());

    const QStringList expected{QString(), QStringLiteral(" Selected Server : dom.org"),
                               QString(50, QChar(0x2014)),
                               QStringLiteral("  Server Hostname\t: ") + shownHost,
                               QStringLiteral("  SSH Port\t\t: ") + shownPort};
    QCOMPARE(panel()->lines(), expected);

    // Texts and fonts piece by piece: 14 pt plain, then 14 pt bold, then 10 pt bold.
    const QList<PrintPanel::Piece> pieces = panel()->pieces();
    QStringList looks;
    for (const PrintPanel::Piece& piece : pieces)
        looks << QStringLiteral("%1 pt %2: %3")
                     .arg(piece.font.pointSizeF())
                     .arg(piece.font.bold() ? "bold" : "plain", piece.text);
    const QString small = QStringLiteral("10 pt bold: ");
    QCOMPARE(looks, (QStringList{"14 pt plain:  Selected Server : ", "14 pt bold: dom.org",
                                 small + expected[2], small + "  Server Hostname",
                                 small + ": " + shownHost, small + "  SSH Port", small + ": ",
                                 small + shownPort}));
    QCOMPARE(pieces[1].position.y(), pieces[0].position.y());
    QVERIFY(pieces[1].position.x() > pieces[0].position.x());
    for (int i = 2; i < pieces.size(); ++i) {
        QVERIFY(pieces[i].position.y() > pieces[i - 1].position.y() ||
                pieces[i].position.x() > pieces[i - 1].position.x());
    }
    QCOMPARE(QFontInfo(pieces[0].font).family(), QStringLiteral("Liberation Sans"));
    // The empty 6 pt line comes first: the heading does not start at the top.
    QVERIFY(pieces[0].position.y() > 0);

    // The TABs line up the ": " of the host and port lines, right of the labels.
    const PrintPanel::Piece& hostLabel = pieces[3];
    const PrintPanel::Piece& hostValue = pieces[4];
    QCOMPARE(pieces[6].position.x(), hostValue.position.x());
    QVERIFY(hostValue.position.x() >
            hostLabel.position.x() +
                QFontMetricsF(hostLabel.font).horizontalAdvance(hostLabel.text));
    // The rule runs across the whole panel; every other text fits inside.
    const QRect area = panel()->contentsRect();
    for (const PrintPanel::Piece& piece : pieces) {
        const QFontMetricsF metrics(piece.font, panel());
        const qreal right = piece.position.x() + metrics.horizontalAdvance(piece.text);
        if (piece.text == expected[2])
            QVERIFY(right >= area.width());
        else
            QVERIFY2(right <= area.width(), qPrintable(piece.text));
        QVERIFY(piece.position.y() + metrics.height() <= area.height());
    }
    QCOMPARE(pieces[7].position.y(), pieces[6].position.y());
}

void TestServerMain::keyboardSelectionPrintsThePanel()
{
    QVERIFY(workspace_->seed({serverRecord("a.org"), serverRecord("b.org")}));
    open();
    clickItem("a.org");
    QTest::keyClick(list(), Qt::Key_Down);
    QCOMPARE(selected()->text(), QStringLiteral("b.org"));
    QCOMPARE(panel()->lines().value(1), QStringLiteral(" Selected Server : b.org"));
}

void TestServerMain::tabThenSpaceOrEnterSelects_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
}

// Tab leaves the first domain current but unselected; the key selects it as
// a click does, and Enter opens no editor for a domain it only selected.
void TestServerMain::tabThenSpaceOrEnterSelects()
{
    QFETCH(int, key);
    QVERIFY(workspace_->seed({serverRecord("a.org"), serverRecord("b.org")}));
    open();
    mask()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(mask(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list());
    QVERIFY(!button("EditServerBut")->isEnabled());
    auto noDialog = ModalWatch::on<AddServer>([](AddServer&) {});
    QTest::keyClick(list(), Qt::Key(key));
    QVERIFY(!noDialog->ran());
    QCOMPARE(list()->currentItem()->text(), QStringLiteral("a.org"));
    QVERIFY(list()->currentItem()->isSelected());
    QVERIFY(button("EditServerBut")->isEnabled() && button("RemoveServerBut")->isEnabled());
    QCOMPARE(panel()->lines().value(1), QStringLiteral(" Selected Server : a.org"));
}

void TestServerMain::removalAsksAndActsOnYesOnly()
{
    QVERIFY(workspace_->seed(
        {serverRecord("abc.com"), serverRecord("abd.net"), serverRecord("xyz.io")}));
    const QByteArray before = workspace_->fileBytes();
    open();
    QTest::keyClicks(mask(), "ab");
    clickItem("abc.com");
    const QStringList printed = panel()->lines();

    messages_->answerNext(MessageBox::No);
    QTest::mouseClick(button("RemoveServerBut"), Qt::LeftButton);
    QCOMPARE(messages_->requests(),
             (QList<MessageBox::Request>{{RemovalQuestion, "abc.com", MessageBox::Warning, {}}}));
    QCOMPARE(workspace_->fileBytes(), before);
    QCOMPARE(panel()->lines(), printed);
    QVERIFY(button("EditServerBut")->isEnabled());
    QVERIFY(button("RemoveServerBut")->isEnabled());
    QCOMPARE(listed(list()), (QStringList{"abc.com", "abd.net"}));

    messages_->answerNext(MessageBox::Yes);
    QTest::mouseClick(button("RemoveServerBut"), Qt::LeftButton);
    QCOMPARE(messages_->requests().size(), 2);
    QCOMPARE(domainsIn(*workspace_->stored()), (QStringList{"abd.net", "xyz.io"}));
    QVERIFY(panel()->lines().isEmpty());
    QVERIFY(!button("EditServerBut")->isEnabled());
    QVERIFY(!button("RemoveServerBut")->isEnabled());
    QCOMPARE(mask()->text(), QStringLiteral("ab"));
    QCOMPARE(listed(list()), QStringList{"abd.net"});
    QCOMPARE(selected()->text(), QStringLiteral("abc.com"));
}

void TestServerMain::doubleClickEditsOnlyWhileEditIsEnabled()
{
    QVERIFY(workspace_->seed({serverRecord("d.org", "127.0.0.1", "2200", "#plain")}));
    open();
    QListWidgetItem* item = list()->item(0);
    {
        auto watch = ModalWatch::on<AddServer>([](AddServer&) {});
        emit list()->itemDoubleClicked(item); // Edit is still disabled
        QVERIFY(!watch->ran());
    }

    QString shown;
    auto watch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
        shown = dialogState(dialog);
        QTest::mouseClick(dialog.findChild<QPushButton*>("CancelBut"), Qt::LeftButton);
    });
    const QPoint centre = list()->visualItemRect(item).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, centre);
    QVERIFY(watch->ran());
    QCOMPARE(shown, QStringLiteral(
                        "Edit Server | &Accept Changes, enabled | d.org, 127.0.0.1, 2200, #plain"));
    QCOMPARE(workspace_->stored()->first().serverPassword, scrambledForm("#plain"));
}

void TestServerMain::enterEditsAndEscCloses_data()
{
    QTest::addColumn<int>("how"); // 0 Esc, 1 Done, 2 the close box, 3 Enter on the focused Done
    QTest::newRow("Esc") << 0;
    QTest::newRow("Done") << 1;
    QTest::newRow("close box") << 2;
    QTest::newRow("Enter on Done") << 3;
}

void TestServerMain::enterEditsAndEscCloses()
{
    QFETCH(int, how);
    QVERIFY(workspace_->seed({serverRecord("e.org")}));
    const QByteArray before = workspace_->fileBytes();
    open();
    {
        auto watch = ModalWatch::on<AddServer>([](AddServer&) {});
        QTest::keyClick(mask(), Qt::Key_Return); // Edit disabled: nothing
        QVERIFY(!watch->ran());
    }
    clickItem("e.org");
    QString title;
    auto watch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
        title = dialog.windowTitle();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QTest::keyClick(mask(), Qt::Key_Return);
    QVERIFY(watch->ran());
    QCOMPARE(title, QStringLiteral("Edit Server"));
    QVERIFY(window_->isVisible());

    auto noDialog = ModalWatch::on<AddServer>([](AddServer&) {});
    if (how == 0) {
        QTest::keyClick(mask(), Qt::Key_Escape);
    } else if (how == 1) {
        QTest::mouseClick(button("DoneBut"), Qt::LeftButton);
    } else if (how == 2) {
        QVERIFY(window_->close());
    } else {
        // Enter chooses the focused button; Edit is the default elsewhere only.
        button("DoneBut")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button("DoneBut"), Qt::Key_Return);
    }
    QVERIFY(!noDialog->ran());
    QVERIFY(!window_->isVisible());
    QCOMPARE(messages_->requests().size(), 0);
    window_.reset();
    QCOMPARE(workspace_->fileBytes(), before);
}

void TestServerMain::addSelectsTheNewServerAndRefills()
{
    QVERIFY(workspace_->seed({serverRecord("abc.com")}));
    open();
    clickItem("abc.com");
    const QStringList printed = panel()->lines();

    QString shown;
    auto watch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
        shown = dialogState(dialog);
        typeEntries(dialog, "New.org", "127.0.0.1", {}, "Secret");
        QTest::mouseClick(dialog.addBut(), Qt::LeftButton);
    });
    QTest::mouseClick(button("AddServerBut"), Qt::LeftButton);
    QVERIFY(watch->ran());
    QCOMPARE(shown, QStringLiteral("Add Server | &Add Server, disabled | , , , "));
    QVERIFY(workspace_->waitForPlink());

    QCOMPARE(listed(list()), (QStringList{"abc.com", "new.org"}));
    QCOMPARE(selected()->text(), QStringLiteral("new.org"));
    QVERIFY(button("EditServerBut")->isEnabled());
    QCOMPARE(panel()->lines(), printed); // not reprinted
    const ServerRecord added = workspace_->stored()->last();
    QCOMPARE(added.domain, QStringLiteral("new.org"));
    QCOMPARE(added.serverPassword, scrambledForm("Secret"));

    // Edit now acts on the new server.
    auto edit = ModalWatch::on<AddServer>([&](AddServer& dialog) { shown = dialogState(dialog); });
    QTest::mouseClick(button("EditServerBut"), Qt::LeftButton);
    QVERIFY(edit->ran());
    QCOMPARE(shown, QStringLiteral(
                        "Edit Server | &Accept Changes, enabled | new.org, 127.0.0.1, , Secret"));
}

void TestServerMain::editCanChangeTheDomain()
{
    QVERIFY(workspace_->seed({serverRecord("old.org", "127.0.0.1", "", "pw", "raid text")}));
    const ServerRecord before = workspace_->stored()->first();
    open();
    clickItem("old.org");
    auto watch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
        auto* domain = dialog.findChild<QLineEdit*>("DomainBox");
        domain->selectAll();
        QTest::keyClicks(domain, "renamed.org");
        QTest::mouseClick(dialog.addBut(), Qt::LeftButton);
    });
    QTest::mouseClick(button("EditServerBut"), Qt::LeftButton);
    QVERIFY(watch->ran());
    QVERIFY(workspace_->waitForPlink());
    QCOMPARE(listed(list()), QStringList{"renamed.org"});
    QCOMPARE(selected()->text(), QStringLiteral("renamed.org"));
    const ServerRecord after = workspace_->stored()->first();
    QCOMPARE(after.id, before.id);
    QCOMPARE(after.serverPassword, before.serverPassword);
    QCOMPARE(after.raidStatus, before.raidStatus);
}

void TestServerMain::refusedSaveThenCancelLeavesTheRefusedDomainSelected()
{
    QVERIFY(workspace_->seed({serverRecord("ab.org"), serverRecord("cd.org")}));
    const QByteArray before = workspace_->fileBytes();
    open();
    clickItem("ab.org");
    const QStringList printed = panel()->lines();
    bool stayedOpen = false;
    auto watch = ModalWatch::on<AddServer>([&](AddServer& dialog) {
        typeEntries(dialog, "cd.org", {}, {}, "x");
        QTest::mouseClick(dialog.addBut(), Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        QTest::mouseClick(dialog.findChild<QPushButton*>("CancelBut"), Qt::LeftButton);
    });
    QTest::mouseClick(button("AddServerBut"), Qt::LeftButton);
    QVERIFY(watch->ran());
    QVERIFY(stayedOpen);
    const MessageBox::Request duplicate{
        "Duplicate Domain of Server Hostname!", {}, MessageBox::Critical, {}};
    QCOMPARE(messages_->requests(), QList<MessageBox::Request>{duplicate});
    QCOMPARE(selected()->text(), QStringLiteral("cd.org"));
    QCOMPARE(panel()->lines(), printed);

    messages_->answerNext(MessageBox::No);
    QTest::mouseClick(button("RemoveServerBut"), Qt::LeftButton);
    QCOMPARE(messages_->requests(),
             (QList<MessageBox::Request>{duplicate,
                                         {RemovalQuestion, "cd.org", MessageBox::Warning, {}}}));
    window_.reset();
    QCOMPARE(workspace_->fileBytes(), before);
}

void TestServerMain::activationSeesOtherViewsChanges()
{
    QVERIFY(workspace_->seed({serverRecord("a.org")}));
    open();
    QVERIFY(workspace_->seed({serverRecord("late.org")}));
    QCOMPARE(listed(list()), QStringList{"a.org"}); // its view is a snapshot
    window_->Form_Activate();
    QCOMPARE(listed(list()), (QStringList{"a.org", "late.org"}));
}

void TestServerMain::lockedFileIsReadAgainByOneRetry()
{
    QVERIFY(workspace_->seed({serverRecord("a.org")}));
    open();
    ExclusiveLock lock("Servers.mdb");
    QVERIFY(lock.held());
    int refills = 0;
    connect(list()->model(), &QAbstractItemModel::modelReset, this, [&] { ++refills; });
    // Activated five times while locked: the retries that follow are one.
    for (int i = 0; i < 5; ++i)
        window_->Form_Activate();
    refills = 0;
    QTRY_VERIFY_WITH_TIMEOUT(refills > 0, 5000);
    QTest::qWait(100); // retries made together would all have come by now
    QCOMPARE(refills, 1);
    lock.release();
    QTRY_VERIFY_WITH_TIMEOUT(refills > 1, 5000); // and it reads the file once free
}

void TestServerMain::controlsAndLayout()
{
    open();
    ServerMain& window = *window_;
    QCOMPARE(window.windowTitle(), QStringLiteral("Server Maintenance"));
    QVERIFY(selected()->isHidden());
    QCOMPARE(selected()->text(), QStringLiteral("Selected"));
    QCOMPARE(button("AddServerBut")->text(), QStringLiteral("&Add Server"));
    QCOMPARE(button("EditServerBut")->text(), QStringLiteral("&Edit Server"));
    QCOMPARE(button("RemoveServerBut")->text(), QStringLiteral("&Remove Server"));
    QCOMPARE(button("DoneBut")->text(), QStringLiteral("&Done"));
    QVERIFY(button("EditServerBut")->isDefault());
    for (const char* name : {"AddServerBut", "RemoveServerBut", "DoneBut"})
        QVERIFY(!button(name)->isDefault());
    QCOMPARE(list()->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(panel()->printFont().pointSizeF(), 8.25);
    QVERIFY(!panel()->printFont().bold());

    const QStringList order{"ServersSpeedMask", "ServersSpeedList", "SelectedInfo", "AddServerBut",
                            "EditServerBut",    "RemoveServerBut",  "DoneBut"};
    QCOMPARE(tabOrder(mask(), order.size()), order);

    const auto px = [&](int twips) { return qRound(twips * window.logicalDpiX() / 1440.0); };
    const auto py = [&](int twips) { return qRound(twips * window.logicalDpiY() / 1440.0); };
    QCOMPARE(window.size(), QSize(px(6585), py(6390)));
    QCOMPARE(mask()->geometry(), QRect(px(240), py(240), px(3495), py(285)));
    QCOMPARE(list()->geometry(), QRect(px(240), py(600), px(3495), py(3960)));
    QCOMPARE(panel()->geometry(), QRect(px(240), py(4800), px(6135), py(1335)));
    auto* frame = child<QGroupBox>("Frame1");
    QCOMPARE(frame->geometry(), QRect(px(4200), py(720), px(2055), py(3375)));
    QCOMPARE(button("DoneBut")->parentWidget(), frame);
    QCOMPARE(button("DoneBut")->geometry(), QRect(px(240), py(2640), px(1575), py(495)));
    QCOMPARE(button("EditServerBut")->geometry().top(), py(960));
    auto* shadow = child<QFrame>("Line4");
    auto* light = child<QFrame>("Line3");
    QCOMPARE(shadow->geometry().topLeft(), QPoint(px(120), py(2400)));
    QCOMPARE(light->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(light->y() > shadow->y());
    QVERIFY(shadow->geometry().bottom() < button("DoneBut")->y());
    QVERIFY(shadow->y() > button("RemoveServerBut")->geometry().bottom());
}

QTEST_MAIN(TestServerMain)
#include "TestServerMain.moc"
