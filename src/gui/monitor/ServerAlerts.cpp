#include "monitor/ServerAlerts.h"

#include <algorithm>

namespace
{

// The array's name: the summary's first word.
QString arrayName(const StateChange& change)
{
    return change.detail.section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
}

QString changeLine(const StateChange& change)
{
    switch (change.kind) {
    case StateChange::ArrayDegraded:
        return QStringLiteral("RAID %1 degraded").arg(arrayName(change));
    case StateChange::MemberLost:
        return QStringLiteral("RAID %1 lost a member").arg(arrayName(change));
    case StateChange::RebuildFinished:
        return QStringLiteral("RAID %1 whole again").arg(arrayName(change));
    case StateChange::WentOffline:
        return CellText::Offline;
    case StateChange::BackOnline:
        return change.detail.isEmpty() ? QStringLiteral("Online again")
                                       : QStringLiteral("Online again after ") + change.detail;
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
    case StateChange::ArrayDegraded:
    case StateChange::MemberLost:
    case StateChange::RebuildFinished:
        return change.detail;
    }
    return {};
}

// How the arrays changed between two checks that read them: one that became
// degraded, one that lost a member while degraded, one whose rebuild ended
// with it whole.
void compareArrays(QList<StateChange>& changes, const QString& domain, const Mdstat& before,
                   const Mdstat& now)
{
    for (const MdArray& array : now.arrays) {
        const auto previous = std::find_if(before.arrays.begin(), before.arrays.end(),
                                           [&](const MdArray& a) { return a.name == array.name; });
        const QString line = mdArraySummary(array);
        if (previous == before.arrays.end()) {
            if (array.degraded())
                changes.append({domain, StateChange::ArrayDegraded, line});
            continue;
        }
        if (!previous->degraded() && array.degraded())
            changes.append({domain, StateChange::ArrayDegraded, line});
        else if (previous->degraded() && array.degraded() &&
                 (array.active.value_or(0) < previous->active.value_or(0) ||
                  array.failedMembers().size() > previous->failedMembers().size()))
            changes.append({domain, StateChange::MemberLost, line});
        else if ((previous->degraded() || previous->rebuilding()) && !array.degraded() &&
                 !array.rebuilding())
            changes.append({domain, StateChange::RebuildFinished, line});
    }
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
    state.md = parseMdstat(verdict.raidText);
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
        now.md = before.md;
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
    if (before.md && now.md) {
        const qsizetype known = changes.size();
        compareArrays(changes, domain, *before.md, *now.md);
        // What the arrays say names the array and the member: it stands for
        // the reference's DIRTY!!! or Clean of the same check.
        if (changes.size() > known)
            changes.removeIf([](const StateChange& change) {
                return change.kind == StateChange::RaidDirty ||
                       change.kind == StateChange::RaidClean;
            });
    }
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
