#include "monitor/CheckServerFrm.h"

#include "monitor/CheckCycle.h"
#include "monitor/GridCells.h"
#include "monitor/Main.h"
#include "monitor/MonitorAlerts.h"
#include "monitor/ServersGrid.h"
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/Runner.h"
#include "probe/ServerCheck.h"
#include "store/ServerLookup.h"

#include <QTimer>

const QString CheckServerFrm::NotInTableReason = QStringLiteral("no longer in the server table");

CheckServerFrm::CheckServerFrm(Main& main, CheckCycle& cycle)
    : QObject(&cycle), Timer1(new QTimer(this)), main_(main), cycle_(cycle),
      lockRetry_(new QTimer(this))
{
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &CheckServerFrm::Timer1_Timer);
    lockRetry_->setSingleShot(true);
    lockRetry_->setInterval(ServerFile::LockRetry);
    connect(lockRetry_, &QTimer::timeout, this, &CheckServerFrm::readRecordAndRun);
}

bool CheckServerFrm::armed() const
{
    return Timer1->isActive();
}

void CheckServerFrm::stopWaitingForLock()
{
    if (!lockRetry_->isActive())
        return;
    lockRetry_->stop();
    stopped_ = true;
    giveOffline(Runner::StoppedReason);
}

void CheckServerFrm::Timer1_Timer()
{
    Timer1->stop();
    cycle_.checkStarted(this);
    CheckMyServer();
}

void CheckServerFrm::CheckMyServer()
{
    ServersGrid& grid = main_.grid();
    row_ = caption_.toInt();
    domain_ = grid.textMatrix(row_, ServerCol);

    main_.showCell(row_, StatusCol, {PendingText, Level::None});
    grid.setCellToolTip(row_, StatusCol, QString());
    grid.setRow(row_);
    grid.setCol(ServerCol);
    grid.setCellBackColor(Colours::Yellow);

    waitingForLock_.start();
    readRecordAndRun();
}

void CheckServerFrm::readRecordAndRun()
{
    // The record as the file holds it now: a server removed since the grid
    // was filled is not found, and no other record stands in for it.
    const ServerLookup::Result found = cycle_.findRecord(domain_);
    switch (found.status.error) {
    case StoreError::None:
        break;
    case StoreError::NoCurrentRecord:
        return giveOffline(NotInTableReason);
    case StoreError::Locked:
        // Another program holds the file: ask again from the event loop,
        // until the time a client would have had is up.
        if (waitingForLock_.hasExpired(Runner::instance().deadline().count()))
            return giveOffline(ServerFile::LockedReason);
        lockRetry_->start();
        return;
    default:
        return giveOffline(found.status.message);
    }
    raidStatus_ = found.record.raidStatus;
    Runner::instance().RunCommand(serverCheckLine(found.record), this,
                                  [this](const RunResult& result) { clientEnded(result); });
}

void CheckServerFrm::clientEnded(const RunResult& result)
{
    const CheckVerdict verdict =
        checkVerdict(readOutputFile(CheckTempFileName(domain_)), result, raidStatus_);
    stopped_ = result.terminated && !verdict.online;
    if (!verdict.online)
        return giveOffline(verdict.reason);
    giveVerdicts(verdict);
}

void CheckServerFrm::giveOffline(const QString& reason)
{
    verdict_ = offlineVerdict(reason);
    main_.showCell(row_, StatusCol, verdict_.cells.status);
    main_.grid().setCellToolTip(row_, StatusCol, reason);
    finish();
}

void CheckServerFrm::giveVerdicts(const CheckVerdict& verdict)
{
    verdict_ = verdict;
    const ProbeVerdicts& cells = verdict.cells;
    main_.showCell(row_, StatusCol, cells.status);
    main_.showCell(row_, UptimeCol, cells.uptime);
    main_.showCell(row_, BackupCol, cells.backup);
    main_.showCell(row_, RaidCol, cells.raid);
    finish();
}

void CheckServerFrm::finish()
{
    ServersGrid& grid = main_.grid();
    grid.setRow(row_);
    grid.setCol(ServerCol);
    grid.setCellBackColor(Colours::White);
    main_.checkFinished(row_, domain_, verdict_, stopped_);

    deleteLater();
    // Every started check shows ">Pending..." until it gets here, so the
    // check that leaves none running and none queued leaves no row pending:
    // it ends the cycle.
    if (cycle_.checkEnded(this))
        main_.endCycle();
}
