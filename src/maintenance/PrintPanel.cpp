#include "maintenance/PrintPanel.h"

#include <QFontMetricsF>
#include <QPainter>
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
        pieces_.append(Piece{parts[i], font_, position_});
        position_.rx() += metrics.horizontalAdvance(parts[i]);
    }
    if (endLine) {
        position_ = QPointF(0, position_.y() + metrics.height());
        lines_.append(QString());
    }
    update();
}

QStringList PrintPanel::lines() const
{
    QStringList result = lines_;
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast(); // the line the position stands on, not yet printed
    return result;
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
