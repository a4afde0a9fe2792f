#pragma once

#include "probe/Admission.h"
#include "store/ServerLookup.h"

#include <QElapsedTimer>
#include <QObject>

class CheckScheduler;
class CheckServerFrm;
class Main;

// The checks of one cycle, one per grid row. It makes each check only when
// the scheduler gives it a place, so the bookkeeping costs the same per check
// however many servers there are, and a few per turn of the event loop, so
// the window keeps answering. The cycle is over when no check runs and none
// is left to start: a row that waits for its turn keeps the cycle open.
class CheckCycle : public QObject
{
    Q_OBJECT
public:
    // rows: the grid's row count, title row included.
    CheckCycle(Main& main, int rows, Admission::Limits places, QObject* parent = nullptr);

    // Its timer fired: the check runs now.
    void checkStarted(CheckServerFrm* check);
    // The check wrote its verdicts: its place goes to the next row. True
    // when that was the last check of the cycle.
    bool checkEnded(CheckServerFrm* check);

    // Finds a check's record, fresh from the file. After a lock was met, the
    // file is asked again only once per ServerFile::LockRetry; checks asking
    // meanwhile hear Locked at once, so the window waits for a lock once per
    // retry at most, however many checks are waiting for it.
    ServerLookup::Result findRecord(const QString& domain);

    // Rows whose check has not started yet (waiting for a place, or armed).
    int queued() const;
    int running() const;

    // Skip: the rows not yet started are not checked in this cycle (their
    // Server cells turn white, their earlier verdicts stay) and checks
    // waiting for a locked file go offline at once; running clients are
    // the caller's to end. True when that leaves nothing running: the
    // cycle is over.
    bool skip();

private:
    void arm(int row);

    Main& main_;
    int rows_;
    CheckScheduler* scheduler_;
    int armed_ = 0;
    ServerLookup lookup_;
    QElapsedTimer lockMet_;
    bool skipping_ = false;
};
