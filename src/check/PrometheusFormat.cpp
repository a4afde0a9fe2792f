// Prometheus's text exposition format: each metric once with its HELP and
// TYPE lines, then one series per server labelled with its domain. Metrics
// whose value the check could not learn (an offline server's uptime, a backup
// cell reading "N/A", anything of a check the run's time cut short) have no
// series for that server. Two series of the run itself, as node_exporter's
// textfile convention has them, tell whether it succeeded and when it ended,
// so an old file or a failed run shows in Prometheus.
#include "CheckReport.h"

#include <QRegularExpression>
#include <cmath>
#include <functional>
#include <optional>

namespace
{

// A label value as the format needs it: backslash, double quote and line
// feed escaped, so any text stays one label.
QString labelValue(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            escaped += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

// A reason as a label value that does not change with numbers inside it
// ("timed out after 10 s" and "... after 30 s" are one series): each run of
// digits, with any decimal point in it, reads "N".
QString reasonLabel(const QString& reason)
{
    static const QRegularExpression number(QStringLiteral("[0-9]+(\\.[0-9]+)?"));
    return labelValue(QString(reason).replace(number, QStringLiteral("N")));
}

QString sampleValue(double value, int decimals = 0)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString::number(value, 'f', decimals);
}

QString raidState(Level level)
{
    if (level == Level::Ok)
        return QStringLiteral("clean");
    if (level == Level::Warning)
        return QStringLiteral("not_verified");
    return QStringLiteral("dirty");
}

class Exposition
{
public:
    explicit Exposition(const QList<ServerResult>& results) : results_(results) {}

    // One metric: its HELP and TYPE lines and, per server, the lines that
    // series() gives (label text after the domain, value).
    using Series = std::function<QList<std::pair<QString, QString>>(const ServerResult&)>;
    void metric(const char* name, const char* help, const Series& series)
    {
        text_ += QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n")
                     .arg(QLatin1String(name), QLatin1String(help));
        for (const ServerResult& result : results_) {
            for (const auto& [labels, value] : series(result))
                text_ += QStringLiteral("%1{domain=\"%2\"%3} %4\n")
                             .arg(QLatin1String(name), labelValue(result.domain), labels, value);
        }
    }
    // A metric of the run itself, without labels.
    void single(const char* name, const char* help, const QString& value)
    {
        text_ += QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n%1 %3\n")
                     .arg(QLatin1String(name), QLatin1String(help), value);
    }
    QByteArray bytes() const { return text_.toUtf8(); }

private:
    const QList<ServerResult>& results_;
    QString text_;
};

QList<std::pair<QString, QString>> one(const QString& value)
{
    return {{QString(), value}};
}

QList<std::pair<QString, QString>> optional(const std::optional<double>& value)
{
    if (!value)
        return {};
    return one(sampleValue(*value));
}

void runSeries(Exposition& out, double runEnded, bool success)
{
    out.single("vemo_check_success",
               "Whether the last run of vemo-check gave every server its verdict (1) or not (0).",
               success ? QStringLiteral("1") : QStringLiteral("0"));
    out.single("vemo_check_last_run_timestamp_seconds",
               "When the last run of vemo-check ended, in seconds since the epoch.",
               sampleValue(runEnded, 3));
}

// node_exporter's md collector, per server: its series names with our prefix
// and a domain label.
using Lines = QList<std::pair<QString, QString>>;
Lines perArray(const ServerResult& r, const std::function<Lines(const MdArray&)>& lines)
{
    Lines all;
    if (!r.verdict.online || r.unfinished)
        return all;
    for (const MdArray& array : r.md.arrays) {
        for (auto [labels, value] : lines(array))
            all.append(
                {QStringLiteral(",device=\"%1\"").arg(labelValue(array.name)) + labels, value});
    }
    return all;
}

// "active", "inactive", "recovering", "resync", "check", "reshape": what the array does.
QString activity(const MdArray& array)
{
    if (array.state == QLatin1String("inactive"))
        return QStringLiteral("inactive");
    if (array.sync && !array.sync->waiting) {
        const QString& action = array.sync->action;
        if (action == QLatin1String("recovery"))
            return QStringLiteral("recovering");
        if (action == QLatin1String("repair"))
            return QStringLiteral("check");
        return action;
    }
    return QStringLiteral("active");
}

void mdSeries(Exposition& out)
{
    out.metric("vemo_md_disks", "Number of active, failed, spare and down disks of the md array.",
               [](const ServerResult& r) {
                   return perArray(r, [](const MdArray& a) {
                       const int failed = a.count(&MdMember::failed);
                       const int spare = a.count(&MdMember::spare);
                       const int down = int(a.map.count(QLatin1Char('_')));
                       const int active = a.active.value_or(int(a.members.size()) - failed - spare);
                       Lines lines;
                       for (const auto& [state, n] : {std::pair{"active", active},
                                                      {"failed", failed},
                                                      {"spare", spare},
                                                      {"down", down}})
                           lines.append({QStringLiteral(",state=\"%1\"").arg(QLatin1String(state)),
                                         QString::number(n)});
                       return lines;
                   });
               });
    out.metric("vemo_md_disks_required", "Number of disks the md array needs to be whole.",
               [](const ServerResult& r) {
                   return perArray(r, [](const MdArray& a) {
                       return a.required ? one(QString::number(*a.required)) : Lines{};
                   });
               });
    out.metric("vemo_md_state", "The md array's state: 1 for the one it is in.",
               [](const ServerResult& r) {
                   return perArray(r, [](const MdArray& a) {
                       const QString current = activity(a);
                       Lines lines;
                       for (const char* state :
                            {"active", "inactive", "recovering", "resync", "check", "reshape"})
                           lines.append({QStringLiteral(",state=\"%1\"").arg(QLatin1String(state)),
                                         current == QLatin1String(state) ? "1" : "0"});
                       return lines;
                   });
               });
    out.metric("vemo_md_blocks", "Size of the md array in 1 KiB blocks.",
               [](const ServerResult& r) {
                   return perArray(r, [](const MdArray& a) {
                       return a.blocks ? one(QString::number(*a.blocks)) : Lines{};
                   });
               });
    out.metric("vemo_md_blocks_synced",
               "Blocks of the md array in sync: all of them unless a sync runs.",
               [](const ServerResult& r) {
                   return perArray(r, [](const MdArray& a) {
                       if (a.sync && a.sync->done && !a.sync->waiting)
                           return one(QString::number(*a.sync->done));
                       return a.blocks ? one(QString::number(*a.blocks)) : Lines{};
                   });
               });
}

} // namespace

