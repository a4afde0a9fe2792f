#include "monitor/ServersGrid.h"

#include "common/Twips.h"
#include "monitor/CutTextToolTips.h"

#include <QAbstractItemView>
#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>

namespace
{

constexpr int MinimumRowHeight = 240; // twips

QColor toColor(Rgb colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

} // namespace

ServersGrid::ServersGrid(QWidget* parent)
    : QObject(parent), table_(new QTableWidget(0, Columns, parent)),
      columnWidths_(Columns, DefaultColumnWidth)
{
    table_->setObjectName(QStringLiteral("ServersGrid"));
    table_->setAccessibleName(QStringLiteral("Servers"));
    // Tab and Shift+Tab go on to the window's other controls, not cell by cell.
    table_->setTabKeyNavigation(false);
    // A cell whose text is cut shows all of it when the pointer rests on it.
    table_->setItemDelegate(new CutTextDelegate(table_));
    table_->installEventFilter(this);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Cells show their own colours; the current cell is marked by the focus frame only.
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int rowPixels =
        std::max(Twips::toPixels(MinimumRowHeight, dpiY()), table_->fontMetrics().height() + 4);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setMinimumSectionSize(1);
    table_->verticalHeader()->setDefaultSectionSize(rowPixels);
    for (int col = 0; col < Columns; ++col) {
        table_->setHorizontalHeaderItem(col, new QTableWidgetItem);
        table_->setColumnWidth(col, Twips::toPixels(DefaultColumnWidth, dpiX()));
    }

    // Every press, key move and double-click makes the touched cell current.
    connect(table_, &QTableWidget::cellPressed, this, [this](int tableRow, int col) {
        row_ = tableRow + 1;
        col_ = col;
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int tableRow, int col) {
        if (tableRow >= 0 && col >= 0) {
            row_ = tableRow + 1;
            col_ = col;
        }
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int tableRow, int col) {
        row_ = tableRow + 1;
        col_ = col;
        emit DblClick();
    });
}

bool ServersGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = table_->currentIndex();
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
            // A held key acts once, as one double-click does.
            if (key->isAutoRepeat())
                return true;
            row_ = current.row() + 1;
            col_ = current.column();
            emit DblClick();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

int ServersGrid::rows() const
{
    return table_->rowCount() + 1;
}

void ServersGrid::setRows(int count)
{
    const int oldRows = table_->rowCount();
    const int newRows = std::max(count, 1) - 1;
    table_->setRowCount(newRows);
    for (int tableRow = oldRows; tableRow < newRows; ++tableRow)
        fillRow(tableRow);
    row_ = std::min(row_, newRows);
}

void ServersGrid::addItem(const QString& firstCell)
{
    const int tableRow = table_->rowCount();
    table_->insertRow(tableRow);
    fillRow(tableRow);
    table_->item(tableRow, 0)->setText(firstCell);
}

void ServersGrid::addItems(const QStringList& firstCells)
{
    const int first = table_->rowCount();
    const int count = int(firstCells.size());
    if (count == 0)
        return;
    table_->setRowCount(first + count);
    {
        // One change for the whole block instead of one per cell.
        const QSignalBlocker quiet(table_->model());
        for (int i = 0; i < count; ++i) {
            fillRow(first + i);
            table_->item(first + i, 0)->setText(firstCells[i]);
        }
    }
    emit table_->model()->dataChanged(table_->model()->index(first, 0),
                                      table_->model()->index(first + count - 1, Columns - 1));
}

void ServersGrid::setColumnBackColor(int col, Rgb colour, int fromRow)
{
    const int count = table_->rowCount();
    const int first = std::max(fromRow, 1) - 1;
    if (col < 0 || col >= Columns || first >= count)
        return;
    const QBrush brush(toColor(colour));
    {
        const QSignalBlocker quiet(table_->model());
        for (int tableRow = first; tableRow < count; ++tableRow) {
            if (QTableWidgetItem* cell = table_->item(tableRow, col))
                cell->setBackground(brush);
        }
    }
    emit table_->model()->dataChanged(table_->model()->index(first, col),
                                      table_->model()->index(count - 1, col));
}

void ServersGrid::fillRow(int tableRow)
{
    for (int col = 0; col < Columns; ++col)
        table_->setItem(tableRow, col, new QTableWidgetItem);
}

QTableWidgetItem* ServersGrid::item(int row, int col) const
{
    if (col < 0 || col >= Columns || row < 0 || row >= rows())
        return nullptr;
    if (row == 0)
        return table_->horizontalHeaderItem(col);
    return table_->item(row - 1, col);
}

QString ServersGrid::textMatrix(int row, int col) const
{
    const QTableWidgetItem* cell = item(row, col);
    return cell ? cell->text() : QString();
}

void ServersGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (QTableWidgetItem* cell = item(row, col))
        cell->setText(text);
}

void ServersGrid::setTextArray(int index, const QString& text)
{
    if (index >= 0)
        setTextMatrix(index / Columns, index % Columns, text);
}

QString ServersGrid::text() const
{
    return textMatrix(row_, col_);
}

void ServersGrid::setText(const QString& text)
{
    setTextMatrix(row_, col_, text);
}

void ServersGrid::setCellBackColor(Rgb colour)
{
    if (QTableWidgetItem* cell = item(row_, col_))
        cell->setBackground(toColor(colour));
}

void ServersGrid::setCellForeColor(Rgb colour)
{
    if (QTableWidgetItem* cell = item(row_, col_))
        cell->setForeground(toColor(colour));
}

void ServersGrid::setCellToolTip(int row, int col, const QString& text)
{
    if (QTableWidgetItem* cell = item(row, col))
        cell->setToolTip(text);
}

int ServersGrid::colWidth(int col) const
{
    return (col >= 0 && col < Columns) ? columnWidths_[std::size_t(col)] : 0;
}

void ServersGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= Columns || twips < 0)
        return;
    columnWidths_[std::size_t(col)] = twips;
    table_->setColumnWidth(col, Twips::toPixels(twips, dpiX()));
}

int ServersGrid::rowHeight(int row) const
{
    if (row == 0)
        return Twips::fromPixels(table_->horizontalHeader()->height(), dpiY());
    if (row >= 1 && row < rows())
        return Twips::fromPixels(table_->rowHeight(row - 1), dpiY());
    return Twips::fromPixels(table_->verticalHeader()->defaultSectionSize(), dpiY());
}

void ServersGrid::setMousePointer(int code)
{
    mousePointer_ = code;
    if (code == Hourglass)
        table_->setCursor(Qt::WaitCursor);
    else
        table_->unsetCursor();
}

int ServersGrid::top() const
{
    return Twips::fromPixels(table_->y(), dpiY());
}

void ServersGrid::setTop(int twips)
{
    table_->move(table_->x(), Twips::toPixels(twips, dpiY()));
}

int ServersGrid::width() const
{
    return Twips::fromPixels(table_->width(), dpiX());
}

bool ServersGrid::setWidth(int twips)
{
    if (twips < 0)
        return false;
    table_->resize(Twips::toPixels(twips, dpiX()), table_->height());
    return true;
}

int ServersGrid::height() const
{
    return Twips::fromPixels(table_->height(), dpiY());
}

bool ServersGrid::setHeight(int twips)
{
    if (twips < 0)
        return false;
    table_->resize(table_->width(), Twips::toPixels(twips, dpiY()));
    return true;
}

int ServersGrid::dpiX() const
{
    return table_->logicalDpiX();
}

int ServersGrid::dpiY() const
{
    return table_->logicalDpiY();
}
