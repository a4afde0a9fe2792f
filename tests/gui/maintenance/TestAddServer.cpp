#include "MaintenanceSupport.h"

#include "maintenance/AddServer.h"
#include "maintenance/KeyFilters.h"
#include "store/Passwords.h"
#include "support/FileLock.h"
#include "support/Processes.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// The dialog on its own, as the maintenance window opens it.
struct OpenDialog {
    std::unique_ptr<QLabel> selected = std::make_unique<QLabel>(QStringLiteral("Selected"));
    std::unique_ptr<AddServer> dialog;
    StoreStatus status; // of beginAdd or beginEdit

    QLineEdit* box(const char* name) const { return dialog->findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    // Clicks the save button; true when the dialog closed.
    bool saveCloses() const
    {
        QTest::mouseClick(button("AddBut"), Qt::LeftButton);
        return !dialog->isVisible();
    }
};

class TestAddServer : public MaintenanceTest
{
    Q_OBJECT
private slots:
    void keyFilters_data();
    void keyFilters();
    void typingIntoTheNameBoxes_data();
    void typingIntoTheNameBoxes();
    void typingIntoThePortBox();
    void pastedTextIsNotFiltered();
    void saveButtonFollowsRequiredFields();
    void editModeShowsThePlainPasswordMasked();
    void duplicateKeepsDialogThenSavesScrambledOnce();
    void saveUnderLockKeepsTheEntriesAndSaysSo();
    void editWithoutChangesStoresTheSameBytes();
    void cancelLeavesTheFileUntouched_data();
    void cancelLeavesTheFileUntouched();
    void badEntriesAreRefusedWithAMessage_data();
    void badEntriesAreRefusedWithAMessage();
    void apostropheDomainIsSavedAndFound();
    void verificationUsesResolvedParameters_data();
    void verificationUsesResolvedParameters();
    void missingTerminalIsReported();
    void controlsAndLayout();

private:
    OpenDialog openAdd();
    OpenDialog openEdit(const QString& domain);
};

OpenDialog TestAddServer::openAdd()
{
    OpenDialog open;
    open.dialog = std::make_unique<AddServer>(open.selected.get());
    open.status = open.dialog->beginAdd();
    open.dialog->show();
    return open;
}

OpenDialog TestAddServer::openEdit(const QString& domain)
{
    OpenDialog open;
    open.selected->setText(domain);
    open.dialog = std::make_unique<AddServer>(open.selected.get());
    open.dialog->setWindowTitle(QStringLiteral("Edit Server"));
    open.dialog->addBut()->setText(QStringLiteral("&Accept Changes"));
    open.status = open.dialog->beginEdit(domain);
    open.dialog->show();
    return open;
}

void TestAddServer::keyFilters_data()
{
    QTest::addColumn<bool>("port"); // the port box's filter, else the name boxes'
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<QChar>("kept"); // 0: dropped
    QTest::newRow("name: capital") << false << QChar(u'M') << QChar(u'm');
    QTest::newRow("name: small") << false << QChar(u'x') << QChar(u'x');
    QTest::newRow("name: blank dropped") << false << QChar(u' ') << QChar(0);
    QTest::newRow("name: digit") << false << QChar(u'7') << QChar(u'7');
    QTest::newRow("name: dot") << false << QChar(u'.') << QChar(u'.');
    QTest::newRow("name: backspace") << false << QChar(u'\b') << QChar(u'\b');
    QTest::newRow("name: latin-1 capital") << false << QChar(0xC4) << QChar(0xE4);
    QTest::newRow("port: 0") << true << QChar(u'0') << QChar(u'0');
    QTest::newRow("port: 9") << true << QChar(u'9') << QChar(u'9');
    QTest::newRow("port: backspace") << true << QChar(u'\b') << QChar(u'\b');
    QTest::newRow("port: letter") << true << QChar(u'a') << QChar(0);
    QTest::newRow("port: blank") << true << QChar(u' ') << QChar(0);
    QTest::newRow("port: minus") << true << QChar(u'-') << QChar(0);
    QTest::newRow("port: slash, just below 0") << true << QChar(u'/') << QChar(0);
    QTest::newRow("port: colon, just above 9") << true << QChar(u':') << QChar(0);
    QTest::newRow("port: arabic-indic digit") << true << QChar(0x0663) << QChar(0);
}

void TestAddServer::keyFilters()
{
    QFETCH(bool, port);
    QFETCH(QChar, typed);
    QFETCH(QChar, kept);
    QCOMPARE(port ? KeyFilters::portKey(typed) : KeyFilters::nameKey(typed), kept);
}

void TestAddServer::typingIntoTheNameBoxes_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::newRow("domain") << QStringLiteral("DomainBox");
    QTest::newRow("host") << QStringLiteral("ServerHostBox");
}

