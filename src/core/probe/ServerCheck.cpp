#include "probe/ServerCheck.h"

#include "probe/Runner.h"
#include "store/Passwords.h"
#include "store/ServerRecord.h"

CommandLine serverCheckLine(const ServerRecord& record)
{
    return ServerCheckLine(ResolveSshPort(record), ResolveConnectionPassword(record),
                           ResolveSshHost(record), record.domain);
}

bool raidTextMissing(const RunResult& result)
{
    const QByteArray& err = result.standardError;
    return result.started && !result.timedOut && !result.terminated && result.exitCode > 0 &&
           err.contains("mdstat: No such file or directory") && !err.contains("FATAL ERROR");
}

CheckVerdict offlineVerdict(const QString& reason)
{
    CheckVerdict verdict;
    verdict.reason = reason;
    verdict.cells.status = {CellText::Offline, Level::Critical};
    return verdict;
}

CheckVerdict checkVerdict(const OutputRead& output, const RunResult& result,
                          const QString& raidStatus)
{
    if (result.tooLarge)
        return offlineVerdict(result.reason);
    if (!output.hasText)
        return offlineVerdict(result.reason.isEmpty() ? NoAnswerReason : result.reason);
    CheckVerdict verdict;
    verdict.online = true;
    verdict.cells = parseProbeOutput(output.text, raidStatus);
    verdict.raidText = probeRaidText(output.text);
    return verdict;
}