QByteArray prometheusFailure(double runEnded)
{
    const QList<ServerResult> none;
    Exposition out(none);
    runSeries(out, runEnded, false);
    return out.bytes();
}

QByteArray prometheusReport(const QList<ServerResult>& results, double runEnded, bool complete)
{
    Exposition out(results);
    runSeries(out, runEnded, complete);
    out.metric("vemo_up", "Whether the server answered its check (1) or is offline (0).",
               [](const ServerResult& r) {
                   QList<std::pair<QString, QString>> lines;
                   if (!r.unfinished)
                       lines = one(r.verdict.online ? "1" : "0");
                   return lines;
               });
    out.metric("vemo_uptime_seconds", "The server's uptime in whole seconds.",
               [](const ServerResult& r) { return optional(r.numbers.uptimeSeconds); });
    out.metric("vemo_backup_failed",
               "The first number of the server's backup report; 0 is a good backup.",
               [](const ServerResult& r) { return optional(r.numbers.backupCount); });
    out.metric("vemo_raid_state",
               "The server's RAID against its accepted reference: 1 for the state it is in.",
               [](const ServerResult& r) {
                   QList<std::pair<QString, QString>> lines;
                   if (!r.verdict.online || r.unfinished)
                       return lines;
                   const QString current = raidState(r.verdict.cells.raid.level);
                   for (const char* state : {"clean", "dirty", "not_verified"})
                       lines.append({QStringLiteral(",state=\"%1\"").arg(QLatin1String(state)),
                                     current == QLatin1String(state) ? "1" : "0"});
                   return lines;
               });
    mdSeries(out);
    out.metric("vemo_check_duration_seconds", "How long the server's check took.",
               [](const ServerResult& r) { return one(sampleValue(r.seconds, 3)); });
    out.metric("vemo_check_failure_info", "Why the server's check found it offline.",
               [](const ServerResult& r) {
                   QList<std::pair<QString, QString>> lines;
                   if (!r.verdict.online)
                       lines.append(
                           {QStringLiteral(",reason=\"%1\"").arg(reasonLabel(r.verdict.reason)),
                            QStringLiteral("1")});
                   return lines;
               });
    return out.bytes();
}
