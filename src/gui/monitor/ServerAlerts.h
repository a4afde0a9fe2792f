#pragma once

#include "probe/Mdstat.h"
#include "probe/ServerCheck.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// What a finished check found of a server, as far as alerts go. Only ok and
// critical count: a RAID "Not Verified" and a backup without a report are
// neither good nor bad news.
struct ServerState {
    bool online = false;
    QString reason;             // why it is offline
    Level raid = Level::None;   // the RAID verdict's level
    Level backup = Level::None; // the backup verdict's level
    QString backupTime;         // the Backup cell's text, trimmed
    std::optional<Mdstat> md;   // the arrays, when the server answered
};

// The state of a check's verdict; an offline server's RAID and backup are
// not known.
ServerState stateOfCheck(const CheckVerdict& verdict);

// One change between two finished checks of a server.
struct StateChange {
    enum Kind {
        WentOffline,
        BackOnline,
        RaidDirty,
        RaidClean,
        BackupFailed,
        BackupGood,
        // What the arrays themselves say, whatever reference was accepted.
        ArrayDegraded,
        MemberLost,
        RebuildFinished,
    };
    QString domain;
    Kind kind = WentOffline;
    // The offline reason, the backup's time text, the array's summary, or how
    // long a server that answers again was offline.
    QString detail;
    bool isAlarm() const
    {
        return kind == WentOffline || kind == RaidDirty || kind == BackupFailed ||
               kind == ArrayDegraded || kind == MemberLost;
    }
    bool operator==(const StateChange&) const = default;
};

// Remembers every server's last finished check and tells what a new one changed.
class StateTracker
{
public:
    // The changes since the server's previous check; none for its first one.
    // RAID and backup are compared with the last check that knew them, so a
    // server that was offline in between is compared with its state before.
    QList<StateChange> record(const QString& domain, const ServerState& state);
    // Forgets every server not named; one that comes back starts afresh.
    void keepOnly(const QSet<QString>& domains);

private:
    QHash<QString, ServerState> last_;
};

// A desktop notification: a one-line summary and a body of plain text.
struct Notification {
    QString summary;
    QString body;
    bool urgent = false;
    bool operator==(const Notification&) const = default;
};

// More changes than this at the end of one cycle become one notification.
inline constexpr int BurstSize = 5;

// One notification per change, or one for them all when there are more than BurstSize.
QList<Notification> notificationsFor(const QList<StateChange>& changes);
