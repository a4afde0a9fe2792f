#pragma once

#include <QFont>
#include <QRect>

class QWidget;

// Layout of the maintenance windows: positions are given in twips (1/1440
// inch) and turned into pixels once, with the widget's logical resolution.
namespace MaintenanceLayout
{

// A rectangle given in twips, in pixels for the given widget's screen.
QRect twipsRect(const QWidget* widget, int left, int top, int width, int height);
QSize twipsSize(const QWidget* widget, int width, int height);

// The window font: Liberation Sans has Arial's metrics, so texts sized for
// Arial fit the same boxes; any sans-serif face stands in when it is missing.
QFont sansFont(qreal pointSize, bool bold = false);

} // namespace MaintenanceLayout
