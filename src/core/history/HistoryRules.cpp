#include "history/HistoryRules.h"

#include <QDateTime>
#include <algorithm>

namespace
{

const QString AspectNames[] = {QStringLiteral("status"), QStringLiteral("raid"),
                               QStringLiteral("backup"), QStringLiteral("acknowledgement")};

QString raidState(Level level)
{
    switch (level) {
    case Level::Ok:
        return HistoryState::Clean;
    case Level::Critical:
        return HistoryState::Dirty;
    case Level::Warning:
        return HistoryState::NotVerified;
    case Level::None:
        break;
    }
    return {};
}

// How bad a state is for the strip: 0 good, 1 a warning, 2 a problem.
int badness(const QString& state)
{
    if (state == HistoryState::Offline || state == HistoryState::Dirty ||
        state == HistoryState::Failed)
        return 2;
    if (state == HistoryState::NotVerified)
        return 1;
    return 0;
}

// The parts of [from, to] that the monitor watched.
QList<ObservedSpan> clipped(const QList<ObservedSpan>& observed, qint64 from, qint64 to)
{
    QList<ObservedSpan> parts;
    for (const ObservedSpan& span : observed) {
        const qint64 a = std::max(span.from, from), b = std::min(span.to, to);
        if (a < b)
            parts.append({a, b});
    }
    return parts;
}

} // namespace

QString aspectName(HistoryAspect aspect)
{
    return AspectNames[int(aspect)];
}

std::optional<HistoryAspect> aspectFromName(const QString& name)
{
    for (int i = 0; i < 4; ++i) {
        if (AspectNames[i] == name)
            return HistoryAspect(i);
    }
    return std::nullopt;
}

KnownState& ServerPast::of(HistoryAspect aspect)
{
    return aspect == HistoryAspect::Raid ? raid : aspect == HistoryAspect::Backup ? backup : status;
}

QList<HistoryEvent> eventsOfCheck(const QString& domain, qint64 at, const CheckVerdict& verdict,
                                  ServerPast& past)
{
    QList<HistoryEvent> events;
    const auto note = [&](HistoryAspect aspect, const QString& state, const QString& detail) {
        KnownState& known = past.of(aspect);
        if (state.isEmpty() || state == known.state)
            return;
        known = {state, at};
        events.append({domain, at, aspect, state, detail});
    };
    note(HistoryAspect::Status, verdict.online ? HistoryState::Online : HistoryState::Offline,
         verdict.online ? QString() : verdict.reason);
    if (!verdict.online)
        return events;
    note(HistoryAspect::Raid, raidState(verdict.cells.raid.level), {});
    const Level backup = verdict.cells.backup.level;
    if (backup != Level::None)
        note(HistoryAspect::Backup,
             backup == Level::Critical ? HistoryState::Failed : HistoryState::Good,
             verdict.cells.backup.text.trimmed());
    return events;
}

Availability availability(const QList<HistoryEvent>& events, const QList<ObservedSpan>& observed,
                          qint64 from, qint64 to)
{
    Availability result;
    qint64 up = 0;
    for (const ObservedSpan& span : clipped(observed, from, to)) {
        // Walk the status changes through the span: each state holds until the next.
        QString state;
        qint64 at = span.from;
        for (const HistoryEvent& event : events) {
            if (event.aspect != HistoryAspect::Status)
                continue;
            if (event.at <= span.from) {
                state = event.state;
                continue;
            }
            if (event.at >= span.to)
                break;
            if (!state.isEmpty()) {
                result.observedMs += event.at - at;
                up += state == HistoryState::Online ? event.at - at : 0;
            }
            state = event.state;
            at = event.at;
        }
        if (!state.isEmpty()) {
            result.observedMs += span.to - at;
            up += state == HistoryState::Online ? span.to - at : 0;
        }
    }
    if (result.observedMs > 0)
        result.percent = 100.0 * double(up) / double(result.observedMs);
    return result;
}

QList<StripColour> historyStrip(const QList<HistoryEvent>& events,
                                const QList<ObservedSpan>& observed, qint64 from, qint64 to,
                                int parts)
{
    QList<StripColour> strip;
    const double width = double(to - from) / std::max(parts, 1);
    for (int i = 0; i < parts; ++i) {
        const qint64 a = from + qint64(i * width), b = from + qint64((i + 1) * width);
        int worst = -1; // nothing known of the slot
        for (const ObservedSpan& span : clipped(observed, a, b)) {
            // A watch that ends within the part includes its last instant:
            // the check that ended it found what it found while watched.
            const qint64 end = span.to < b ? span.to + 1 : span.to;
            // Each aspect's state as the watched part begins, then every change within it.
            QString atStart[3];
            for (const HistoryEvent& event : events) {
                if (event.aspect == HistoryAspect::Acknowledgement || event.at >= end)
                    continue;
                if (event.at <= span.from)
                    atStart[int(event.aspect)] = event.state;
                else
                    worst = std::max(worst, badness(event.state));
            }
            for (const QString& state : atStart) {
                if (!state.isEmpty())
                    worst = std::max(worst, badness(state));
            }
        }
        strip.append(worst < 0    ? StripColour::Unknown
                     : worst == 2 ? StripColour::Red
                     : worst == 1 ? StripColour::Yellow
                                  : StripColour::Green);
    }
    return strip;
}

QString durationText(qint64 ms)
{
    const qint64 minutes = ms / 60000;
    if (minutes < 1)
        return QStringLiteral("less than a minute");
    const qint64 days = minutes / (24 * 60), hours = minutes / 60 % 24, mins = minutes % 60;
    if (days > 0)
        return hours > 0 ? QStringLiteral("%1 d %2 h").arg(days).arg(hours)
                         : QStringLiteral("%1 d").arg(days);
    if (hours > 0)
        return mins > 0 ? QStringLiteral("%1 h %2 min").arg(hours).arg(mins)
                        : QStringLiteral("%1 h").arg(hours);
    return QStringLiteral("%1 min").arg(mins);
}

QString sinceText(qint64 since, qint64 now)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(since);
    const bool today = when.date() == QDateTime::fromMSecsSinceEpoch(now).date();
    const QString at = today ? when.toString(QStringLiteral("HH:mm"))
                             : when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("since %1, %2").arg(at, durationText(now - since));
}
