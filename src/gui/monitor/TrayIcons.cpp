#include "monitor/TrayIcons.h"

#include "monitor/GridCells.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace
{

const QString Title = QStringLiteral("Quillfern Remote Server Monitor");
const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);

// The verdict cells that carry a level, as indexes into a row.
int cellIndex(int col)
{
    switch (col) {
    case StatusCol:
        return 0;
    case RaidCol:
        return 1;
    case BackupCol:
        return 2;
    default:
        return -1;
    }
}

// A server's row, by the worst thing it shows.
enum RowState {
    Offline,
    RaidDirty,
    BackupFailed,
    NotVerified,
    Unchecked,
    Good,
    Acknowledged,
    RowStates
};

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

void ShownCells::write(const QString& domain, int col, const CellVerdict& verdict)
{
    const int index = cellIndex(col);
    if (index < 0)
        return;
    Row& row = rows_[domain];
    row.current[index] = verdict.level;
    if (verdict.level != Level::None)
        row.coloured[index] = verdict.level;
}

bool ShownCells::hasProblem(const QString& domain) const
{
    const auto found = rows_.constFind(domain);
    if (found == rows_.constEnd())
        return false;
    for (Level level : found->current) {
        if (level == Level::Critical)
            return true;
    }
    return false;
}

TraySummary ShownCells::summary(const QStringList& domains, const QSet<QString>& acknowledged) const
{
    Level worst = Level::None;
    int counts[RowStates] = {};
    for (const QString& domain : domains) {
        const auto found = rows_.constFind(domain);
        if (found == rows_.constEnd()) {
            ++counts[Unchecked];
            continue;
        }
        const Row& row = *found;
        if (acknowledged.contains(domain)) {
            ++counts[Acknowledged];
            continue;
        }
        for (Level level : row.coloured)
            worst = std::max(worst, level);
        const Level status = row.current[0], raid = row.current[1], backup = row.current[2];
        const RowState state = status == Level::Critical   ? Offline
                               : status != Level::Ok       ? Unchecked
                               : raid == Level::Critical   ? RaidDirty
                               : backup == Level::Critical ? BackupFailed
                               : raid == Level::Warning    ? NotVerified
                                                           : Good;
        ++counts[state];
    }

    TraySummary summary;
    summary.colour = worst == Level::Critical  ? TraySummary::Colour::Red
                     : worst == Level::Warning ? TraySummary::Colour::Yellow
                                               : TraySummary::Colour::Green;
    const qsizetype servers = domains.size();
    QStringList lines{Title, servers == 1 ? QStringLiteral("1 server")
                                          : QStringLiteral("%1 servers").arg(servers)};
    const QString names[RowStates] = {CellText::Offline,
                                      QStringLiteral("RAID ") + CellText::Dirty,
                                      QStringLiteral("Backup failed"),
                                      QStringLiteral("RAID ") + CellText::NotVerified,
                                      QStringLiteral("Not checked"),
                                      QStringLiteral("Good"),
                                      QStringLiteral("Acknowledged")};
    for (int state = 0; state < RowStates; ++state) {
        if (counts[state] > 0)
            lines << QStringLiteral("%1: %2").arg(names[state]).arg(counts[state]);
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
