#include "monitor/CheckCycle.h"

#include "monitor/CheckServerFrm.h"
#include "monitor/GridCells.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"

#include <QTimer>

CheckCycle::CheckCycle(Main& main, int rows, int maxRunning, QObject* parent)
    : QObject(parent), main_(main), rows_(std::max(rows, 1)), maxRunning_(maxRunning),
      lookup_(main.fileName())
{
    startWaiting();
}

void CheckCycle::checkStarted(CheckServerFrm*)
{
    --armed_;
    ++running_;
    startWaiting();
}

bool CheckCycle::checkEnded(CheckServerFrm*)
{
    --running_;
    startWaiting();
    return !skipping_ && running_ == 0 && queued() == 0;
}

bool CheckCycle::skip()
{
    skipping_ = true;
    ServersGrid& grid = main_.grid();
    const QList<CheckServerFrm*> checks = findChildren<CheckServerFrm*>(Qt::FindDirectChildrenOnly);
    for (CheckServerFrm* check : checks) {
        if (!check->armed())
            continue;
        check->Timer1->stop();
        check->deleteLater();
        grid.setRow(check->caption().toInt());
        grid.setCol(ServerCol);
        grid.setCellBackColor(Colours::White);
    }
    armed_ = 0;
    grid.setColumnBackColor(ServerCol, Colours::White, nextRow_);
    nextRow_ = rows_;
    for (CheckServerFrm* check : checks)
        check->stopWaitingForLock();
    skipping_ = false;
    return running_ == 0;
}

void CheckCycle::startWaiting()
{
    // A check's 1 ms timer fires in a later turn, so at most StartsPerTurn
    // checks start in any one turn.
    while (nextRow_ < rows_ && armed_ < StartsPerTurn &&
           (maxRunning_ <= 0 || armed_ + running_ < maxRunning_)) {
        auto* check = new CheckServerFrm(main_, *this);
        check->setCaption(QString::number(nextRow_++));
        ++armed_;
        check->Timer1->start();
    }
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
