#include "CheckDriver.h"

#include "probe/OutputFile.h"
#include "probe/Runner.h"

#include <QElapsedTimer>
#include <QTimer>

namespace
{

// A client is ended by the budget's end rather than by its own deadline at
// the same moment, so that it reads as unfinished, not offline.
constexpr std::chrono::milliseconds BudgetFirst{1000};

} // namespace

CheckDriver::CheckDriver(QList<ServerRecord> records, Admission::Limits places,
                         std::chrono::milliseconds budget, QObject* parent)
    : QObject(parent), records_(std::move(records)), budget_(budget),
      scheduler_(new CheckScheduler(
          int(records_.size()), places, [this](int index) { startCheck(index); }, this))
{
    results_.resize(records_.size());
    done_.resize(records_.size());
}

void CheckDriver::start()
{
    if (records_.isEmpty()) {
        QTimer::singleShot(0, this, &CheckDriver::finished);
        return;
    }
    left_.setRemainingTime(budget_);
    QTimer::singleShot(budget_, this, &CheckDriver::budgetSpent);
    scheduler_->begin();
}

void CheckDriver::budgetSpent()
{
    if (isDone())
        return;
    expired_ = true;
    scheduler_->stopQueued();
    const QString reason = QStringLiteral("no verdict within the run's time of %1 s")
                               .arg(QString::number(budget_.count() / 1000.0));
    for (qsizetype i = 0; i < records_.size(); ++i) {
        if (done_[i])
            continue;
        ServerResult& result = results_[i];
        result.domain = records_[i].domain;
        result.unfinished = true;
        result.verdict.reason = reason;
        result.seconds = budget_.count() / 1000.0;
    }
    Runner::instance().TerminateProcesses(QStringLiteral("plink"));
    emit finished();
}

void CheckDriver::startCheck(int index)
{
    scheduler_->began(); // the client starts now, not a turn later
    const ServerRecord& record = records_[index];
    const auto left = std::chrono::milliseconds(left_.remainingTime()) + BudgetFirst;
    Runner::instance().setDeadline(
        std::min<std::chrono::milliseconds>(Runner::DefaultDeadline, left));
    QElapsedTimer clock;
    clock.start();
    Runner::instance().RunCommand(
        serverCheckLine(record), this,
        [this, index, clock](const RunResult& run) {
            if (expired_)
                return; // already reported as unfinished
            const ServerRecord& record = records_[index];
            const OutputRead output = outputFromBytes(run.output);
            ServerResult& result = results_[index];
            result.domain = record.domain;
            result.verdict = checkVerdict(output, run, record.raidStatus);
            if (result.verdict.online) {
                result.numbers = probeNumbers(output.text);
                result.md = parseMdstat(result.verdict.raidText);
            }
            result.seconds = clock.nsecsElapsed() / 1e9;
            done_[index] = true;
            ++ended_;
            if (isDone())
                emit finished();
            else
                scheduler_->ended();
        },
        OutputTo::Memory);
}
