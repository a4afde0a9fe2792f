#include "MachinePauses.h"

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <time.h>

MachinePauses::MachinePauses()
{
    realTime_ = true;
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    for (int core = 0; core < cores; ++core)
        threads_.emplace_back([this, core] { watch(core); });
}

MachinePauses::~MachinePauses()
{
    stop_ = true;
    for (std::thread& thread : threads_)
        thread.join();
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

void MachinePauses::watch(int core)
{
    cpu_set_t only{};
    CPU_SET(core, &only);
    const sched_param param{.sched_priority = 1};
    if (pthread_setaffinity_np(pthread_self(), sizeof only, &only) != 0 ||
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0)
        realTime_ = false;
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
