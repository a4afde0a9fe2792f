#pragma once

#include <QString>
#include <optional>

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

namespace Colours
{
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Black{0, 0, 0};
inline constexpr Rgb Red{255, 0, 0};
} // namespace Colours

// A grid cell's verdict: its text and, where given, new colours; a cell
// without colours keeps the ones it has.
struct CellVerdict {
    QString text;
    std::optional<Rgb> back;
    std::optional<Rgb> fore;
    bool operator==(const CellVerdict&) const = default;
};

struct ProbeVerdicts {
    CellVerdict status, uptime, backup, raid;
};

// Turns a server check's output (not empty) and the stored RAID reference
// into the four cells of the server's row.
ProbeVerdicts parseProbeOutput(const QString& output, const QString& raidStatus);

// The RAID cell for a RAID text read from a server and the accepted one:
// "Clean" when they are the same, else "DIRTY!!!".
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
