#pragma once

#include <QIcon>
#include <QString>

class ServersGrid;

// What the tray shows of a finished cycle.
struct TraySummary {
    // Unknown: no cycle has ended yet.
    enum class Colour { Unknown, Green, Yellow, Red };
    Colour colour = Colour::Unknown;
    QString toolTip;
    bool operator==(const TraySummary&) const = default;
};

// Red when any cell of the grid is red, else yellow when any is yellow, else
// green; the tooltip counts the servers by the worst state their row shows.
TraySummary summarizeGrid(const ServersGrid& grid);

// The summary shown before the first cycle has ended.
TraySummary uncheckedSummary();

// A round lamp of the colour, at the sizes a tray asks for.
QIcon trayIcon(TraySummary::Colour colour);
