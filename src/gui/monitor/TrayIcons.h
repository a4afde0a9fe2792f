#pragma once

#include "probe/ProbeVerdicts.h"

#include <QHash>
#include <QIcon>
#include <QSet>
#include <QString>
#include <QStringList>

// What the tray shows of a finished cycle.
struct TraySummary {
    // Unknown: no cycle has ended yet.
    enum class Colour { Unknown, Green, Yellow, Red };
    Colour colour = Colour::Unknown;
    QString toolTip;
    bool operator==(const TraySummary&) const = default;
};

// What the grid's verdict cells show, kept as the verdicts are written, so
// that the tray follows the verdicts and never reads the grid back.
class ShownCells
{
public:
    // A verdict written into one of a server's cells; a cell written without
    // a level keeps the colours, and so the level, it had.
    void write(const QString& domain, int col, const CellVerdict& verdict);
    // The grid was filled anew: every cell is empty.
    void clear() { rows_.clear(); }

    // Red when any cell shows critical, else yellow when any shows a warning,
    // else green; the tooltip counts the servers by the worst their row shows.
    // An acknowledged server is counted apart and colours nothing.
    TraySummary summary(const QStringList& domains, const QSet<QString>& acknowledged = {}) const;
    // Whether a cell of the server's row shows a problem now.
    bool hasProblem(const QString& domain) const;

private:
    struct Row {
        Level coloured[3] = {}; // Status, RAID, Backup: the level of the colours
        Level current[3] = {};  // the level of the text each shows now
    };
    QHash<QString, Row> rows_;
};

// The summary shown before the first cycle has ended.
TraySummary uncheckedSummary();

// A round lamp of the colour, at the sizes a tray asks for.
QIcon trayIcon(TraySummary::Colour colour);
