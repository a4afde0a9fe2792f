#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class ServersGrid;

// What a server's row shows after a finished check, as far as alerts go.
struct ServerState {
    enum class Level { Unknown, Good, Bad };
    bool online = false;
    QString reason;                // why it is offline
    Level raid = Level::Unknown;   // "Clean" good, "DIRTY!!!" bad, "Not Verified" unknown
    Level backup = Level::Unknown; // report count 0 good, not 0 bad, "N/A" unknown
    QString backupTime;            // the Backup cell's text, trimmed
};

// Reads the state from a row of the grid; an offline row's RAID and Backup
// cells still show an earlier check, so they count as unknown.
ServerState stateOfRow(const ServersGrid& grid, int row);

// One change between two finished checks of a server.
struct StateChange {
    enum Kind { WentOffline, BackOnline, RaidDirty, RaidClean, BackupFailed, BackupGood };
    QString domain;
    Kind kind = WentOffline;
    QString detail; // the offline reason, or the backup's time text
    bool isAlarm() const
    {
        return kind == WentOffline || kind == RaidDirty || kind == BackupFailed;
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
