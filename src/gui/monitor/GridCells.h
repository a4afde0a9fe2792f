#pragma once

#include "probe/ProbeVerdicts.h"

#include <QString>

class ServersGrid;

// The columns of the monitor grid, and what the checks write into its cells.
enum GridColumn { ServerCol = 0, StatusCol = 1, UptimeCol = 2, RaidCol = 3, BackupCol = 4 };

// The text of a cell whose answer is on its way.
inline const QString PendingText = QStringLiteral(">Pending...");

// Writes a verdict into one cell. The colours of its level, where it has
// them, are set through the grid's current cell, which moves to that cell.
void writeCell(ServersGrid& grid, int row, int col, const CellVerdict& verdict);
