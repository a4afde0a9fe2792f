#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

// The hint of a table cell: the cell's own tooltip and, when its text does
// not fit the cell (too wide, or more than one line), the whole text above
// it. Empty when the text fits and the cell has no tooltip of its own.
QString cellToolTip(const QAbstractItemView& view, const QModelIndex& index);

// Draws cells as usual and shows cellToolTip() when the pointer rests on one.
class CutTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
