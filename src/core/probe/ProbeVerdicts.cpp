#include "probe/ProbeVerdicts.h"

#include <cmath>
#include <limits>

namespace
{

const QChar LF = QLatin1Char('\n');

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The decimal number at the start of a text (digits, optionally a point and
// more digits); 0 when the text does not begin with one, infinity when it is
// too large to be held (it is still not 0).
double leadingNumber(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    qsizetype digits = end;
    if (end < text.size() && text[end] == QLatin1Char('.')) {
        qsizetype fraction = end + 1;
        while (fraction < text.size() && isDigit(text[fraction]))
            ++fraction;
        digits += fraction - end - 1;
        if (fraction > end + 1)
            end = fraction;
    }
    if (digits == 0)
        return 0;
    // Digits with at most one point: the conversion fails only when the
    // number is out of range.
    bool ok = false;
    const double value = QStringView(text).left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
}

QString whole(double value)
{
    return QString::number(value, 'f', 0);
}

// Splits at the first occurrence of sep: before and after it; without one
// both parts are the whole text.
struct Cut {
    QString before, after;
};

Cut cutAt(const QString& text, QChar sep)
{
    const qsizetype at = text.indexOf(sep);
    if (at < 0)
        return {text, text};
    return {text.left(at), text.mid(at + 1)};
}

} // namespace

CellVerdict raidComparison(const QString& read, const QString& accepted)
{
    if (accepted == NoRaidReference)
        return read.isEmpty() ? CellVerdict{CellText::Clean, Level::Ok}
                              : CellVerdict{CellText::Dirty, Level::Critical};
    if (read == accepted)
        return {CellText::Clean, Level::Ok};
    return {CellText::Dirty, Level::Critical};
}

QString uptimeText(const QString& uptimeLine)
{
    double s = leadingNumber(uptimeLine);
    if (!std::isfinite(s))
        s = 0; // no uptime a machine can have
    const double f = s / 60 / 60 / 24;
    const double days = std::floor(f);
    const double hoursExact = (f - days) * 24;
    const double hours = std::floor(hoursExact);
    const double minutes = std::floor((hoursExact - hours) * 60);

    const QString m = whole(minutes) + QStringLiteral("m");
    if (days + hours == 0)
        return m;
    const QString hm = whole(hours) + QStringLiteral("h,") + m;
    if (days == 0)
        return hm;
    return whole(days) + QStringLiteral("d,") + hm;
}

namespace
{

// The pieces a probe output is cut into: the uptime line, the backup count
// line and time text, and the RAID text.
struct Pieces {
    QString uptime, count, when, mdstat;
};

Pieces cutProbeOutput(const QString& output)
{
    const Cut lines = cutAt(output, LF);
    const QString& rest = lines.after;

    // The reports end where the first capital P starts the RAID text.
    const qsizetype p = rest.indexOf(QLatin1Char('P'));
    const QString backup = p < 0 ? rest : rest.left(p);

    const Cut report = cutAt(backup, LF);
    return {lines.before, report.before, report.after, p < 0 ? QString() : rest.mid(p)};
}

bool hasBackupCount(const QString& count)
{
    return !count.isEmpty() && isDigit(count[0]);
}

} // namespace

ProbeVerdicts parseProbeOutput(const QString& output, const QString& raidStatus)
{
    ProbeVerdicts v;
    v.status = {CellText::Online, Level::Ok};

    const Pieces pieces = cutProbeOutput(output);
    v.uptime = {uptimeText(pieces.uptime), Level::None};

    const QString& count = pieces.count;
    QString when = pieces.when;
    if (when.isEmpty())
        when = CellText::TimeUnknown;

    if (!hasBackupCount(count))
        v.backup = {CellText::NoBackupReport, Level::None};
    else if (leadingNumber(count) != 0)
        v.backup = {when + QLatin1Char(' '), Level::Critical};
    else
        v.backup = {when + QLatin1Char(' '), Level::Ok};

    if (raidStatus.isEmpty())
        v.raid = {CellText::NotVerified, Level::Warning};
    else
        v.raid = raidComparison(pieces.mdstat, raidStatus);
    return v;
}

QString probeRaidText(const QString& output)
{
    return cutProbeOutput(output).mdstat;
}

ProbeNumbers probeNumbers(const QString& output)
{
    const Pieces pieces = cutProbeOutput(output);
    ProbeNumbers numbers;
    if (!pieces.uptime.isEmpty() && isDigit(pieces.uptime[0])) {
        const double seconds = leadingNumber(pieces.uptime);
        if (std::isfinite(seconds))
            numbers.uptimeSeconds = std::floor(seconds);
    }
    if (hasBackupCount(pieces.count))
        numbers.backupCount = leadingNumber(pieces.count);
    return numbers;
}
