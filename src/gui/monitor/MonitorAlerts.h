#pragma once

#include "monitor/ServerAlerts.h"
#include "monitor/TrayIcons.h"

#include <QObject>
#include <memory>
#include <optional>

class Notifier;
class QSystemTrayIcon;
class QWidget;
class ServersGrid;

// Tells the administrator about the checks when the window is not looked at:
// desktop notifications of what changed, and a tray icon of the last cycle.
// Changes are collected while a cycle runs and sent when it ends, so that a
// burst of them becomes one notification.
class MonitorAlerts : public QObject
{
    Q_OBJECT
public:
    // window is raised by a click on the tray icon.
    MonitorAlerts(QWidget& window, ServersGrid& grid);
    ~MonitorAlerts() override;

    // A verdict was written into a server's cell.
    void cellWritten(const QString& domain, int col, const CellVerdict& verdict);
    // The grid was filled anew, its cells empty.
    void gridFilled() { shown_.clear(); }
    // A check of a server ended with this verdict; stopped: its client was
    // ended before it answered (Skip, a close), which says nothing about the server.
    // downForMs: how long a server that answers again was offline, when known.
    void checkWritten(const QString& domain, const CheckVerdict& verdict, bool stopped,
                      std::optional<qint64> downForMs = std::nullopt);
    // The cycle is over: the changes go out, the tray sums up the grid. The
    // acknowledged servers send nothing and are counted apart.
    void cycleEnded(const QSet<QString>& acknowledged = {});
    // The tray sums up the grid as it shows now (after an acknowledgement).
    void refreshSummary(const QSet<QString>& acknowledged);
    // Whether a cell of the server's row shows a problem now.
    bool hasProblem(const QString& domain) const { return shown_.hasProblem(domain); }

    // Shown only where the desktop has a tray; it exists and is kept up to date anyway.
    QSystemTrayIcon& tray() { return *tray_; }
    const TraySummary& summary() const { return summary_; }

private:
    void showSummary(const TraySummary& summary);

    QWidget& window_;
    ServersGrid& grid_;
    StateTracker tracker_;
    ShownCells shown_;
    QList<StateChange> pending_;
    std::unique_ptr<Notifier> notifier_;
    QSystemTrayIcon* tray_;
    TraySummary summary_;
};
