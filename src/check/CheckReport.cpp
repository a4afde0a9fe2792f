#include "CheckReport.h"

#include <algorithm>

QString stateName(State state)
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("OK");
    case State::Warning:
        return QStringLiteral("WARNING");
    case State::Critical:
        return QStringLiteral("CRITICAL");
    case State::Unknown:
        break;
    }
    return QStringLiteral("UNKNOWN");
}

QString levelName(Level level)
{
    static const char* const names[] = {"none", "ok", "warning", "critical"};
    return QLatin1String(names[int(level)]);
}

State stateOf(const ServerResult& result)
{
    if (result.unfinished)
        return State::Unknown;
    const ProbeVerdicts& c = result.verdict.cells;
    Level worst = Level::None;
    for (const CellVerdict* cell : {&c.status, &c.uptime, &c.raid, &c.backup})
        worst = std::max(worst, cell->level);
    worst = std::max(worst, mdLevel(result.md));
    switch (worst) {
    case Level::Critical:
        return State::Critical;
    case Level::Warning:
        return State::Warning;
    default:
        return State::Ok;
    }
}

State worstState(const QList<ServerResult>& results)
{
    if (results.isEmpty())
        return State::Unknown;
    State worst = State::Ok;
    for (const ServerResult& result : results) {
        const State state = stateOf(result);
        if (state == State::Critical)
            return state;
        worst = std::max(worst, state);
    }
    return worst;
}
