#include "monitor/MonitorLayout.h"

#include <algorithm>
#include <numeric>

namespace MonitorLayout
{

std::optional<int> gridHeightFor(int windowHeight, int gridTop, int frameHeight)
{
    const int height = windowHeight - std::max(frameHeight, 0) - gridTop - GridBottomMargin;
    if (height < 0)
        return std::nullopt;
    return height;
}

int gridWidthFor(const std::vector<int>& columnWidths, int gridHeight, int rowCount, int rowHeight)
{
    const int sum = std::accumulate(columnWidths.begin(), columnWidths.end(), 0);
    if (rowCount < 2)
        return sum + GridExtraScrolling;
    // The product in integers, the comparison in floating point.
    const int rowsHeight = rowCount * rowHeight;
    const bool fits = double(gridHeight) > double(rowsHeight) + RowsSlack;
    return sum + (fits ? GridExtraFitting : GridExtraScrolling);
}

int windowWidthFor(int gridWidth)
{
    return gridWidth + WindowExtra;
}

ResizeResult resize(const ResizeInput& input)
{
    ResizeResult result;
    result.gridHeight = gridHeightFor(input.windowHeight, input.gridTop, input.frameHeight);
    const int gridHeight = result.gridHeight.value_or(input.gridHeight);
    result.gridWidth =
        gridWidthFor(input.columnWidths, gridHeight, input.rowCount, input.rowHeight);
    result.windowWidth = windowWidthFor(result.gridWidth);
    return result;
}

int activationGridHeight(int rowHeight, int rowCount)
{
    return rowHeight * rowCount + ActivationRowsExtra;
}

int activationWindowHeight(int gridTop, int gridHeight, int screenHeight)
{
    if (gridTop + gridHeight + ActivationMargin > screenHeight)
        return screenHeight - ActivationMargin;
    return gridTop + gridHeight + ActivationMargin;
}

double activationWindowTop(int screenHeight, int windowHeight)
{
    return double(screenHeight) / 2 - double(windowHeight) / 2 - AboveCentre;
}

double centredLeft(int screenWidth, int windowWidth)
{
    return double(screenWidth) / 2 - double(windowWidth) / 2;
}

} // namespace MonitorLayout
