#include "MachinePauses.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

MachinePauses::MachinePauses() : thread_([this] { watch(); }) {}

MachinePauses::~MachinePauses()
{
    stop_ = true;
    thread_.join();
}

qint64 MachinePauses::nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::vector<MachinePauses::Span> MachinePauses::spans() const
{
    const std::lock_guard lock(mutex_);
    return spans_;
}

bool MachinePauses::overlaps(const std::vector<Span>& spans, qint64 from, qint64 to)
{
    for (const Span& span : spans) {
        if (span.from < to && from < span.to)
            return true;
    }
    return false;
}

void MachinePauses::watch()
{
    const sched_param param{.sched_priority = 1};
    realTime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    constexpr qint64 SleepNs = 2'000'000;
    while (!stop_) {
        const qint64 before = nowNs();
        const timespec sleep{0, SleepNs};
        nanosleep(&sleep, nullptr);
        const qint64 after = nowNs();
        if (after - before - SleepNs > ThresholdNs) {
            const std::lock_guard lock(mutex_);
            spans_.push_back({before + SleepNs, after});
        }
    }
}
