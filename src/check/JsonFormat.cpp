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

template <typename T> QJsonValue orNull(const std::optional<T>& value)
{
    return value ? QJsonValue(double(*value)) : QJsonValue();
}

QJsonObject member(const MdMember& m)
{
    return {{QStringLiteral("name"), m.name},
            {QStringLiteral("slot"), m.slot},
            {QStringLiteral("failed"), m.failed},
            {QStringLiteral("spare"), m.spare},
            {QStringLiteral("write_mostly"), m.writeMostly},
            {QStringLiteral("journal"), m.journal},
            {QStringLiteral("replacement"), m.replacement}};
}

// The arrays of the RAID text as the parser read them, with their health.
QJsonArray arrays(const Mdstat& md)
{
    QJsonArray list;
    for (const MdArray& a : md.arrays) {
        QJsonArray members;
        for (const MdMember& m : a.members)
            members.append(member(m));
        QJsonValue sync;
        if (a.sync)
            sync = QJsonObject{{QStringLiteral("action"), a.sync->action},
                               {QStringLiteral("waiting"), a.sync->waiting},
                               {QStringLiteral("percent"), orNull(a.sync->percent)},
                               {QStringLiteral("finish_minutes"), orNull(a.sync->finishMinutes)},
                               {QStringLiteral("speed"), a.sync->speed}};
        list.append(QJsonObject{{QStringLiteral("device"), a.name},
                                {QStringLiteral("state"), a.state},
                                {QStringLiteral("level"), a.level},
                                {QStringLiteral("members"), members},
                                {QStringLiteral("disks_required"), orNull(a.required)},
                                {QStringLiteral("disks_active"), orNull(a.active)},
                                {QStringLiteral("map"), a.map},
                                {QStringLiteral("blocks"), orNull(a.blocks)},
                                {QStringLiteral("sync"), sync},
                                {QStringLiteral("health"), levelName(mdArrayLevel(a))},
                                {QStringLiteral("summary"), mdArraySummary(a)}});
    }
    return list;
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
            {QStringLiteral("md"), arrays(r.md)},
            {QStringLiteral("reason"), r.verdict.reason},
            {QStringLiteral("duration_seconds"), qRound64(r.seconds * 1000) / 1000.0},
        });
    }
    return QJsonDocument(servers).toJson(QJsonDocument::Indented);
}
