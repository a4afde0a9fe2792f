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

State stateOf(const CheckVerdict& verdict)
{
    const ProbeVerdicts& c = verdict.cells;
    State state = State::Ok;
    for (const CellVerdict* cell : {&c.status, &c.uptime, &c.raid, &c.backup}) {
        if (cell->back == Colours::Red)
            return State::Critical;
        if (cell->back == Colours::Yellow)
            state = State::Warning;
    }
    return state;
}

State worstState(const QList<ServerResult>& results)
{
    if (results.isEmpty())
        return State::Unknown;
    State worst = State::Ok;
    for (const ServerResult& result : results)
        worst = std::max(worst, stateOf(result.verdict));
    return worst;
}
