#include "maintenance/MaintenanceLayout.h"

#include "common/Twips.h"

#include <QStringList>
#include <QWidget>

namespace MaintenanceLayout
{

using Twips::toPixels;

QRect twipsRect(const QWidget* widget, int left, int top, int width, int height)
{
    const int dx = widget->logicalDpiX();
    const int dy = widget->logicalDpiY();
    return QRect(toPixels(left, dx), toPixels(top, dy), toPixels(width, dx), toPixels(height, dy));
}

QSize twipsSize(const QWidget* widget, int width, int height)
{
    return QSize(toPixels(width, widget->logicalDpiX()), toPixels(height, widget->logicalDpiY()));
}

QFont sansFont(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace MaintenanceLayout
