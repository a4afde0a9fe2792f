#include "monitor/MonitorAlerts.h"

#include "history/HistoryRules.h"
#include "monitor/DesktopNotifier.h"
#include "monitor/GridCells.h"
#include "monitor/ServersGrid.h"

#include <QSystemTrayIcon>
#include <QWidget>

MonitorAlerts::MonitorAlerts(QWidget& window, ServersGrid& grid)
    : QObject(&window), window_(window), grid_(grid), notifier_(std::make_unique<DBusNotifier>()),
      tray_(new QSystemTrayIcon(this))
{
    tray_->setObjectName(QStringLiteral("TrayIcon"));
    showSummary(uncheckedSummary());
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why != QSystemTrayIcon::Trigger && why != QSystemTrayIcon::DoubleClick)
                    return;
                window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
                window_.show();
                window_.raise();
                window_.activateWindow();
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray_->show();
}

MonitorAlerts::~MonitorAlerts() = default;

void MonitorAlerts::cellWritten(const QString& domain, int col, const CellVerdict& verdict)
{
    shown_.write(domain, col, verdict);
}

void MonitorAlerts::checkWritten(const QString& domain, const CheckVerdict& verdict, bool stopped,
                                 std::optional<qint64> downForMs)
{
    if (stopped)
        return;
    QList<StateChange> changes = tracker_.record(domain, stateOfCheck(verdict));
    for (StateChange& change : changes) {
        if (change.kind == StateChange::BackOnline && downForMs)
            change.detail = durationText(*downForMs);
    }
    pending_ += changes;
}

void MonitorAlerts::cycleEnded(const QSet<QString>& acknowledged)
{
    // A set: a list search per server would make the end of a cycle quadratic in the rows.
    QStringList rows;
    rows.reserve(grid_.rows() - 1);
    for (int row = 1; row < grid_.rows(); ++row)
        rows << grid_.textMatrix(row, ServerCol);
    const QSet<QString> domains(rows.cbegin(), rows.cend());
    tracker_.keepOnly(domains);
    // A server removed meanwhile is no news any more.
    pending_.removeIf([&](const StateChange& change) { return !domains.contains(change.domain); });
    // An acknowledged problem is known: its server sends nothing.
    pending_.removeIf(
        [&](const StateChange& change) { return acknowledged.contains(change.domain); });
    for (const Notification& notification : notificationsFor(pending_))
        notifier_->notify(notification);
    pending_.clear();
    showSummary(shown_.summary(rows, acknowledged));
}

void MonitorAlerts::refreshSummary(const QSet<QString>& acknowledged)
{
    if (summary_.colour == TraySummary::Colour::Unknown)
        return; // no cycle has ended yet
    QStringList rows;
    for (int row = 1; row < grid_.rows(); ++row)
        rows << grid_.textMatrix(row, ServerCol);
    showSummary(shown_.summary(rows, acknowledged));
}

void MonitorAlerts::showSummary(const TraySummary& summary)
{
    if (summary.colour != summary_.colour || tray_->icon().isNull())
        tray_->setIcon(trayIcon(summary.colour));
    tray_->setToolTip(summary.toolTip);
    summary_ = summary;
}