void TestAddServer::typingIntoTheNameBoxes()
{
    QFETCH(QString, boxName);
    OpenDialog open = openAdd();
    QLineEdit* box = open.box(qPrintable(boxName));
    QVERIFY(box);
    QTest::keyClicks(box, QStringLiteral("My Host"));
    QCOMPARE(box->text(), QStringLiteral("myhost"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("myhos"));
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClicks(box, QStringLiteral("A.B "));
    QCOMPARE(box->text(), QStringLiteral("a.bmyhos"));
    // 50 characters at most, also when a capital is turned into a small letter.
    box->setText(QString(49, u'x'));
    QTest::keyClicks(box, QStringLiteral("YZ"));
    QCOMPARE(box->text(), QString(49, u'x') + u'y');
}

void TestAddServer::typingIntoThePortBox()
{
    OpenDialog open = openAdd();
    QLineEdit* port = open.box("SSHPortBox");
    QVERIFY(port);
    QTest::keyClicks(port, QStringLiteral("ab -+Z."));
    QCOMPARE(port->text(), QString());
    QTest::keyClicks(port, QStringLiteral("22x2"));
    QCOMPARE(port->text(), QStringLiteral("222"));
    QTest::keyClick(port, Qt::Key_Backspace);
    QCOMPARE(port->text(), QStringLiteral("22"));
    QTest::keyClicks(port, QStringLiteral("3456"));
    QCOMPARE(port->text(), QStringLiteral("22345")); // the sixth digit is refused
    QTest::keyClick(port, Qt::Key_Left);
    QTest::keyClick(port, Qt::Key_Delete);
    QCOMPARE(port->text(), QStringLiteral("2234"));
    // On X11 the Delete key comes with the text DEL (0x7f); it is an editing
    // key, not a typed character, and must still delete.
    QTest::keyClick(port, Qt::Key_Home);
    QKeyEvent x11Delete(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
    QApplication::sendEvent(port, &x11Delete);
    QCOMPARE(port->text(), QStringLiteral("234"));
}

void TestAddServer::pastedTextIsNotFiltered()
{
    OpenDialog open = openAdd();
    QLineEdit* domain = open.box("DomainBox");
    QLineEdit* port = open.box("SSHPortBox");
    QApplication::clipboard()->setText(QStringLiteral("Mixed Case.org"));
    QTest::keyClick(domain, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(domain->text(), QStringLiteral("Mixed Case.org"));
    QApplication::clipboard()->setText(QStringLiteral("p22"));
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(port->text(), QStringLiteral("p22"));
}

void TestAddServer::saveButtonFollowsRequiredFields()
{
    OpenDialog open = openAdd();
    QPushButton* save = open.button("AddBut");
    QLineEdit* domain = open.box("DomainBox");
    QLineEdit* password = open.box("PasswordBox");
    const auto* hint = open.dialog->findChild<QLabel*>("KeyLoginHint");
    QVERIFY(hint);
    QVERIFY(!save->isEnabled());
    QVERIFY(hint->isVisible());
    QTest::keyClicks(domain, QStringLiteral("a.org"));
    QVERIFY(save->isEnabled()); // no password: the server logs in by key
    QTest::keyClicks(password, QStringLiteral("p"));
    QVERIFY(save->isEnabled());
    QVERIFY(!hint->isVisible());
    QTest::keyClick(password, Qt::Key_Backspace);
    QVERIFY(hint->isVisible());
    domain->setText(QStringLiteral("   ")); // set by code: the check runs too
    QVERIFY(!save->isEnabled());
    domain->setText(QStringLiteral(" b "));
    QVERIFY(save->isEnabled());
    domain->clear();
    QVERIFY(!save->isEnabled());
    // Enter does nothing while the save is disabled.
    QTest::keyClick(domain, Qt::Key_Return);
    QVERIFY(open.dialog->isVisible());
    QCOMPARE(workspace_->stored()->size(), 0);
}

void TestAddServer::editModeShowsThePlainPasswordMasked()
{
    QVERIFY(workspace_->seed({serverRecord("a.org", "127.0.0.5", "2200", "#short")}));
    OpenDialog open = openEdit("a.org");
    // Save enabled at once, from the loaded password, shown as stored, "#" and
    // all, never expanded; masked with "*".
    QCOMPARE(
        dialogState(*open.dialog),
        QStringLiteral("Edit Server | &Accept Changes, enabled | a.org, 127.0.0.5, 2200, #short"));
    QCOMPARE(open.box("PasswordBox")->displayText(), QStringLiteral("******"));

    QVERIFY(open.status.ok());
    OpenDialog gone = openEdit("missing.org");
    QVERIFY(gone.status.error == StoreError::NoCurrentRecord);
    QVERIFY(gone.dialog->servers().editMode() == Servers::EditMode::None);
}

void TestAddServer::duplicateKeepsDialogThenSavesScrambledOnce()
{
    const ServerRecord taken = serverRecord("taken.org", "", "", "first");
    QVERIFY(workspace_->seed({taken}));
    const QString plain = QStringLiteral("s\u00e9cret p#ss");
    const QString port = QStringLiteral("2");

    OpenDialog open = openAdd();
    typeEntries(*open.dialog, "Taken.org", "127.0.0.1", port, {});
    open.box("PasswordBox")->setText(plain);
    QVERIFY(!open.saveCloses());
    QCOMPARE(messages_->requests(),
             (QList<MessageBox::Request>{
                 {"Duplicate Domain of Server Hostname!", {}, MessageBox::Critical, {}}}));
    QCOMPARE(dialogState(*open.dialog),
             "Add Server | &Add Server, enabled | taken.org, 127.0.0.1, " + port + ", " + plain);
    QCOMPARE(open.selected->text(), QStringLiteral("taken.org")); // set before the save
    QCOMPARE(*workspace_->stored(), QList<ServerRecord>{[&] {
        ServerRecord first = taken;
        first.id = workspace_->stored()->first().id;
        return first;
    }()});

    // Correct the domain and save again.
    QLineEdit* domain = open.box("DomainBox");
    domain->selectAll();
    QTest::keyClicks(domain, QStringLiteral("fresh.org"));
    QVERIFY(open.saveCloses());
    QCOMPARE(messages_->requests().size(), 1);
    QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
    QCOMPARE(open.selected->text(), QStringLiteral("fresh.org"));

    const QList<ServerRecord> stored = *workspace_->stored();
    QCOMPARE(stored.size(), 2);
    ServerRecord fresh = serverRecord("fresh.org", "127.0.0.1", port, plain); // scrambled once
    fresh.id = stored[1].id;
    QCOMPARE(stored[1], fresh);
    QVERIFY(stored[1].serverPassword != plain.toLatin1());

    QVERIFY2(workspace_->waitForPlink(), "the verification run did not start plink");
    QCOMPARE(workspace_->terminalArguments().mid(0, 3),
             (QStringList{"-T", "Server verification: fresh.org", "-e"}));
    const QStringList args = workspace_->plinkArguments();
    QCOMPARE(args, (QStringList{"-P", port, "-pwfile", args.value(3), "-no-antispoof",
                                "root@127.0.0.1", "echo Server Verified!;sleep 2"}));
    QVERIFY(!args.join(u' ').contains(plain));
    QCOMPARE(workspace_->plinkPasswordFile(), plain.toUtf8() + '\n');
}

void TestAddServer::saveUnderLockKeepsTheEntriesAndSaysSo()
{
    const ServerRecord kept = serverRecord("kept.org", "h", "22", "old");
    QVERIFY(workspace_->seed({kept}));
    OpenDialog open = openEdit("kept.org");
    QVERIFY(open.status.ok());
    open.box("ServerHostBox")->setText(QStringLiteral("new-host"));
    open.box("PasswordBox")->setText(QStringLiteral("new-pw"));

    auto lock = std::make_unique<ExclusiveLock>(workspace_->serversFile());
    QVERIFY(lock->held());
    QVERIFY(!open.saveCloses());
    QCOMPARE(messages_->requests().size(), 1);
    QVERIFY2(messages_->requests().first().text.contains("is locked by another program"),
             qPrintable(messages_->requests().first().text));
    QCOMPARE(
        dialogState(*open.dialog),
        QStringLiteral("Edit Server | &Accept Changes, enabled | kept.org, new-host, 22, new-pw"));
    lock.reset();
    QCOMPARE(workspace_->stored()->first().serverHost, QStringLiteral("h"));

    // Once the other program lets go, the same entries are saved.
    QVERIFY(open.saveCloses());
    QCOMPARE(workspace_->stored()->first().serverHost, QStringLiteral("new-host"));
    QCOMPARE(workspace_->stored()->first().serverPassword, scrambledForm("new-pw"));
}

void TestAddServer::editWithoutChangesStoresTheSameBytes()
{
    // Length 3 with the code 3 in it: the stored form holds a NUL.
    const QString plain = QStringLiteral("a\x03z");
    ServerRecord record = serverRecord("e.org", "127.0.0.1", "", plain, "md0 : active");
    QVERIFY(record.serverPassword.contains('\0'));
    QVERIFY(workspace_->seed({record, serverRecord("other.org", "", "", "x")}));
    const QList<ServerRecord> before = *workspace_->stored();

    OpenDialog open = openEdit("e.org");
    QCOMPARE(open.box("PasswordBox")->text(), plain);
    QTest::keyClick(open.box("DomainBox"), Qt::Key_Return); // Enter: the default button
    QVERIFY(!open.dialog->isVisible());
    QCOMPARE(messages_->requests().size(), 0);
    QCOMPARE(*workspace_->stored(), before);
    QCOMPARE(open.selected->text(), QStringLiteral("e.org"));
    QVERIFY(workspace_->waitForPlink());
    QCOMPARE(workspace_->plinkPasswordFile(), plain.toUtf8() + '\n');
}

void TestAddServer::cancelLeavesTheFileUntouched_data()
{
    QTest::addColumn<bool>("edit");
    // 0 Cancel button, 1 Esc, 2 the close box, 3 Enter on the focused Cancel
    QTest::addColumn<int>("how");
    for (const bool edit : {false, true}) {
        const char* mode = edit ? "edit" : "add";
        QTest::addRow("%s, cancel button", mode) << edit << 0;
        QTest::addRow("%s, Esc", mode) << edit << 1;
        QTest::addRow("%s, close box", mode) << edit << 2;
        QTest::addRow("%s, Enter on Cancel", mode) << edit << 3;
    }
}

void TestAddServer::cancelLeavesTheFileUntouched()
{
    QFETCH(bool, edit);
    QFETCH(int, how);
    QVERIFY(workspace_->seed({serverRecord("keep.org", "127.0.0.1", "22", "kept"),
                              serverRecord("other.org", "", "", "x")}));
    const QByteArray before = workspace_->fileBytes();
    QVERIFY(!before.isEmpty());
    {
        OpenDialog open = edit ? openEdit("keep.org") : openAdd();
        QLineEdit* domain = open.box("DomainBox");
        domain->setText(edit ? QStringLiteral("changed.org") : QStringLiteral("new.org"));
        open.box("PasswordBox")->setText(QStringLiteral("other"));
        if (how == 0)
            QTest::mouseClick(open.button("CancelBut"), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(domain, Qt::Key_Escape);
        else if (how == 2)
            QVERIFY(open.dialog->close());
        else {
            // Enter chooses the focused button, not the default one.
            open.button("CancelBut")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(open.button("CancelBut"), Qt::Key_Return);
        }
        QVERIFY(!open.dialog->isVisible());
        QCOMPARE(open.dialog->result(), int(QDialog::Rejected));
        QVERIFY(open.dialog->servers().editMode() == Servers::EditMode::None);
        QCOMPARE(open.selected->text(),
                 edit ? QStringLiteral("keep.org") : QStringLiteral("Selected"));
    }
    QCOMPARE(workspace_->fileBytes(), before);
    QCOMPARE(messages_->requests().size(), 0);
}

void TestAddServer::badEntriesAreRefusedWithAMessage_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("focused");
    const QString pw = QStringLiteral("pw");
    QTest::newRow("slash in domain") << QStringLiteral("a/b.org") << pw << "DomainBox";
    QTest::newRow("backslash in domain") << QStringLiteral("a\\b") << pw << "DomainBox";
    QTest::newRow("domain ..") << QStringLiteral("..") << pw << "DomainBox";
    QTest::newRow("tab in domain") << QStringLiteral("a\tb") << pw << "DomainBox";
    QTest::newRow("password with LF")
        << QStringLiteral("ok.org") << QStringLiteral("a\nb") << "PasswordBox";
    QTest::newRow("password with CR")
        << QStringLiteral("ok.org") << QStringLiteral("a\rb") << "PasswordBox";
    QTest::newRow("password of 256")
        << QStringLiteral("ok.org") << QString(256, u'p') << "PasswordBox";
    QTest::newRow("password outside Latin-1")
        << QStringLiteral("ok.org") << QStringLiteral("\u20acuro") << "PasswordBox";
}

void TestAddServer::badEntriesAreRefusedWithAMessage()
{
    QFETCH(QString, domain);
    QFETCH(QString, password);
    QFETCH(QString, focused);
    QVERIFY(workspace_->seed({serverRecord("keep.org", "", "", "kept")}));
    const QByteArray before = workspace_->fileBytes();

    OpenDialog open = openAdd();
    open.box("DomainBox")->setText(domain);
    open.box("PasswordBox")->setText(password);
    QVERIFY(open.button("AddBut")->isEnabled());
    const QStringList passwordFilesBefore = passwordFiles();
    QVERIFY(!open.saveCloses());
    QCOMPARE(messages_->requests().size(), 1);
    QCOMPARE(messages_->requests().first().code, int(MessageBox::Critical));
    QVERIFY(!messages_->requests().first().text.isEmpty());
    QCOMPARE(open.dialog->focusWidget(), open.box(qPrintable(focused)));
    QCOMPARE(dialogState(*open.dialog),
             "Add Server | &Add Server, enabled | " + domain + ", , , " + password);
    QCOMPARE(open.selected->text(), QStringLiteral("Selected"));
    QCOMPARE(workspace_->fileBytes(), before);
    // No verification run: it would have been handed its password by now.
    QCOMPARE(passwordFilesSince(passwordFilesBefore), QStringList());

    // A 255-character password is fine.
    open.box("DomainBox")->setText(QStringLiteral("ok.org"));
    open.box("PasswordBox")->setText(QString(255, u'p'));
    QVERIFY(open.saveCloses());
    QCOMPARE(workspace_->stored()->last().serverPassword, scrambledForm(QString(255, u'p')));
    QVERIFY(workspace_->waitForPlink());
    QCOMPARE(workspace_->plinkCalls(), 1);
    QCOMPARE(workspace_->plinkPasswordFile(), QByteArray(255, 'p') + '\n');
}

void TestAddServer::apostropheDomainIsSavedAndFound()
{
    QVERIFY(workspace_->seed({serverRecord("o.org", "", "", "x")}));
    OpenDialog open = openAdd();
    typeEntries(*open.dialog, "o'brien.org", "127.0.0.1", {}, "pw");
    QVERIFY(open.saveCloses());
    QCOMPARE(messages_->requests().size(), 0);
    QCOMPARE(workspace_->stored()->last().domain, QStringLiteral("o'brien.org"));
    QVERIFY(workspace_->waitForPlink());

    OpenDialog again = openEdit("o'brien.org");
    QCOMPARE(again.box("PasswordBox")->text(), QStringLiteral("pw"));
}

void TestAddServer::verificationUsesResolvedParameters_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("usedPort");
    QTest::addColumn<QString>("usedPassword");
    const QString shorthand = QStringLiteral("quillfex#yrnmonitor");
    QTest::newRow("empty host and port")
        << QString() << QString() << QStringLiteral("pw") << QStringLiteral("root@127.0.0.1")
        << QStringLiteral("22") << QStringLiteral("pw");
    QTest::newRow("host, port, shorthand")
        << QStringLiteral("127.0.0.2") << QStringLiteral("2022") << QStringLiteral("#x#y")
        << QStringLiteral("root@127.0.0.2") << QStringLiteral("2022") << shorthand;
    QTest::newRow("no password: key only")
        << QString() << QString() << QString() << QStringLiteral("root@127.0.0.1")
        << QStringLiteral("22") << QString();
}

void TestAddServer::verificationUsesResolvedParameters()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, password);
    QFETCH(QString, target);
    QFETCH(QString, usedPort);
    QFETCH(QString, usedPassword);
    OpenDialog open = openAdd();
    // The domain stands in for an empty host: keep it on loopback.
    typeEntries(*open.dialog, "127.0.0.1", host, port, password);
    QVERIFY(open.saveCloses());
    QCOMPARE(workspace_->stored()->last().sshPort, port); // stored empty, used as 22
    QCOMPARE(workspace_->stored()->last().serverPassword.isEmpty(), password.isEmpty());
    QVERIFY(workspace_->waitForPlink());
    const QStringList args = workspace_->plinkArguments();
    QCOMPARE(args.value(1), usedPort);
    QVERIFY2(args.contains(target), qPrintable(args.join(' ')));
    // No password stored: none handed over, so plink logs in by key.
    QCOMPARE(args.contains("-pwfile"), !usedPassword.isEmpty());
    if (!usedPassword.isEmpty())
        QCOMPARE(workspace_->plinkPasswordFile(), usedPassword.toUtf8() + '\n');
}

