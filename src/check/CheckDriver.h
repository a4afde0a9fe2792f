#pragma once

#include "CheckReport.h"
#include "probe/Admission.h"
#include "store/ServerRecord.h"

#include "probe/CheckScheduler.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>

// Checks a list of servers as the monitor's cycle does, without a window:
// the same client line, runner and scheduler, each client's output kept in
// memory so that no file is written. The run has a time budget: a client
// gets what is left of it (never more than the runner's deadline), and when
// it is spent the checks not ended are unfinished and their clients ended.
class CheckDriver : public QObject
{
    Q_OBJECT
public:
    CheckDriver(QList<ServerRecord> records, Admission::Limits places,
                std::chrono::milliseconds budget, QObject* parent = nullptr);

    void start();
    bool isDone() const { return ended_ == records_.size() || expired_; }
    // Every server got its verdict within the budget.
    bool isComplete() const { return ended_ == records_.size(); }
    // In the order of the records given; complete once finished() was sent.
    const QList<ServerResult>& results() const { return results_; }

signals:
    void finished();

private:
    void startCheck(int index);
    void budgetSpent();

    QList<ServerRecord> records_;
    QList<ServerResult> results_;
    qsizetype ended_ = 0;
    QList<bool> done_; // per record: its check ended
    bool expired_ = false;
    std::chrono::milliseconds budget_;
    QDeadlineTimer left_;
    CheckScheduler* scheduler_;
};
