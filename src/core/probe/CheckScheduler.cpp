#include "probe/CheckScheduler.h"

#include "platform/ProcessCpu.h"
#include "probe/Runner.h"

#include <QTimer>
#include <algorithm>

CheckScheduler::CheckScheduler(int count, Admission::Limits limits, Start start, QObject* parent)
    : QObject(parent), admission_(limits), start_(std::move(start)), count_(std::max(count, 0)),
      sampler_(new QTimer(this)), nextTurn_(new QTimer(this))
{
    sampler_->setInterval(SampleEvery);
    connect(sampler_, &QTimer::timeout, this, &CheckScheduler::sample);
    nextTurn_->setSingleShot(true);
    nextTurn_->setInterval(0);
    connect(nextTurn_, &QTimer::timeout, this, &CheckScheduler::startSome);
}

CheckScheduler::~CheckScheduler() = default;

void CheckScheduler::begin()
{
    sampler_->start();
    startSome();
}

void CheckScheduler::began()
{
    beginning_ = std::max(0, beginning_ - 1);
    startSome();
}

void CheckScheduler::ended()
{
    running_ = std::max(0, running_ - 1);
    startSome();
}

void CheckScheduler::stopQueued()
{
    next_ = count_;
    beginning_ = 0;
    nextTurn_->stop();
}

int CheckScheduler::room() const
{
    const QList<qint64> clients = Runner::instance().runningPids();
    // Checks without a client yet (about to start one, or waiting for the
    // file) count as busy.
    return admission_.room(clients, std::max(0, running_ - int(clients.size())));
}

void CheckScheduler::startSome()
{
    // A start callback may end a check at once (a line refused before any
    // client starts), which comes back here: the outer loop goes on.
    if (starting_)
        return;
    starting_ = true;
    int starts = 0;
    int room = next_ < count_ ? this->room() : 0;
    while (next_ < count_ && room > 0 && beginning_ < StartsPerTurn && starts < StartsPerTurn) {
        const int index = next_++;
        ++running_;
        ++beginning_;
        ++starts;
        --room;
        start_(index);
    }
    starting_ = false;
    // More may start, in a later turn.
    if (next_ < count_ && room > 0 && starts == StartsPerTurn)
        nextTurn_->start();
    if (running_ == 0 && next_ >= count_)
        sampler_->stop();
}

void CheckScheduler::sample()
{
    QHash<qint64, Admission::Reading> readings;
    for (qint64 pid : Runner::instance().runningPids()) {
        if (const std::optional<ProcessCpu> cpu = readProcessCpu(pid))
            readings.insert(pid, {cpu->cpu, cpu->runnable});
    }
    admission_.sample(readings, Admission::Clock::now());
    startSome();
}
