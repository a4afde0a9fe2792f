#include "monitor/GridCells.h"

#include "monitor/ServersGrid.h"

void writeCell(ServersGrid& grid, int row, int col, const CellVerdict& verdict)
{
    grid.setTextMatrix(row, col, verdict.text);
    if (!verdict.back)
        return;
    grid.setRow(row);
    grid.setCol(col);
    grid.setCellBackColor(*verdict.back);
    if (verdict.fore)
        grid.setCellForeColor(*verdict.fore);
}
