#include "maintenance/ServerMain.h"

#include "common/HistoryView.h"
#include "maintenance/AddServer.h"
#include "maintenance/MaintenanceLayout.h"
#include "maintenance/PrintPanel.h"
#include "platform/MessageBox.h"
#include "store/Passwords.h"

#include <QDateTime>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

using namespace MaintenanceLayout;

namespace
{

// The list keeps its entries in alphabetical order, ignoring case; entries
// that differ only in case keep a fixed order among themselves.
class DomainItem : public QListWidgetItem
{
public:
    explicit DomainItem(const QString& domain) : QListWidgetItem(domain) {}
    bool operator<(const QListWidgetItem& other) const override
    {
        const int folded = text().compare(other.text(), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : text() < other.text();
    }
};

QFrame* etchedLine(QWidget* parent, const char* name, const QRect& geometry, const QColor& color)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setGeometry(geometry);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, color);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

} // namespace

ServerMain::ServerMain(QWidget* parent) : QDialog(parent), activationRetry_(new QTimer(this))
{
    activationRetry_->setSingleShot(true);
    activationRetry_->setInterval(ServerFile::LockRetry);
    connect(activationRetry_, &QTimer::timeout, this, &ServerMain::Form_Activate);
    setObjectName(QStringLiteral("ServerMain"));
    setWindowTitle(QStringLiteral("Server Maintenance"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(sansFont(8.25));
    setFixedSize(twipsSize(this, 6585, 6390));

    ServersSpeedMask = new QLineEdit(this);
    ServersSpeedMask->setObjectName(QStringLiteral("ServersSpeedMask"));
    ServersSpeedMask->setAccessibleName(QStringLiteral("Filter: domains beginning with"));
    ServersSpeedMask->setGeometry(twipsRect(this, 240, 240, 3495, 285));

    ServersSpeedList = new QListWidget(this);
    ServersSpeedList->setObjectName(QStringLiteral("ServersSpeedList"));
    ServersSpeedList->setAccessibleName(QStringLiteral("Servers"));
    ServersSpeedList->setGeometry(twipsRect(this, 240, 600, 3495, 3960));
    ServersSpeedList->setSelectionMode(QAbstractItemView::SingleSelection);
    ServersSpeedList->setSortingEnabled(true);

    SelectedInfo = new PrintPanel(this);
    SelectedInfo->setObjectName(QStringLiteral("SelectedInfo"));
    SelectedInfo->setAccessibleName(QStringLiteral("Selected server"));
    SelectedInfo->setGeometry(twipsRect(this, 240, 4800, 6135, 1335));
    SelectedInfo->setFont(sansFont(8.25));
    SelectedInfo->setFocusPolicy(Qt::TabFocus);
    SelectedInfo->Cls();
    SelectedInfo->setPrintFontSize(8.25);

    Selected = new QLabel(QStringLiteral("Selected"), this);
    Selected->setObjectName(QStringLiteral("Selected"));
    Selected->setVisible(false);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(this, 4200, 720, 2055, 3375));
    const auto button = [&](const char* name, const QString& text, int top) {
        auto* push = new QPushButton(text, Frame1);
        push->setObjectName(QLatin1String(name));
        push->setGeometry(twipsRect(this, 240, top, 1575, 495));
        // Enter chooses the focused button, else the default one.
        push->setAutoDefault(true);
        return push;
    };
    AddServerBut = button("AddServerBut", QStringLiteral("&Add Server"), 240);
    EditServerBut = button("EditServerBut", QStringLiteral("&Edit Server"), 960);
    RemoveServerBut = button("RemoveServerBut", QStringLiteral("&Remove Server"), 1680);
    DoneBut = button("DoneBut", QStringLiteral("&Done"), 2640);
    EditServerBut->setDefault(true); // Enter
    EditServerBut->setEnabled(false);
    RemoveServerBut->setEnabled(false);
    // An etched separator above Done: a shadow line with a white one below.
    const QRect shadow = twipsRect(this, 120, 2400, 1800, 15);
    Line4 = etchedLine(Frame1, "Line4", QRect(shadow.left(), shadow.top(), shadow.width(), 1),
                       palette().color(QPalette::Dark));
    Line3 =
        etchedLine(Frame1, "Line3",
                   QRect(shadow.left(), shadow.top() + qMax(1, shadow.height()), shadow.width(), 1),
                   Qt::white);

    setTabOrder(ServersSpeedMask, ServersSpeedList);
    setTabOrder(ServersSpeedList, SelectedInfo);
    setTabOrder(SelectedInfo, AddServerBut);
    setTabOrder(AddServerBut, EditServerBut);
    setTabOrder(EditServerBut, RemoveServerBut);
    setTabOrder(RemoveServerBut, DoneBut);

    connect(ServersSpeedMask, &QLineEdit::textChanged, this, &ServerMain::ServersSpeedMask_Change);
    // A click, or a selection moved with the keyboard, selects the server.
    connect(ServersSpeedList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ServersSpeedList_Click(item->text()); });
    connect(ServersSpeedList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) {
                if (item && item->isSelected())
                    ServersSpeedList_Click(item->text());
            });
    connect(ServersSpeedList, &QListWidget::itemDoubleClicked, this,
            &ServerMain::ServersSpeedList_DblClick);
    ServersSpeedList->installEventFilter(this); // Space and Enter, see eventFilter
    connect(AddServerBut, &QPushButton::clicked, this, &ServerMain::AddServerBut_Click);
    connect(EditServerBut, &QPushButton::clicked, this, &ServerMain::EditServerBut_Click);
    connect(RemoveServerBut, &QPushButton::clicked, this, &ServerMain::RemoveServerBut_Click);
    // Done, like Esc and the close box, closes without asking anything.
    connect(DoneBut, &QPushButton::clicked, this, &ServerMain::reject);

    // A server's history: from the list's context menu, or Ctrl+H on it.
    ServersSpeedList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ServersSpeedList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = ServersSpeedList->itemAt(at);
        if (!item)
            return;
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(QStringLiteral("&History..."), QKeySequence(QStringLiteral("Ctrl+H")), this,
                        [this, domain = item->text()] { showHistory(domain); });
        menu->popup(ServersSpeedList->viewport()->mapToGlobal(at));
    });
    auto* history = new QShortcut(QKeySequence(QStringLiteral("Ctrl+H")), ServersSpeedList);
    history->setContext(Qt::WidgetShortcut);
    connect(history, &QShortcut::activated, this, [this] {
        if (QListWidgetItem* item = ServersSpeedList->currentItem())
            showHistory(item->text());
    });
}

