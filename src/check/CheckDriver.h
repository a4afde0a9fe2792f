#pragma once

#include "CheckReport.h"
#include "probe/Admission.h"
#include "store/ServerRecord.h"

#include "probe/CheckScheduler.h"

#include <QList>
#include <QObject>

// Checks a list of servers as the monitor's cycle does, without a window:
// the same client line, runner and scheduler, each client's output kept in
// memory so that no file is written.
class CheckDriver : public QObject
{
    Q_OBJECT
public:
    CheckDriver(QList<ServerRecord> records, Admission::Limits places, QObject* parent = nullptr);

    void start();
    bool isDone() const { return ended_ == records_.size(); }
    // In the order of the records given; complete once finished() was sent.
    const QList<ServerResult>& results() const { return results_; }

signals:
    void finished();

private:
    void startCheck(int index);

    QList<ServerRecord> records_;
    QList<ServerResult> results_;
    qsizetype ended_ = 0;
    CheckScheduler* scheduler_;
};
