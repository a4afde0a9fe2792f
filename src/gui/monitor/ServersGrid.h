#pragma once

#include "common/CellColours.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QTableWidget;
class QTableWidgetItem;
class QWidget;

// The monitor's grid: a table of text cells with a title row, driven through
// the few operations the monitor relies on. Row 0 is the title row (the
// table's horizontal header); data row r is table row r - 1. Sizes are twips.
class ServersGrid : public QObject
{
    Q_OBJECT
public:
    static constexpr int Columns = 5;
    static constexpr int DefaultPointer = 0;
    static constexpr int Hourglass = 11;
    static constexpr int DefaultColumnWidth = 1200; // twips, for columns not set otherwise

    // Creates the table widget, named "ServersGrid", as a child of parent.
    explicit ServersGrid(QWidget* parent);

    QTableWidget* widget() const { return table_; }

    // Row count, title row included; 1 drops every data row.
    int rows() const;
    void setRows(int count);
    // Appends a row holding text in its first cell; its other cells are empty.
    void addItem(const QString& firstCell);
    // Appends one such row per text, as one change to the table.
    void addItems(const QStringList& firstCells);

    // The current cell: the target of setText and the colour operations.
    int row() const { return row_; }
    void setRow(int row) { row_ = row; }
    int col() const { return col_; }
    void setCol(int col) { col_ = col; }

    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    // Sets a cell by flat index: row * column count + column.
    void setTextArray(int index, const QString& text);
    QString text() const;
    void setText(const QString& text);
    void setCellBackColor(Rgb colour);
    void setCellForeColor(Rgb colour);
    // Sets the back colour of a column's cells in every data row from
    // fromRow on; the current cell stays where it is.
    void setColumnBackColor(int col, Rgb colour, int fromRow = 1);
    // The hint shown when the pointer rests on a cell; empty removes it.
    void setCellToolTip(int row, int col, const QString& text);

    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    int rowHeight(int row) const;

    // 11 shows the hourglass over the grid, 0 the default pointer.
    int mousePointer() const { return mousePointer_; }
    void setMousePointer(int code);

    int top() const;
    void setTop(int twips);
    int width() const;
    bool setWidth(int twips); // false: refused (negative)
    int height() const;
    bool setHeight(int twips); // false: refused (negative)

signals:
    // A double-click on a cell, raised after that cell became current; Enter
    // or Return on the current cell raises it as well.
    void DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableWidgetItem* item(int row, int col) const;
    void fillRow(int tableRow);
    int dpiX() const;
    int dpiY() const;

    QTableWidget* table_;
    std::vector<int> columnWidths_; // twips, as set
    int row_ = 0;
    int col_ = 0;
    int mousePointer_ = DefaultPointer;
};
