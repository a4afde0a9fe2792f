#include "monitor/CutTextToolTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

QString cellToolTip(const QAbstractItemView& view, const QModelIndex& index)
{
    const QString own = index.data(Qt::ToolTipRole).toString();
    // Trailing spaces and line ends show nothing (the Backup cell ends in one).
    QString text = index.data(Qt::DisplayRole).toString();
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    bool cut = text.contains(QLatin1Char('\n'));
    if (!cut && !text.isEmpty()) {
        const QVariant fontData = index.data(Qt::FontRole);
        const QFont font = fontData.isValid() ? fontData.value<QFont>() : view.font();
        // The item view keeps this margin on either side of a cell's text.
        const int margin =
            view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
        cut = QFontMetrics(font).horizontalAdvance(text) + 2 * margin >
              view.visualRect(index).width();
    }
    if (!cut)
        return own;
    return own.isEmpty() ? text : text + QLatin1Char('\n') + own;
}

bool CutTextDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !view || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = cellToolTip(*view, index);
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view->viewport(), view->visualRect(index));
    return true;
}
