// One JSON object per server, in the file's order: the four cells of its
// grid row (text and level; "none" where the cell says nothing about health),
// the state, the reason when offline and how long the check took.
#include "CheckReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

QJsonObject cell(const CellVerdict& verdict)
{
    return {{QStringLiteral("text"), verdict.text},
            {QStringLiteral("level"), levelName(verdict.level)}};
}

} // namespace

QByteArray jsonReport(const QList<ServerResult>& results)
{
    QJsonArray servers;
    for (const ServerResult& r : results) {
        const ProbeVerdicts& c = r.verdict.cells;
        servers.append(QJsonObject{
            {QStringLiteral("domain"), r.domain},
            {QStringLiteral("state"), stateName(stateOf(r))},
            {QStringLiteral("online"), r.verdict.online},
            {QStringLiteral("status"), cell(c.status)},
            {QStringLiteral("uptime"), cell(c.uptime)},
            {QStringLiteral("raid"), cell(c.raid)},
            {QStringLiteral("backup"), cell(c.backup)},
            {QStringLiteral("reason"), r.verdict.reason},
            {QStringLiteral("duration_seconds"), qRound64(r.seconds * 1000) / 1000.0},
        });
    }
    return QJsonDocument(servers).toJson(QJsonDocument::Indented);
}
