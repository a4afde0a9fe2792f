#include "monitor/RaidDifference.h"

#include <QStringList>
#include <vector>

const QString RaidDirtyMarker = QStringLiteral("Dirty!!!");

namespace
{

// The comparison keeps a table of (lines before + 1) x (lines after + 1)
// counts; a server's answer of any length must not make it unbounded.
constexpr qint64 MaxTableCells = 1'000'000;

// The lines of a text; a final LF ends the last line rather than starting one.
QStringList linesOf(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    return lines;
}

// A longest-common-subsequence walk: small texts, so the table is cheap.
QStringList lineDiff(const QStringList& before, const QStringList& after)
{
    const auto n = std::size_t(before.size());
    const auto m = std::size_t(after.size());
    std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m; j-- > 0;) {
            common[i][j] = before[qsizetype(i)] == after[qsizetype(j)]
                               ? common[i + 1][j + 1] + 1
                               : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    QStringList out;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && before[qsizetype(i)] == after[qsizetype(j)]) {
            out << QStringLiteral("  ") + before[qsizetype(i)];
            ++i;
            ++j;
        } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
            // Removed lines come before the added ones that replace them.
            out << QStringLiteral("- ") + before[qsizetype(i)];
            ++i;
        } else {
            out << QStringLiteral("+ ") + after[qsizetype(j)];
            ++j;
        }
    }
    return out;
}

} // namespace

QString raidDifference(const QString& reference, const QString& text)
{
    if (reference.isEmpty())
        return QStringLiteral("No RAID text has been accepted for this server yet.");
    if (reference == RaidDirtyMarker)
        return QStringLiteral("The first RAID text read was not accepted, so there is no "
                              "accepted text to compare with.");
    if (reference == text)
        return QStringLiteral("The text is the accepted one.");
    const QStringList before = linesOf(reference);
    const QStringList after = linesOf(text);
    if (before == after)
        return QStringLiteral("The texts differ only in their final line break.");
    if ((qint64(before.size()) + 1) * (qint64(after.size()) + 1) > MaxTableCells)
        return QStringLiteral("The texts are too long to compare line by line (%1 and %2 lines).")
            .arg(before.size())
            .arg(after.size());
    return QStringLiteral("Compared with the accepted RAID text:\n") +
           lineDiff(before, after).join(QLatin1Char('\n'));
}
