#include "monitor/MonitorIcon.h"

#include <QPainter>
#include <QPixmap>

namespace
{

// A small screen with three status rows: two good, one alarm.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const double unit = size / 16.0;
    painter.scale(unit, unit);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(128, 128, 128));
    painter.drawRect(QRectF(0.5, 1, 15, 11));
    painter.drawRect(QRectF(5, 12, 6, 1.5));
    painter.drawRect(QRectF(3, 13.5, 10, 1.5));
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRect(QRectF(1.5, 2, 13, 9));
    const QColor rows[] = {QColor(0, 255, 0), QColor(0, 255, 0), QColor(255, 0, 0)};
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(rows[i]);
        painter.drawRect(QRectF(3, 3 + i * 2.7, 10, 1.6));
    }
    return pixmap;
}

} // namespace

QIcon monitorIcon()
{
    QIcon icon;
    icon.addPixmap(drawIcon(16));
    icon.addPixmap(drawIcon(32));
    return icon;
}
