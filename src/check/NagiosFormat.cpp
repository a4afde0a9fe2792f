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

// "label=value" of one performance value; none where the value could not be
// determined (a "U" makes Icinga log a warning for every check).
QStringList perfValue(const char* label, const std::optional<double>& value, const char* unit = "")
{
    if (!value || !std::isfinite(*value))
        return {};
    return {QLatin1String(label) + QLatin1Char('=') + QString::number(*value, 'f', 0) +
            QLatin1String(unit)};
}

// "example.org: Online, uptime 1d,2h,3m, RAID Clean, backup 2026-12-08 03:00:01"
// or "example.org: !!!Offline!!! (Connection refused)".
QString serverSummary(const ServerResult& result)
{
    const ProbeVerdicts& c = result.verdict.cells;
    if (result.unfinished)
        return oneLine(result.domain) + QStringLiteral(": ") + oneLine(result.verdict.reason);
    QString text = oneLine(result.domain) + QStringLiteral(": ") + c.status.text;
    if (!result.verdict.online)
        return text + QStringLiteral(" (") + oneLine(result.verdict.reason) + QLatin1Char(')');
    // The arrays that need a look, named beside the reference's verdict.
    QStringList arrays;
    for (const MdArray& array : result.md.arrays) {
        if (mdArrayLevel(array) > Level::Ok)
            arrays << oneLine(mdArraySummary(array));
    }
    const QString raid =
        arrays.isEmpty()
            ? QString()
            : QStringLiteral(" (") + arrays.join(QStringLiteral("; ")) + QLatin1Char(')');
    return text + QStringLiteral(", uptime ") + c.uptime.text + QStringLiteral(", RAID ") +
           oneLine(c.raid.text) + raid + QStringLiteral(", backup ") + oneLine(c.backup.text);
}

// The server's performance data after " | ", or nothing when it has none.
QString serverPerfData(const ServerResult& result)
{
    std::optional<double> raidClean, degraded, failed;
    if (result.verdict.online && !result.unfinished) {
        raidClean = result.verdict.cells.raid.level == Level::Ok ? 1 : 0;
        degraded = failed = 0;
        for (const MdArray& array : result.md.arrays) {
            *degraded += array.degraded() ? 1 : 0;
            *failed += double(array.failedMembers().size());
        }
    }
    const QStringList values = perfValue("uptime", result.numbers.uptimeSeconds, "s") +
                               perfValue("backup_failed", result.numbers.backupCount) +
                               perfValue("raid_clean", raidClean) +
                               perfValue("md_degraded", degraded) + perfValue("md_failed", failed);
    return values.isEmpty() ? QString() : QStringLiteral(" | ") + values.join(QLatin1Char(' '));
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
        return (text + serverSummary(only) + serverPerfData(only) + QLatin1Char('\n')).toUtf8();
    }

    int counts[4] = {};
    for (const ServerResult& result : results)
        ++counts[int(stateOf(result))];
    const State order[] = {State::Critical, State::Unknown, State::Warning, State::Ok};
    QStringList summary, perf;
    for (State state : order) {
        if (counts[int(state)] > 0)
            summary << QStringLiteral("%1 %2").arg(counts[int(state)]).arg(stateName(state));
        if (state != State::Unknown || counts[int(state)] > 0)
            perf << QStringLiteral("%1=%2").arg(stateName(state).toLower()).arg(counts[int(state)]);
    }
    text += QStringLiteral("%1 servers: ").arg(results.size()) +
            summary.join(QStringLiteral(", ")) + QStringLiteral(" | ") +
            perf.join(QLatin1Char(' ')) + QLatin1Char('\n');

    // Long output: one line per server, worst first, in the file's order within a state.
    QList<ServerResult> sorted = results;
    // CRITICAL, then UNKNOWN (not learnt), WARNING and OK.
    const auto rank = [](const ServerResult& r) {
        const State state = stateOf(r);
        return state == State::Critical ? 4 : state == State::Unknown ? 3 : int(state);
    };
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [&](const ServerResult& a, const ServerResult& b) { return rank(a) > rank(b); });
    for (const ServerResult& result : sorted)
        text += stateName(stateOf(result)) + QStringLiteral(" - ") + serverSummary(result) +
                QLatin1Char('\n');
    return text.toUtf8();
}