void ServerMain::showHistory(const QString& domain)
{
    auto* view =
        new HistoryView(Servers_.fileName(), domain, QDateTime::currentMSecsSinceEpoch(), this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
}

// Tab makes the first domain current without selecting it; Space, and Enter
// while it is not yet selected, select the current domain as a click does.
// Enter on a selected domain goes on to the default button (Edit Server).
bool ServerMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ServersSpeedList || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QListWidgetItem* item = ServersSpeedList->currentItem();
    const bool space = key->key() == Qt::Key_Space;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (!item || modifiers != Qt::NoModifier || !(space || (enter && !item->isSelected())))
        return QDialog::eventFilter(watched, event);
    item->setSelected(true);
    ServersSpeedList_Click(item->text());
    return true;
}

void ServerMain::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Form_Activate();
}

void ServerMain::Form_Activate()
{
    // While another program holds the file locked the list stays as last
    // read, and is read again shortly.
    // One retry at a time, however often the window is activated meanwhile.
    if (Servers_.Refresh().error == StoreError::Locked)
        activationRetry_->start();
    else
        activationRetry_->stop();
    ServersSpeedMask_Change();
}

void ServerMain::ServersSpeedMask_Change()
{
    // Clearing the list is no selection by the user: keep the handlers out.
    const QSignalBlocker blocker(ServersSpeedList);
    ServersSpeedList->clear();
    if (!Servers_.MoveFirst().ok())
        return; // an empty table: nothing to list
    const QString filter = ServersSpeedMask->text();
    for (; !Servers_.Eof(); Servers_.MoveNext()) {
        const QString domain = Servers_.Domain();
        if (domain.startsWith(filter, Qt::CaseSensitive))
            ServersSpeedList->addItem(new DomainItem(domain));
    }
    ServersSpeedList->setCurrentItem(nullptr);
    ServersSpeedList->clearSelection();
}

