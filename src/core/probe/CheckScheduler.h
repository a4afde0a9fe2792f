#pragma once

#include "probe/Admission.h"

#include <QObject>
#include <functional>

class QTimer;

// Starts the checks of one run (a cycle of the monitor window, a run of
// vemo-check) in their order, as many at once as the admission lets: a
// check whose client waits on the network holds no place that a check
// needing the CPU could use, so slow and silent hosts cost their own time
// only. It starts a few per turn of the event loop, so the caller's thread
// keeps answering, and samples the clients' CPU while any run.
class CheckScheduler : public QObject
{
    Q_OBJECT
public:
    // Checks started in one turn of the event loop, at most.
    static constexpr int StartsPerTurn = 4;
    // How often the running clients' CPU is read. A new client counts as
    // busy until its second reading, so on a slow network this, not the
    // CPU, bounds how fast clients start: 200 servers behind a 300 ms round
    // trip took 8 to 10 s at 100 ms, 6.3 to 7 s at 50 ms (plink alone, all
    // at once, 5 s).
    static constexpr std::chrono::milliseconds SampleEvery{50};

    // start(index) starts check index (0 to count - 1), each once, in order.
    using Start = std::function<void(int index)>;
    CheckScheduler(int count, Admission::Limits limits, Start start, QObject* parent = nullptr);
    ~CheckScheduler() override;

    // Starts the first checks, and the others as places come free.
    void begin();
    // For a caller whose checks start their client a turn later: check index
    // began. Until then a started check counts towards the starts of a turn.
    void began();
    // A started check is over: its place is free.
    void ended();
    // None of the checks not started yet will start.
    void stopQueued();

    // Checks not started yet.
    int queued() const { return count_ - next_; }
    // Checks started and not ended.
    int running() const { return running_; }
    // How many more may start now.
    int room() const;

private:
    void startSome();
    void sample();

    Admission admission_;
    Start start_;
    int count_;
    int next_ = 0;
    int running_ = 0;
    int beginning_ = 0; // started, not yet began()
    bool starting_ = false;
    QTimer* sampler_;
    QTimer* nextTurn_;
};
