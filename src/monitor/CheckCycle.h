#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class CheckServerFrm;

// The checks of one cycle. It owns them, starts their one-shot timers (all at
// once, or no more than a given number running at a time) and knows how many
// have not started yet: a check that waits for its turn has not finished, so
// the cycle is over only when no row is pending and nothing is queued.
class CheckCycle : public QObject
{
    Q_OBJECT
public:
    // maxRunning 0: every check starts at once.
    explicit CheckCycle(int maxRunning, QObject* parent = nullptr);

    // Takes the check over and starts its timer as soon as a place is free.
    void add(CheckServerFrm* check);
    // Its timer fired: the check runs now.
    void checkStarted(CheckServerFrm* check);
    // The check wrote its verdicts: its place goes to the next queued one.
    void checkEnded(CheckServerFrm* check);

    // Checks whose timer has not fired yet (waiting for a place, or armed).
    int queued() const { return int(waiting_.size()) + armed_; }
    int running() const { return running_; }

private:
    void startWaiting();

    int maxRunning_;
    QList<QPointer<CheckServerFrm>> waiting_;
    int armed_ = 0;
    int running_ = 0;
};
