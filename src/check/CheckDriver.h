#pragma once

#include "CheckReport.h"
#include "store/ServerRecord.h"

#include <QList>
#include <QObject>

// Checks a list of servers as the monitor's cycle does, without a window:
// the same client line and runner, at most a given number at once, each
// client's output kept in memory so that no file is written.
class CheckDriver : public QObject
{
    Q_OBJECT
public:
    CheckDriver(QList<ServerRecord> records, int maxRunning, QObject* parent = nullptr);

    void start();
    bool isDone() const { return ended_ == records_.size(); }
    // In the order of the records given; complete once finished() was sent.
    const QList<ServerResult>& results() const { return results_; }

signals:
    void finished();

private:
    void startNext();

    QList<ServerRecord> records_;
    QList<ServerResult> results_;
    int maxRunning_;
    qsizetype next_ = 0;
    qsizetype ended_ = 0;
    int running_ = 0;
};
