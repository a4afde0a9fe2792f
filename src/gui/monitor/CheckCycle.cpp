#include "monitor/CheckCycle.h"

#include "monitor/CheckServerFrm.h"
#include "monitor/GridCells.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"
#include "probe/CheckScheduler.h"

#include <QTimer>

CheckCycle::CheckCycle(Main& main, int rows, Admission::Limits places, QObject* parent)
    : QObject(parent), main_(main), rows_(std::max(rows, 1)),
      scheduler_(new CheckScheduler(
          rows_ - 1, places, [this](int index) { arm(index + 1); }, this)),
      lookup_(main.fileName())
{
    scheduler_->begin();
}

int CheckCycle::queued() const
{
    return scheduler_->queued() + armed_;
}

int CheckCycle::running() const
{
    return scheduler_->running() - armed_;
}

void CheckCycle::arm(int row)
{
    // The check's 1 ms timer fires in a later turn, and the scheduler starts
    // only a few in one turn.
    auto* check = new CheckServerFrm(main_, *this);
    check->setCaption(QString::number(row));
    ++armed_;
    check->Timer1->start();
}

void CheckCycle::checkStarted(CheckServerFrm*)
{
    --armed_;
    scheduler_->began();
}

bool CheckCycle::checkEnded(CheckServerFrm*)
{
    scheduler_->ended();
    return !skipping_ && running() == 0 && queued() == 0;
}

bool CheckCycle::skip()
{
    skipping_ = true;
    ServersGrid& grid = main_.grid();
    const QList<CheckServerFrm*> checks = findChildren<CheckServerFrm*>(Qt::FindDirectChildrenOnly);
    // Nothing more starts, then the armed checks go.
    const int firstQueued = rows_ - scheduler_->queued();
    scheduler_->stopQueued();
    for (CheckServerFrm* check : checks) {
        if (!check->armed())
            continue;
        check->Timer1->stop();
        check->deleteLater();
        --armed_;
        scheduler_->ended();
        grid.setRow(check->caption().toInt());
        grid.setCol(ServerCol);
        grid.setCellBackColor(Colours::White);
    }
    grid.setColumnBackColor(ServerCol, Colours::White, firstQueued);
    for (CheckServerFrm* check : checks)
        check->stopWaitingForLock();
    skipping_ = false;
    return running() == 0;
}

ServerLookup::Result CheckCycle::findRecord(const QString& domain)
{
    if (lockMet_.isValid() && !lockMet_.hasExpired(ServerFile::LockRetry.count()))
        return {ServerFile::locked(main_.fileName()), {}};
    ServerLookup::Result result = lookup_.find(domain);
    if (result.status.error == StoreError::Locked)
        lockMet_.start();
    else
        lockMet_.invalidate();
    return result;
}
