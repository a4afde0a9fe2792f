#pragma once

#include <optional>
#include <vector>

// The monitor window's size arithmetic, in twips and free of widgets.
namespace MonitorLayout
{

// Resize: the grid follows the window's height, the window's width follows
// the grid's columns.
inline constexpr int GridBottomMargin = 150;   // inner height - grid top - this = grid height
inline constexpr int RowsSlack = 60;           // added to the rows' height before comparing
inline constexpr int GridExtraFitting = 90;    // added to the column sum when all rows fit
inline constexpr int GridExtraScrolling = 340; // ... and when they do not (room for a scroll bar)
inline constexpr int WindowExtra = 220;        // window width - grid width

// Activation: the window is sized to its rows and placed above the centre.
inline constexpr int ActivationRowsExtra = 95;
inline constexpr int ActivationMargin = 870;
inline constexpr int AboveCentre = 200;

struct ResizeInput {
    int windowHeight = 0; // outer height
    int frameHeight = 0;  // title bar and borders: outer height - inner height
    int gridTop = 0;
    int gridHeight = 0; // the grid's height before this run
    int rowCount = 1;   // grid rows, title row included
    int rowHeight = 0;  // height of row 1; unused without a row 1
    std::vector<int> columnWidths;
};

struct ResizeResult {
    std::optional<int> gridHeight; // nothing: refused (negative), the grid keeps its height
    int gridWidth = 0;
    int windowWidth = 0;
};

// The grid height for a window's outer height, or nothing when it would be
// negative. The frame's share of the height is not the window's to fill: a
// grid that reached under the bottom edge would hide its last row and the end
// of its scroll bar.
std::optional<int> gridHeightFor(int windowHeight, int gridTop, int frameHeight = 0);

// The grid width: the column sum plus room for a scroll bar unless every row
// fits strictly inside the grid. Without a row 1 the rows count as not fitting.
int gridWidthFor(const std::vector<int>& columnWidths, int gridHeight, int rowCount, int rowHeight);

int windowWidthFor(int gridWidth);

// The whole resize run: heights first, then widths.
ResizeResult resize(const ResizeInput& input);

// Activation: the grid height that shows every row, the window height that
// holds it (capped by the screen) and the window's top.
int activationGridHeight(int rowHeight, int rowCount);
int activationWindowHeight(int gridTop, int gridHeight, int screenHeight);
double activationWindowTop(int screenHeight, int windowHeight);

// Load: the left edge that centres the window horizontally.
double centredLeft(int screenWidth, int windowWidth);

} // namespace MonitorLayout
