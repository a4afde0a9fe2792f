#include "CheckDriver.h"

#include "probe/OutputFile.h"
#include "probe/Runner.h"

#include <QElapsedTimer>
#include <QTimer>

CheckDriver::CheckDriver(QList<ServerRecord> records, Admission::Limits places, QObject* parent)
    : QObject(parent), records_(std::move(records)),
      scheduler_(new CheckScheduler(
          int(records_.size()), places, [this](int index) { startCheck(index); }, this))
{
    results_.resize(records_.size());
}

void CheckDriver::start()
{
    if (records_.isEmpty()) {
        QTimer::singleShot(0, this, &CheckDriver::finished);
        return;
    }
    scheduler_->begin();
}

void CheckDriver::startCheck(int index)
{
    scheduler_->began(); // the client starts now, not a turn later
    const ServerRecord& record = records_[index];
    QElapsedTimer clock;
    clock.start();
    Runner::instance().RunCommand(
        serverCheckLine(record), this,
        [this, index, clock](const RunResult& run) {
            const ServerRecord& record = records_[index];
            const OutputRead output = outputFromBytes(run.output);
            ServerResult& result = results_[index];
            result.domain = record.domain;
            result.verdict = checkVerdict(output, run, record.raidStatus);
            if (result.verdict.online)
                result.numbers = probeNumbers(output.text);
            result.seconds = clock.nsecsElapsed() / 1e9;
            ++ended_;
            if (isDone())
                emit finished();
            else
                scheduler_->ended();
        },
        OutputTo::Memory);
}
