#pragma once

#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/ProbeVerdicts.h"

#include <QString>

struct RunResult;
struct ServerRecord;

// What one server check of the monitor's grid gives a server: the four cells
// when it answered, else the Offline status cell and why. The monitor window
// and vemo-check both judge a check this way.
struct CheckVerdict {
    bool online = false;
    QString reason;      // why the server is offline; empty when it answered
    ProbeVerdicts cells; // when offline, only the status cell is set
    QString raidText;    // /proc/mdstat as read; empty when offline
};

// Why a server is offline when its client ended without output and said nothing.
inline const QString NoAnswerReason = QStringLiteral("the server sent no answer");

// The server-check line of a record, its connection parameters resolved now.
CommandLine serverCheckLine(const ServerRecord& record);

// Whether a RAID re-check reached its server and found no /proc/mdstat there
// (no software RAID): the remote cat failed, which plink passes on as its
// exit status, while the login itself went well.
bool raidTextMissing(const RunResult& result);

// The Offline verdict: a critical status cell.
CheckVerdict offlineVerdict(const QString& reason);

// The verdict of a check whose client ended: no output, or an answer past
// the limit, is Offline with the runner's reason (or NoAnswerReason); output
// gives the four cells.
CheckVerdict checkVerdict(const OutputRead& output, const RunResult& result,
                          const QString& raidStatus);
