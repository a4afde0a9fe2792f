// The plugin text of Nagios and Icinga: "VEMO <STATE> - <summary> | <perfdata>"
// on the first line, then, for several servers, one line per server, worst first.
#include "CheckReport.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace
{

// A text for one line of plugin output: "|" would start the performance
// data, a line break a new line, so both give way to harmless characters.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('|'), QLatin1Char('/'));
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text.simplified();
}

// A performance value, or "U" where it could not be determined.
QString perfValue(const std::optional<double>& value, const char* unit = "")
{
    if (!value || !std::isfinite(*value))
        return QStringLiteral("U");
    return QString::number(*value, 'f', 0) + QLatin1String(unit);
}

// "example.org: Online, uptime 1d,2h,3m, RAID Clean, backup 2026-12-08 03:00:01"
// or "example.org: !!!Offline!!! (Connection refused)".
QString serverSummary(const ServerResult& result)
{
    const ProbeVerdicts& c = result.verdict.cells;
    QString text = oneLine(result.domain) + QStringLiteral(": ") + c.status.text;
    if (!result.verdict.online)
        return text + QStringLiteral(" (") + oneLine(result.verdict.reason) + QLatin1Char(')');
    return text + QStringLiteral(", uptime ") + c.uptime.text + QStringLiteral(", RAID ") +
           oneLine(c.raid.text) + QStringLiteral(", backup ") + oneLine(c.backup.text);
}

QString serverPerfData(const ServerResult& result)
{
    std::optional<double> raidClean;
    if (result.verdict.online)
        raidClean = result.verdict.cells.raid.level == Level::Ok ? 1 : 0;
    return QStringLiteral("uptime=%1 backup_failed=%2 raid_clean=%3")
        .arg(perfValue(result.numbers.uptimeSeconds, "s"), perfValue(result.numbers.backupCount),
             perfValue(raidClean));
}

} // namespace

QByteArray nagiosReport(const QList<ServerResult>& results)
{
    const State worst = worstState(results);
    QString text = QStringLiteral("VEMO ") + stateName(worst) + QStringLiteral(" - ");
    if (results.isEmpty())
        return (text + QStringLiteral("no servers to check\n")).toUtf8();
    if (results.size() == 1) {
        const ServerResult& only = results.first();
        return (text + serverSummary(only) + QStringLiteral(" | ") + serverPerfData(only) +
                QLatin1Char('\n'))
            .toUtf8();
    }

    int counts[4] = {};
    for (const ServerResult& result : results)
        ++counts[int(stateOf(result.verdict))];
    const State order[] = {State::Critical, State::Warning, State::Ok};
    QStringList summary, perf;
    for (State state : order) {
        if (counts[int(state)] > 0)
            summary << QStringLiteral("%1 %2").arg(counts[int(state)]).arg(stateName(state));
        perf << QStringLiteral("%1=%2").arg(stateName(state).toLower()).arg(counts[int(state)]);
    }
    text += QStringLiteral("%1 servers: ").arg(results.size()) +
            summary.join(QStringLiteral(", ")) + QStringLiteral(" | ") +
            perf.join(QLatin1Char(' ')) + QLatin1Char('\n');

    // Long output: one line per server, worst first, in the file's order within a state.
    QList<ServerResult> sorted = results;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ServerResult& a, const ServerResult& b) {
                         return stateOf(a.verdict) > stateOf(b.verdict);
                     });
    for (const ServerResult& result : sorted)
        text += stateName(stateOf(result.verdict)) + QStringLiteral(" - ") + serverSummary(result) +
                QLatin1Char('\n');
    return text.toUtf8();
}
