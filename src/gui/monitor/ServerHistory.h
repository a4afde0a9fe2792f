#pragma once

#include "history/HistoryStore.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <functional>
#include <optional>

// The monitor's memory of its servers: every change of a verdict and every
// acknowledgement goes into the servers file's history, and the last known
// state of each server answers "since when". Writes that meet another
// program's lock wait for the next ones.
class ServerHistory
{
public:
    // Rows older than this are dropped.
    static constexpr qint64 RetentionMs = 400LL * 24 * 3600 * 1000;

    using Clock = std::function<qint64()>;
    explicit ServerHistory(
        const QString& fileName, Clock clock = [] { return QDateTime::currentMSecsSinceEpoch(); });

    ~ServerHistory();
    ServerHistory(const ServerHistory&) = delete;
    ServerHistory& operator=(const ServerHistory&) = delete;

    qint64 now() const { return clock_(); }

    // A finished check: its changes are recorded (written when the cycle
    // ends). Returns the server's status before it (what it was and since when).
    KnownState checkEnded(const QString& domain, const CheckVerdict& verdict);
    // What a server is known to be in, and since when; empty state when not known.
    KnownState known(const QString& domain, HistoryAspect aspect) const;

    // A cycle ended: the run was watching until now, acknowledgements whose
    // time is up end (their domains are returned), old rows go once a day.
    QStringList cycleEnded();

    std::optional<Acknowledgement> acknowledgement(const QString& domain) const;
    QSet<QString> acknowledged() const;
    void acknowledge(const QString& domain, const QString& comment, std::optional<qint64> until);
    // why: "recovered", "its time is up", "ended by the administrator".
    void endAcknowledgement(const QString& domain, const QString& why);

    // Writes what is queued, and that this run watched until now; false
    // while another program holds the file.
    bool flush();

private:
    void record(const HistoryEvent& event);

    HistoryStore store_;
    Clock clock_;
    qint64 runStarted_;
    qint64 lastPrune_ = 0;
    QHash<QString, ServerPast> past_;
    QHash<QString, Acknowledgement> acknowledgements_;
};