bool ServerMain::findSelected()
{
    return Servers_.FindFirst(Selected->text());
}

void ServerMain::ServersSpeedList_Click(const QString& domain)
{
    EditServerBut->setEnabled(true);
    RemoveServerBut->setEnabled(true);
    Selected->setText(domain);
    if (!findSelected()) {
        SelectedInfo->Cls();
        return;
    }
    Selected->setText(Servers_.Domain());
    printSelectedInfo();
}

void ServerMain::printSelectedInfo()
{
    const ServerRecord record = Servers_.current();
    PrintPanel& panel = *SelectedInfo;
    panel.Cls();
    panel.setPrintFontSize(6);
    panel.setPrintFontBold(false);
    panel.print(QString(), true);
    panel.setPrintFontSize(14);
    panel.print(QStringLiteral(" Selected Server : "), false);
    panel.setPrintFontBold(true);
    panel.print(record.domain, true);
    panel.setPrintFontSize(10);
    panel.print(QString(50, QChar(0x2014)), true);
    panel.print(QStringLiteral("  Server Hostname\t"), false);
    panel.print(QStringLiteral(": ") + ResolveSshHost(record), true);
    panel.print(QStringLiteral("  SSH Port\t\t: "), false);
    panel.print(ResolveSshPort(record), true);
}

void ServerMain::ServersSpeedList_DblClick()
{
    if (EditServerBut->isEnabled())
        EditServerBut_Click();
}

void ServerMain::AddServerBut_Click()
{
    AddServer dialog(Selected, this);
    const StoreStatus status = dialog.beginAdd();
    if (!status.ok()) {
        MessageBox::ask(status.message, windowTitle(), MessageBox::Critical);
        return;
    }
    dialog.exec();
    Form_Activate();
}

void ServerMain::EditServerBut_Click()
{
    AddServer dialog(Selected, this);
    dialog.setWindowTitle(QStringLiteral("Edit Server"));
    dialog.addBut()->setText(QStringLiteral("&Accept Changes"));
    const StoreStatus status = dialog.beginEdit(Selected->text());
    if (!status.ok()) {
        // Removed through another window since the list was filled.
        MessageBox::ask(status.message, windowTitle(), MessageBox::Critical);
        Form_Activate();
        return;
    }
    dialog.exec();
    Form_Activate();
}

void ServerMain::RemoveServerBut_Click()
{
    if (!findSelected())
        return; // the list only offers servers of this view, so this is not expected
    const QString domain = Servers_.Domain();
    const int answer = MessageBox::ask(
        QStringLiteral("About to remove the Selected Server...\n\nPlease Confirm..."), domain,
        MessageBox::Warning);
    if (answer != MessageBox::Yes)
        return;
    const StoreStatus removed = Servers_.Delete();
    if (removed.error == StoreError::Locked) {
        // Nothing was removed: the server stays listed and selected.
        MessageBox::ask(removed.message + QStringLiteral("\n\nThe server was not removed."), domain,
                        MessageBox::Critical);
        return;
    }
    if (!removed.ok())
        MessageBox::ask(removed.message, domain, MessageBox::Critical);
    EditServerBut->setEnabled(false);
    RemoveServerBut->setEnabled(false);
    SelectedInfo->Cls();
    ServersSpeedMask_Change();
}
