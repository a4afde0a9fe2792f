#pragma once

#include "probe/CheckFanOut.h"

#include <QHash>
#include <QList>
#include <algorithm>
#include <chrono>

// Decides how many more check clients may start. Places go to clients that
// need the CPU: on a real network a client spends nearly all its life
// waiting for round trips, and a silent host holds its client until the
// deadline, so a client that is neither new, nor runnable, nor used a fair
// share of a core since the last sample is waiting and holds no place. Only
// the bound on clients at once (memory, open files) counts every client.
// Pure: the caller brings the clock and the clients' CPU readings.
class Admission
{
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        // Clients that need the CPU at once; 0: no bound.
        int busyPlaces = DefaultBusyPlaces;
        // Clients at once, waiting ones included; 0: no bound.
        int maxClients = DefaultMaxClients;
        // A client that used less than this share of one core (in percent)
        // since its last sample, and is not runnable now, is waiting.
        int busyPercent = 5;
    };

    // At most clients at once (0: no bound), and no more than the default
    // number of them busy.
    static Limits atMost(int clients)
    {
        return {clients > 0 ? std::min(DefaultBusyPlaces, clients) : 0, clients};
    }

    // One reading of a running client.
    struct Reading {
        std::chrono::milliseconds cpu{0}; // user and system time since it started
        bool runnable = false;            // running or waiting for a core right now
    };

    explicit Admission(Limits limits) : limits_(limits) {}
    const Limits& limits() const { return limits_; }

    // Takes a reading of every running client; clients not named have
    // ended. The kernel counts CPU time in ticks of 10 ms: between readings
    // 50 ms apart, one tick more is a busy client.
    void sample(const QHash<qint64, Reading>& readings, Clock::time_point now);
    // How many of the running clients need the CPU: those not sampled twice
    // yet (a start costs CPU: the key exchange) and those found busy at the
    // last sample.
    int busy(const QList<qint64>& running) const;
    // How many more may start beside the running ones and starting more
    // that have no client yet (they count as busy).
    int room(const QList<qint64>& running, int starting = 0) const;

private:
    struct Client {
        Clock::time_point sampled;
        std::chrono::milliseconds cpu{0};
        bool busy = true;
    };
    Limits limits_;
    QHash<qint64, Client> clients_;
};
