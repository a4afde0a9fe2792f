#include "monitor/ServerHistory.h"

namespace
{
constexpr qint64 Day = 24LL * 3600 * 1000;
}

ServerHistory::ServerHistory(const QString& fileName, Clock clock)
    : store_(fileName), clock_(std::move(clock)), runStarted_(clock_())
{
    // Carry on from the last run, so that its states are not written again
    // and "since when" reaches back before this start. A locked file starts
    // from nothing: at worst a state is written once more.
    HistoryStore::Loaded loaded;
    if (store_.load(&loaded).ok()) {
        past_ = std::move(loaded.past);
        acknowledgements_ = std::move(loaded.acknowledgements);
    }
}

ServerHistory::~ServerHistory()
{
    flush(); // what the last cycle left; a locked file loses it
}

void ServerHistory::record(const HistoryEvent& event)
{
    store_.append(event);
}

KnownState ServerHistory::checkEnded(const QString& domain, const CheckVerdict& verdict)
{
    ServerPast& past = past_[domain];
    const KnownState before = past.status;
    // Written at the cycle's end, in one transaction for the whole cycle.
    for (const HistoryEvent& event : eventsOfCheck(domain, now(), verdict, past))
        record(event);
    return before;
}

KnownState ServerHistory::known(const QString& domain, HistoryAspect aspect) const
{
    const auto found = past_.constFind(domain);
    if (found == past_.constEnd())
        return {};
    ServerPast past = *found;
    return past.of(aspect);
}

QStringList ServerHistory::cycleEnded()
{
    const qint64 at = now();
    if (at - lastPrune_ >= Day) {
        store_.prune(at - RetentionMs);
        lastPrune_ = at;
    }
    QStringList ended;
    for (const Acknowledgement& a : std::as_const(acknowledgements_)) {
        if (a.until && *a.until <= at)
            ended << a.domain;
    }
    for (const QString& domain : ended)
        endAcknowledgement(domain, QStringLiteral("its time is up"));
    flush();
    return ended;
}

std::optional<Acknowledgement> ServerHistory::acknowledgement(const QString& domain) const
{
    const auto found = acknowledgements_.constFind(domain);
    if (found == acknowledgements_.constEnd())
        return std::nullopt;
    return *found;
}

QSet<QString> ServerHistory::acknowledged() const
{
    QSet<QString> domains;
    for (auto it = acknowledgements_.cbegin(); it != acknowledgements_.cend(); ++it)
        domains.insert(it.key());
    return domains;
}

void ServerHistory::acknowledge(const QString& domain, const QString& comment,
                                std::optional<qint64> until)
{
    const Acknowledgement a{domain, now(), until, comment};
    acknowledgements_.insert(domain, a);
    store_.saveAcknowledgement(a);
    record({domain, a.since, HistoryAspect::Acknowledgement, HistoryState::Acknowledged, comment});
    flush();
}

void ServerHistory::endAcknowledgement(const QString& domain, const QString& why)
{
    if (!acknowledgements_.remove(domain))
        return;
    store_.removeAcknowledgement(domain);
    record({domain, now(), HistoryAspect::Acknowledgement, HistoryState::Ended, why});
    flush();
}

bool ServerHistory::flush()
{
    // This run has watched until now.
    store_.markObserved(runStarted_, now());
    return store_.flush().ok();
}
