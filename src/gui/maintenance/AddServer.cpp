#include "maintenance/AddServer.h"

#include "maintenance/KeyFilters.h"
#include "maintenance/MaintenanceLayout.h"
#include "platform/MessageBox.h"
#include "probe/CommandLine.h"
#include "probe/Runner.h"
#include "store/Passwords.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

using namespace MaintenanceLayout;

namespace
{

// Masks the password box with "*" whatever the desktop style would use.
class AsteriskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

AddServer::AddServer(QLabel* selected, QWidget* parent) : QDialog(parent), selected_(selected)
{
    setObjectName(QStringLiteral("AddServer"));
    setWindowTitle(QStringLiteral("Add Server"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(twipsSize(this, 8655, 4605));

    const QFont boxFont = sansFont(13.5);
    const auto box = [&](const char* name, int left, int top, int width, int height,
                         int maxLength) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setFont(boxFont);
        edit->setGeometry(twipsRect(this, left, top, width, height));
        edit->setMaxLength(maxLength);
        return edit;
    };
    DomainBox = box("DomainBox", 2640, 360, 5655, 405, 50);
    ServerHostBox = box("ServerHostBox", 2640, 960, 5655, 420, 50);
    SSHPortBox = box("SSHPortBox", 2640, 1560, 1335, 420, 5);
    PasswordBox = box("PasswordBox", 2640, 2160, 3135, 420, 32767);
    DomainBox->setAccessibleName(QStringLiteral("Domain"));
    ServerHostBox->setAccessibleName(QStringLiteral("Server hostname"));
    SSHPortBox->setAccessibleName(QStringLiteral("SSH port"));
    PasswordBox->setAccessibleName(QStringLiteral("Password"));
    PasswordBox->setEchoMode(QLineEdit::Password);
    auto* asterisks = new AsteriskStyle;
    asterisks->setParent(PasswordBox);
    PasswordBox->setStyle(asterisks);

    const auto label = [&](const char* name, const QString& text, const QFont& font,
                           const QRect& geometry, Qt::Alignment alignment) {
        auto* caption = new QLabel(text, this);
        caption->setObjectName(QLatin1String(name));
        caption->setFont(font);
        caption->setAlignment(alignment);
        if (geometry.size().isEmpty()) {
            caption->move(geometry.topLeft());
            caption->adjustSize();
            // A tall star's empty descent may not reach past the bottom edge.
            caption->resize(caption->width(), qMin(caption->height(), height() - caption->y()));
        } else {
            caption->setGeometry(geometry);
        }
        return caption;
    };
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    label("Label1", QStringLiteral("Domain:"), boxFont, twipsRect(this, 960, 360, 1530, 405),
          right);
    label("Label2", QStringLiteral("Server Hostname:"), boxFont,
          twipsRect(this, 120, 960, 2370, 420), right);
    label("Label3", QStringLiteral("SSH Port:"), boxFont, twipsRect(this, 960, 1560, 1530, 420),
          right);
    label("Label4", QStringLiteral("Password:"), boxFont, twipsRect(this, 960, 2160, 1530, 420),
          right);
    const QFont starFont = sansFont(24);
    const QString star = QStringLiteral("*");
    label("Label5", star, starFont, twipsRect(this, 8280, 360, 0, 0), Qt::AlignLeft | Qt::AlignTop);
    // No star beside the password: a server may have none and log in by key.
    label("Label7", star, starFont, twipsRect(this, 6240, 4080, 0, 0),
          Qt::AlignLeft | Qt::AlignTop);
    label("Label8", QStringLiteral("- Required Field"), sansFont(12, true),
          twipsRect(this, 6480, 4080, 0, 0), Qt::AlignLeft | Qt::AlignTop);
    // Between the password box and the frame below it.
    KeyLoginHint = label(
        "KeyLoginHint", QStringLiteral("Empty: logs in with the SSH agent or key file"),
        sansFont(8), twipsRect(this, 2640, 2580, 3660, 180), Qt::AlignLeft | Qt::AlignVCenter);

    const QFont buttonFont = sansFont(8.25, true);
    const auto button = [&](const char* name, const QString& text, int top) {
        auto* push = new QPushButton(text, this);
        push->setObjectName(QLatin1String(name));
        push->setFont(buttonFont);
        push->setGeometry(twipsRect(this, 6360, top, 1695, 615));
        // Enter chooses the focused button, else the default one.
        push->setAutoDefault(true);
        return push;
    };
    AddBut = button("AddBut", QStringLiteral("&Add Server"), 2160);
    AddBut->setDefault(true);
    AddBut->setEnabled(false);
    CancelBut = button("CancelBut", QStringLiteral("&Cancel"), 3000);

    const QFont checkFont = sansFont(12, true);
    Frame1 = new QGroupBox(QStringLiteral("SMS Notifications"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(checkFont);
    Frame1->setGeometry(twipsRect(this, 2640, 2760, 2895, 1575));
    const auto check = [&](const char* name, const QString& text, int top) {
        auto* box = new QCheckBox(text, Frame1);
        box->setObjectName(QLatin1String(name));
        box->setFont(checkFont);
        box->setGeometry(twipsRect(this, 240, top, 2415, 360));
        box->setChecked(false);
        box->setEnabled(false); // notifications are not part of this program
        return box;
    };
    NonStockChk = check("NonStockChk", QStringLiteral("Online/Offline"), 360);
    NonVatChk = check("NonVatChk", QStringLiteral("RAID Dirty"), 720);
    AllowNegativeChk = check("AllowNegativeChk", QStringLiteral("Backup Failure"), 1080);

    setTabOrder(DomainBox, ServerHostBox);
    setTabOrder(ServerHostBox, SSHPortBox);
    setTabOrder(SSHPortBox, PasswordBox);
    setTabOrder(PasswordBox, AddBut);
    setTabOrder(AddBut, CancelBut);
    setTabOrder(CancelBut, Frame1);

    KeyFilters::install(DomainBox, KeyFilters::Kind::Name);
    KeyFilters::install(ServerHostBox, KeyFilters::Kind::Name);
    KeyFilters::install(SSHPortBox, KeyFilters::Kind::Port);
    connect(DomainBox, &QLineEdit::textChanged, this, &AddServer::CheckRequiredFields);
    connect(PasswordBox, &QLineEdit::textChanged, this, &AddServer::CheckRequiredFields);
    connect(AddBut, &QPushButton::clicked, this, &AddServer::AddBut_Click);
    connect(CancelBut, &QPushButton::clicked, this, &AddServer::reject);
}

StoreStatus AddServer::beginAdd()
{
    const StoreStatus status = Servers_.AddNew();
    if (status.ok())
        showRecord(Servers_.buffer());
    return status;
}

StoreStatus AddServer::beginEdit(const QString& domain)
{
    if (!Servers_.openStatus().ok())
        return Servers_.openStatus();
    if (!Servers_.FindFirst(domain))
        return StoreStatus::failure(
            StoreError::NoCurrentRecord,
            QStringLiteral("The server \"%1\" is no longer in the server file.").arg(domain));
    const StoreStatus status = Servers_.Edit();
    if (status.ok())
        showRecord(Servers_.buffer());
    return status;
}

void AddServer::showRecord(const ServerRecord& record)
{
    DomainBox->setText(record.domain);
    ServerHostBox->setText(record.serverHost);
    SSHPortBox->setText(record.sshPort);
    PasswordBox->setText(passwordFromCodePage(ScramblePassword(record.serverPassword)));
}

void AddServer::CheckRequiredFields()
{
    // No password is a choice: that server logs in by key, as the hint says.
    AddBut->setEnabled(!DomainBox->text().trimmed().isEmpty());
    KeyLoginHint->setVisible(PasswordBox->text().isEmpty());
}

bool AddServer::entryAccepted()
{
    // The domain names the check's output file, so it must be usable as a
    // file name inside the working directory.
    if (const auto problem = domainFileNameProblem(DomainBox->text())) {
        MessageBox::ask(QStringLiteral("This domain cannot be saved: %1.").arg(*problem),
                        windowTitle(), MessageBox::Critical);
        DomainBox->setFocus();
        return false;
    }
    // The stored form holds single-byte codes, one per character.
    if (const auto problem = passwordEntryProblem(PasswordBox->text())) {
        MessageBox::ask(*problem, windowTitle(), MessageBox::Critical);
        PasswordBox->setFocus();
        return false;
    }
    return true;
}

void AddServer::AddBut_Click()
{
    if (!AddBut->isEnabled() || !entryAccepted())
        return;

    const QString domain = DomainBox->text();
    ServerRecord& record = Servers_.buffer();
    record.serverPassword = ScramblePassword(passwordToCodePage(PasswordBox->text()));
    if (selected_)
        selected_->setText(domain);
    record.domain = domain;
    record.serverHost = ServerHostBox->text();
    record.sshPort = SSHPortBox->text();

    const StoreStatus saved = Servers_.Update();
    if (saved.error == StoreError::DuplicateKey) {
        MessageBox::ask(QStringLiteral("Duplicate Domain of Server Hostname!"), QString(),
                        MessageBox::Critical);
        return;
    }
    if (saved.error == StoreError::Locked) {
        // Everything typed stays in the boxes for another try.
        MessageBox::ask(saved.message + QStringLiteral("\n\nNothing was saved; your entries are "
                                                       "kept, so you can try again."),
                        windowTitle(), MessageBox::Critical);
        return;
    }
    if (!saved.ok()) {
        // Closing now would pass a lost record off as saved.
        MessageBox::ask(saved.message, windowTitle(), MessageBox::Critical);
        return;
    }
    startVerification();
    accept();
}

void AddServer::startVerification()
{
    // The view does not stand on a record it has just added: find it again.
    const QString domain = selected_ ? selected_->text() : DomainBox->text();
    if (!Servers_.FindFirst(domain))
        return;
    const ServerRecord record = Servers_.current();
    const CommandLine line =
        VerificationLine(ResolveSshPort(record), ResolveConnectionPassword(record),
                         ResolveSshHost(record), record.domain);
    QString reason;
    if (!Runner::instance().startDetached(line, &reason))
        MessageBox::ask(QStringLiteral("The server was saved, but its verification login could "
                                       "not be started: %1")
                            .arg(reason),
                        record.domain, MessageBox::Information);
}

void AddServer::reject()
{
    Servers_.CancelUpdate();
    QDialog::reject();
}
