#include "monitor/ServerAlerts.h"

namespace
{

QString changeLine(const StateChange& change)
{
    switch (change.kind) {
    case StateChange::WentOffline:
        return CellText::Offline;
    case StateChange::BackOnline:
        return QStringLiteral("Online again");
    case StateChange::RaidDirty:
        return QStringLiteral("RAID ") + CellText::Dirty;
    case StateChange::RaidClean:
        return QStringLiteral("RAID Clean again");
    case StateChange::BackupFailed:
        return QStringLiteral("Backup failed");
    case StateChange::BackupGood:
        return QStringLiteral("Backup good again");
    }
    return {};
}

QString changeBody(const StateChange& change)
{
    switch (change.kind) {
    case StateChange::WentOffline:
        return change.detail.isEmpty() ? QStringLiteral("The server does not answer.")
                                       : change.detail;
    case StateChange::BackOnline:
        return QStringLiteral("The server answers again.");
    case StateChange::RaidDirty:
        return QStringLiteral("/proc/mdstat differs from the accepted RAID state.");
    case StateChange::RaidClean:
        return QStringLiteral("/proc/mdstat matches the accepted RAID state again.");
    case StateChange::BackupFailed:
    case StateChange::BackupGood:
        return QStringLiteral("Backup report: ") + change.detail;
    }
    return {};
}

// A level change from ok to critical, or back; anything else on either side is none.
void compare(QList<StateChange>& changes, const QString& domain, Level before, Level now,
             StateChange::Kind worse, StateChange::Kind better, const QString& detail)
{
    if (before == Level::Ok && now == Level::Critical)
        changes.append({domain, worse, detail});
    else if (before == Level::Critical && now == Level::Ok)
        changes.append({domain, better, detail});
}

} // namespace

ServerState stateOfCheck(const CheckVerdict& verdict)
{
    ServerState state;
    state.online = verdict.online;
    if (!state.online) {
        state.reason = verdict.reason;
        return state;
    }
    state.raid = verdict.cells.raid.level;
    state.backup = verdict.cells.backup.level;
    if (state.backup != Level::None)
        state.backupTime = verdict.cells.backup.text.trimmed();
    return state;
}

QList<StateChange> StateTracker::record(const QString& domain, const ServerState& state)
{
    const auto previous = last_.constFind(domain);
    if (previous == last_.constEnd()) {
        last_.insert(domain, state);
        return {};
    }
    ServerState before = *previous;
    ServerState now = state;
    if (!now.online) {
        // Nothing was learnt about RAID and backup: the last known state stays.
        now.raid = before.raid;
        now.backup = before.backup;
        now.backupTime = before.backupTime;
    }

    QList<StateChange> changes;
    if (before.online && !now.online)
        changes.append({domain, StateChange::WentOffline, now.reason});
    else if (!before.online && now.online)
        changes.append({domain, StateChange::BackOnline, {}});
    compare(changes, domain, before.raid, now.raid, StateChange::RaidDirty, StateChange::RaidClean,
            {});
    compare(changes, domain, before.backup, now.backup, StateChange::BackupFailed,
            StateChange::BackupGood, now.backupTime);
    last_.insert(domain, now);
    return changes;
}

void StateTracker::keepOnly(const QSet<QString>& domains)
{
    for (auto it = last_.begin(); it != last_.end();) {
        if (domains.contains(it.key()))
            ++it;
        else
            it = last_.erase(it);
    }
}

QList<Notification> notificationsFor(const QList<StateChange>& changes)
{
    QList<Notification> notifications;
    if (changes.size() <= BurstSize) {
        for (const StateChange& change : changes)
            notifications.append({change.domain + QStringLiteral(": ") + changeLine(change),
                                  changeBody(change), change.isAlarm()});
        return notifications;
    }
    QStringList lines;
    bool urgent = false;
    for (const StateChange& change : changes) {
        lines << change.domain + QStringLiteral(": ") + changeLine(change);
        urgent = urgent || change.isAlarm();
    }
    notifications.append(
        {QStringLiteral("%1 changes in the last check of the servers").arg(changes.size()),
         lines.join(QLatin1Char('\n')), urgent});
    return notifications;
}
