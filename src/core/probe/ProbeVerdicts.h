#pragma once

#include <QString>
#include <optional>

// How serious what a cell shows is. None: the cell says nothing about the
// server's health (its uptime, a backup without a report) and keeps whatever
// it showed before.
enum class Level { None, Ok, Warning, Critical };

// The texts of the verdict cells, defined once for every program.
namespace CellText
{
inline const QString Online = QStringLiteral("Online");
inline const QString Offline = QStringLiteral("!!!Offline!!!");
inline const QString Clean = QStringLiteral("Clean");
inline const QString Dirty = QStringLiteral("DIRTY!!!");
inline const QString NotVerified = QStringLiteral("Not Verified");
inline const QString NoBackupReport = QStringLiteral("N/A");
inline const QString TimeUnknown = QStringLiteral("Time Unknown");
} // namespace CellText

// A grid cell's verdict: its text and how serious it is.
struct CellVerdict {
    QString text;
    Level level = Level::None;
    bool operator==(const CellVerdict&) const = default;
};

struct ProbeVerdicts {
    CellVerdict status, uptime, backup, raid;
};

// Turns a server check's output (not empty) and the stored RAID reference
// into the four cells of the server's row.
ProbeVerdicts parseProbeOutput(const QString& output, const QString& raidStatus);

// The RAID text of a check's output: /proc/mdstat as the server answered it.
QString probeRaidText(const QString& output);

// The reference of a server without software RAID (no /proc/mdstat): no
// RAID text can be this, since the kernel's starts with "Personalities".
inline const QString NoRaidReference = QStringLiteral("No software RAID");

// The RAID cell for a RAID text read from a server and the accepted one:
// "Clean" (ok) when they are the same, else "DIRTY!!!" (critical). Against
// NoRaidReference, no text read is "Clean" and any text "DIRTY!!!".
CellVerdict raidComparison(const QString& read, const QString& accepted);

// The uptime cell's text for an uptime line of whole seconds ("1d,10h,17m").
QString uptimeText(const QString& uptimeLine);

// The numbers behind the Uptime and Backup cells of an output: the uptime
// line's whole seconds (none when the line does not begin with a number) and
// the value of the backup count line (none when the Backup cell reads "N/A";
// infinity when it is too large to hold).
struct ProbeNumbers {
    std::optional<double> uptimeSeconds;
    std::optional<double> backupCount;
};
ProbeNumbers probeNumbers(const QString& output);
