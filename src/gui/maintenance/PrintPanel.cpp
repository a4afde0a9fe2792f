#include "maintenance/PrintPanel.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

PrintPanel::PrintPanel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setAutoFillBackground(true);
    font_ = font();
}

void PrintPanel::Cls()
{
    pieces_.clear();
    lines_.clear();
    position_ = QPointF();
    setAccessibleDescription(QString());
    update();
}

void PrintPanel::setPrintFontSize(qreal pointSize)
{
    font_.setPointSizeF(pointSize);
}

void PrintPanel::setPrintFontBold(bool bold)
{
    font_.setBold(bold);
}

qreal PrintPanel::tabWidth() const
{
    return 14 * QFontMetricsF(font_, this).averageCharWidth();
}

void PrintPanel::print(const QString& text, bool endLine)
{
    if (lines_.isEmpty())
        lines_.append(QString());
    lines_.last() += text;

    const QFontMetricsF metrics(font_, this);
    const QStringList parts = text.split(u'\t');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            const qreal stop = tabWidth();
            position_.setX((std::floor(position_.x() / stop) + 1) * stop);
        }
        if (parts[i].isEmpty())
            continue;
        pieces_.append(Piece{parts[i], font_, position_, int(lines_.size()) - 1});
        position_.rx() += metrics.horizontalAdvance(parts[i]);
    }
    if (endLine) {
        position_ = QPointF(0, position_.y() + metrics.height());
        lines_.append(QString());
    }
    // A screen reader reads what the panel shows.
    setAccessibleDescription(lines().join(QLatin1Char('\n')));
    update();
}

QStringList PrintPanel::lines() const
{
    QStringList result = lines_;
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast(); // the line the position stands on, not yet printed
    return result;
}

QString PrintPanel::toolTipAt(const QPoint& pos) const
{
    const QRect area = contentsRect();
    const QPointF at = pos - area.topLeft();
    int line = -1;
    qreal right = 0;
    for (const Piece& piece : pieces_) {
        const QFontMetricsF metrics(piece.font, this);
        if (at.y() >= piece.position.y() && at.y() < piece.position.y() + metrics.height())
            line = piece.line;
    }
    if (line < 0)
        return {};
    for (const Piece& piece : pieces_) {
        if (piece.line == line)
            right =
                std::max(right, piece.position.x() +
                                    QFontMetricsF(piece.font, this).horizontalAdvance(piece.text));
    }
    if (right <= area.width())
        return {};
    return lines_.value(line).replace(QLatin1Char('\t'), QLatin1Char(' ')).simplified();
}

bool PrintPanel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QFrame::event(event);
}

void PrintPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.setPen(palette().color(foregroundRole()));
    for (const Piece& piece : pieces_) {
        painter.setFont(piece.font);
        const qreal ascent = QFontMetricsF(piece.font, this).ascent();
        painter.drawText(area.topLeft() + piece.position + QPointF(0, ascent), piece.text);
    }
}
