#include "CheckDriver.h"

#include "probe/OutputFile.h"
#include "probe/Runner.h"

#include <QElapsedTimer>
#include <QTimer>

CheckDriver::CheckDriver(QList<ServerRecord> records, int maxRunning, QObject* parent)
    : QObject(parent), records_(std::move(records)), maxRunning_(std::max(1, maxRunning))
{
    results_.resize(records_.size());
}

void CheckDriver::start()
{
    if (records_.isEmpty()) {
        QTimer::singleShot(0, this, &CheckDriver::finished);
        return;
    }
    startNext();
}

void CheckDriver::startNext()
{
    while (running_ < maxRunning_ && next_ < records_.size()) {
        const qsizetype index = next_++;
        const ServerRecord& record = records_[index];
        ++running_;
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
                --running_;
                ++ended_;
                if (isDone())
                    emit finished();
                else
                    startNext();
            },
            OutputTo::Memory);
    }
}
