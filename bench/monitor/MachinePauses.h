#pragma once

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// The times the machine itself stood still. On every core a thread at
// real-time priority sleeps 2 ms at a time; when one wakes much later than
// that, nothing of this machine ran on its core: what a stall measured over
// that time says nothing of the program. On the development machine, a
// virtual one, a core stops for up to 100 ms now and then, idle as well as
// busy: the host does not run it.
class MachinePauses
{
public:
    // A wake-up this late counts as a pause.
    static constexpr qint64 ThresholdNs = 20'000'000;

    struct Span {
        qint64 from = 0, to = 0; // CLOCK_MONOTONIC, ns
    };

    MachinePauses();
    ~MachinePauses();
    MachinePauses(const MachinePauses&) = delete;
    MachinePauses& operator=(const MachinePauses&) = delete;

    // False when the threads could not have real-time priority (not root):
    // then their late wake-ups include ordinary waits for a core.
    bool realTime() const { return realTime_; }
    std::vector<Span> spans() const;
    static bool overlaps(const std::vector<Span>& spans, qint64 from, qint64 to);
    static qint64 nowNs();

private:
    void watch(int core);

    std::atomic<bool> stop_{false};
    std::atomic<bool> realTime_{false};
    mutable std::mutex mutex_;
    std::vector<Span> spans_;
    std::vector<std::thread> threads_;
};
