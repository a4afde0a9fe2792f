#include "monitor/TrayIcons.h"

#include "monitor/GridCells.h"
#include "monitor/ServersGrid.h"

#include <QPainter>
#include <QPixmap>
#include <QTableWidget>

namespace
{

const QString Title = QStringLiteral("Quillfern Remote Server Monitor");
const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);

QColor backOf(const QTableWidgetItem* cell)
{
    return cell && cell->background().style() != Qt::NoBrush ? cell->background().color()
                                                             : QColor();
}

// A server's row, by the worst thing it shows.
enum RowState { Offline, RaidDirty, BackupFailed, NotVerified, Unchecked, Good, RowStates };

RowState rowState(const ServersGrid& grid, int row)
{
    const QString status = grid.textMatrix(row, StatusCol);
    if (status == QLatin1String("!!!Offline!!!"))
        return Offline;
    if (status != QLatin1String("Online"))
        return Unchecked;
    if (grid.textMatrix(row, RaidCol) == QLatin1String("DIRTY!!!"))
        return RaidDirty;
    if (backOf(grid.widget()->item(row - 1, BackupCol)) == Red &&
        grid.textMatrix(row, BackupCol) != QLatin1String("N/A"))
        return BackupFailed;
    if (grid.textMatrix(row, RaidCol) == QLatin1String("Not Verified"))
        return NotVerified;
    return Good;
}

QPixmap lamp(int size, const QColor& fill)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal edge = size / 16.0;
    const QRectF disc(edge, edge, size - 2 * edge, size - 2 * edge);
    painter.setPen(QPen(QColor(40, 40, 40), edge));
    painter.setBrush(fill);
    painter.drawEllipse(disc);
    // A highlight, so the lamp reads as lit on dark and light panels alike.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 110));
    painter.drawEllipse(QRectF(size * 0.3, size * 0.2, size * 0.3, size * 0.22));
    return pixmap;
}

} // namespace

TraySummary summarizeGrid(const ServersGrid& grid)
{
    bool red = false;
    bool yellow = false;
    int counts[RowStates] = {};
    for (int row = 1; row < grid.rows(); ++row) {
        for (int col = 0; col < ServersGrid::Columns; ++col) {
            const QColor back = backOf(grid.widget()->item(row - 1, col));
            red = red || back == Red;
            yellow = yellow || back == Yellow;
        }
        ++counts[rowState(grid, row)];
    }

    TraySummary summary;
    summary.colour = red      ? TraySummary::Colour::Red
                     : yellow ? TraySummary::Colour::Yellow
                              : TraySummary::Colour::Green;
    const int servers = grid.rows() - 1;
    QStringList lines{Title, servers == 1 ? QStringLiteral("1 server")
                                          : QStringLiteral("%1 servers").arg(servers)};
    const char* names[RowStates] = {"!!!Offline!!!",     "RAID DIRTY!!!", "Backup failed",
                                    "RAID Not Verified", "Not checked",   "Good"};
    for (int state = 0; state < RowStates; ++state) {
        if (counts[state] > 0)
            lines << QStringLiteral("%1: %2").arg(QLatin1String(names[state])).arg(counts[state]);
    }
    summary.toolTip = lines.join(QLatin1Char('\n'));
    return summary;
}

TraySummary uncheckedSummary()
{
    return {TraySummary::Colour::Unknown, Title + QStringLiteral("\nChecking the servers")};
}

QIcon trayIcon(TraySummary::Colour colour)
{
    QColor fill(150, 150, 150);
    switch (colour) {
    case TraySummary::Colour::Green:
        fill = QColor(0, 200, 0);
        break;
    case TraySummary::Colour::Yellow:
        fill = Yellow;
        break;
    case TraySummary::Colour::Red:
        fill = Red;
        break;
    case TraySummary::Colour::Unknown:
        break;
    }
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(lamp(size, fill));
    return icon;
}
