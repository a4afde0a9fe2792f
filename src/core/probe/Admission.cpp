#include "probe/Admission.h"

#include <algorithm>

void Admission::sample(const QHash<qint64, Reading>& readings, Clock::time_point now)
{
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (readings.contains(it.key()))
            ++it;
        else
            it = clients_.erase(it);
    }
    for (auto it = readings.cbegin(); it != readings.cend(); ++it) {
        const auto found = clients_.find(it.key());
        if (found == clients_.end()) {
            clients_.insert(it.key(), Client{now, it->cpu, true});
            continue;
        }
        Client& client = *found;
        const auto wall =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - client.sampled);
        const auto used = it->cpu - client.cpu;
        client.busy =
            it->runnable || (wall.count() > 0 && used * 100 >= wall * limits_.busyPercent);
        client.sampled = now;
        client.cpu = it->cpu;
    }
}

int Admission::busy(const QList<qint64>& running) const
{
    int count = 0;
    for (qint64 pid : running) {
        const auto found = clients_.constFind(pid);
        count += found == clients_.constEnd() || found->busy;
    }
    return count;
}

int Admission::room(const QList<qint64>& running, int starting) const
{
    constexpr int Unbounded = 1 << 30;
    const int total = int(running.size()) + starting;
    const int forBusy =
        limits_.busyPlaces > 0 ? limits_.busyPlaces - busy(running) - starting : Unbounded;
    const int forAll = limits_.maxClients > 0 ? limits_.maxClients - total : Unbounded;
    return std::max(0, std::min(forBusy, forAll));
}