void TestAddServer::missingTerminalIsReported()
{
    workspace_.reset();
    workspace_ = std::make_unique<Workspace>(Workspace::Terminal::Missing);
    QVERIFY(workspace_->ok());
    OpenDialog open = openAdd();
    open.box("DomainBox")->setText(QStringLiteral("127.0.0.1"));
    open.box("PasswordBox")->setText(QStringLiteral("pw"));
    const QStringList passwordFilesBefore = passwordFiles();
    QVERIFY(open.saveCloses());
    QCOMPARE(workspace_->stored()->size(), 1); // saved all the same
    QCOMPARE(messages_->requests().size(), 1);
    QCOMPARE(messages_->requests().first().title, QStringLiteral("127.0.0.1"));
    QVERIFY2(messages_->requests().first().text.contains(QStringLiteral("terminal")),
             qPrintable(messages_->requests().first().text));
    QCOMPARE(passwordFilesSince(passwordFilesBefore), QStringList()); // nothing started
}

void TestAddServer::controlsAndLayout()
{
    OpenDialog open = openAdd();
    AddServer& dialog = *open.dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Server"));
    QCOMPARE(open.button("AddBut")->text(), QStringLiteral("&Add Server"));
    QCOMPARE(open.button("CancelBut")->text(), QStringLiteral("&Cancel"));
    QVERIFY(open.button("AddBut")->isDefault());
    QVERIFY(!open.button("CancelBut")->isDefault());
    QCOMPARE(open.box("DomainBox")->maxLength(), 50);
    QCOMPARE(open.box("ServerHostBox")->maxLength(), 50);
    QCOMPARE(open.box("SSHPortBox")->maxLength(), 5);
    QVERIFY(open.box("PasswordBox")->maxLength() > 255);
    QCOMPARE(open.box("PasswordBox")->echoMode(), QLineEdit::Password);

    const auto* frame = dialog.findChild<QGroupBox*>("Frame1");
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("SMS Notifications"));
    const QStringList checks{"NonStockChk", "NonVatChk", "AllowNegativeChk"};
    const QStringList captions{"Online/Offline", "RAID Dirty", "Backup Failure"};
    int lastTop = -1;
    for (int i = 0; i < checks.size(); ++i) {
        const auto* check = frame->findChild<QCheckBox*>(checks[i]);
        QVERIFY2(check, qPrintable(checks[i]));
        QCOMPARE(check->text(), captions[i]);
        QVERIFY(!check->isEnabled());
        QVERIFY(!check->isChecked());
        QVERIFY(check->y() > lastTop); // top to bottom
        lastTop = check->y();
    }

    // Tab order: the four boxes, then the two buttons.
    const QStringList order{"DomainBox",   "ServerHostBox", "SSHPortBox",
                            "PasswordBox", "AddBut",        "CancelBut"};
    QCOMPARE(tabOrder(open.box("DomainBox"), order.size()), order);

    // Client area 8655 x 4605 twips, boxes where the twips put them.
    const auto px = [&](int twips) { return qRound(twips * dialog.logicalDpiX() / 1440.0); };
    const auto py = [&](int twips) { return qRound(twips * dialog.logicalDpiY() / 1440.0); };
    QCOMPARE(dialog.size(), QSize(px(8655), py(4605)));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(open.box("DomainBox")->geometry(), QRect(px(2640), py(360), px(5655), py(405)));
    QCOMPARE(open.box("SSHPortBox")->geometry(), QRect(px(2640), py(1560), px(1335), py(420)));
    QCOMPARE(open.button("CancelBut")->geometry(), QRect(px(6360), py(3000), px(1695), py(615)));
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        if (child->parentWidget() == &dialog && child->isVisible())
            QVERIFY2(dialog.rect().contains(child->geometry()), qPrintable(child->objectName()));
    }

    // Fonts: 13.5 pt boxes, 8.25 pt bold buttons, 12 pt bold check boxes.
    QCOMPARE(open.box("DomainBox")->font().pointSizeF(), 13.5);
    QCOMPARE(open.button("AddBut")->font().pointSizeF(), 8.25);
    QVERIFY(open.button("AddBut")->font().bold());
    QCOMPARE(frame->findChild<QCheckBox*>("NonVatChk")->font().pointSizeF(), 12.0);
    QVERIFY(frame->findChild<QCheckBox*>("NonVatChk")->font().bold());
    QCOMPARE(QFontInfo(open.box("DomainBox")->font()).family(), QStringLiteral("Liberation Sans"));
    // Every label text fits its label.
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));
}

QTEST_MAIN(TestAddServer)
#include "TestAddServer.moc"
