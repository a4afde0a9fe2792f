#include "maintenance/MaintenanceLayout.h"

#include <QStringList>
#include <QWidget>
#include <cmath>

namespace MaintenanceLayout
{

int twipsToPixels(int twips, int dpi)
{
    return int(std::lround(double(twips) * dpi / 1440.0));
}

QRect twipsRect(const QWidget* widget, int left, int top, int width, int height)
{
    const int dx = widget->logicalDpiX();
    const int dy = widget->logicalDpiY();
    return QRect(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                 twipsToPixels(height, dy));
}

QSize twipsSize(const QWidget* widget, int width, int height)
{
    return QSize(twipsToPixels(width, widget->logicalDpiX()),
                 twipsToPixels(height, widget->logicalDpiY()));
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
