#pragma once

#include "probe/ServerCheck.h"

#include <QList>
#include <QString>
#include <optional>

// What the monitor keeps of a server's past: each change of its verdicts,
// when the monitor was watching, and the rules that turn them into "since
// when", availability and a coloured strip. Pure functions, no file.

enum class HistoryAspect { Status, Raid, Backup, Acknowledgement };

// The stored names of the states: "online", "offline", "clean", "dirty",
// "not_verified", "good", "failed", "acknowledged", "ended".
namespace HistoryState
{
inline const QString Online = QStringLiteral("online");
inline const QString Offline = QStringLiteral("offline");
inline const QString Clean = QStringLiteral("clean");
inline const QString Dirty = QStringLiteral("dirty");
inline const QString NotVerified = QStringLiteral("not_verified");
inline const QString Good = QStringLiteral("good");
inline const QString Failed = QStringLiteral("failed");
inline const QString Acknowledged = QStringLiteral("acknowledged");
inline const QString Ended = QStringLiteral("ended");
} // namespace HistoryState

QString aspectName(HistoryAspect aspect); // "status", "raid", "backup", "acknowledgement"
std::optional<HistoryAspect> aspectFromName(const QString& name);

struct HistoryEvent {
    QString domain;
    qint64 at = 0; // ms since the epoch
    HistoryAspect aspect = HistoryAspect::Status;
    QString state;
    QString detail; // the offline reason, the backup's time, an acknowledgement's comment
    bool operator==(const HistoryEvent&) const = default;
};

// A server's last known state per aspect and since when; empty: not known.
struct KnownState {
    QString state;
    qint64 since = 0;
};
struct ServerPast {
    KnownState status, raid, backup;
    KnownState& of(HistoryAspect aspect);
};

// The events a finished check gives: one per aspect whose state changed
// (a first check gives all it learnt). An offline server's RAID and backup
// are not learnt; a backup without a report says nothing. past is updated.
QList<HistoryEvent> eventsOfCheck(const QString& domain, qint64 at, const CheckVerdict& verdict,
                                  ServerPast& past);

// A time the monitor was running and checking, from its start to its last
// finished cycle.
struct ObservedSpan {
    qint64 from = 0, to = 0;
    bool operator==(const ObservedSpan&) const = default;
};

// The share of the observed time within [from, to] that the server was
// online, from its status events in time order; none when nothing of the
// window was observed with a known status.
struct Availability {
    std::optional<double> percent;
    qint64 observedMs = 0; // how much of the window counted
};
Availability availability(const QList<HistoryEvent>& events, const QList<ObservedSpan>& observed,
                          qint64 from, qint64 to);

// The colour of each of parts equal parts of [from, to]: the worst state the
// server was in during the part (offline, dirty or failed red; not verified
// yellow; else green), or unknown where the monitor did not watch.
enum class StripColour { Unknown, Green, Yellow, Red };
QList<StripColour> historyStrip(const QList<HistoryEvent>& events,
                                const QList<ObservedSpan>& observed, qint64 from, qint64 to,
                                int parts);

// "3 h 12 min", "2 d 5 h", "45 min", "less than a minute".
QString durationText(qint64 ms);
// "since 14:02, 3 h 12 min" (the date too when it was not today).
QString sinceText(qint64 since, qint64 now);
