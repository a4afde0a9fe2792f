#include "monitor/GridCells.h"

#include "monitor/ServersGrid.h"

void writeCell(ServersGrid& grid, int row, int col, const CellVerdict& verdict)
{
    grid.setTextMatrix(row, col, verdict.text);
    const CellColours colours = cellColours(verdict.level);
    if (!colours.back)
        return;
    grid.setRow(row);
    grid.setCol(col);
    grid.setCellBackColor(*colours.back);
    if (colours.fore)
        grid.setCellForeColor(*colours.fore);
}
