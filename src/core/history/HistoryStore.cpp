#include "history/HistoryStore.h"

#include "store/HistoryTables.h"
#include "store/ServerFile.h"

#include <QFileInfo>
#include <functional>
#include <sqlite3.h>

namespace
{

void bind(sqlite3_stmt* stmt, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        if (value.isNull())
            sqlite3_bind_null(stmt, i + 1);
        else if (value.typeId() == QMetaType::LongLong)
            sqlite3_bind_int64(stmt, i + 1, value.toLongLong());
        else {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
}

QString column(sqlite3_stmt* stmt, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
}

// Reads every row of a statement whose preparation gave rc; SQLITE_DONE
// when all were read.
int eachRow(int rc, sqlite3_stmt* stmt, const std::function<void()>& row)
{
    if (rc != SQLITE_OK)
        return rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row();
    return rc;
}

// A statement failed because the file has no history tables yet.
bool withoutTables(sqlite3* db, int rc)
{
    return rc == SQLITE_ERROR && QByteArray(sqlite3_errmsg(db)).startsWith("no such table");
}

} // namespace

HistoryStore::HistoryStore(const QString& fileName) : fileName_(fileName) {}

HistoryStore::~HistoryStore()
{
    sqlite3_close(db_);
}

StoreStatus HistoryStore::failure(int rc) const
{
    if (ServerFile::isLockCode(rc))
        return ServerFile::locked(fileName_);
    return StoreStatus::failure(
        StoreError::Failed,
        QStringLiteral("The history in \"%1\" could not be kept: %2")
            .arg(QFileInfo(fileName_).absoluteFilePath(), QString::fromUtf8(sqlite3_errmsg(db_))));
}

StoreStatus HistoryStore::ensureOpen()
{
    if (db_)
        return StoreStatus::success();
    return ServerFile::open(fileName_, &db_);
}

StoreStatus HistoryStore::load(Loaded* loaded)
{
    *loaded = {};
    const StoreStatus opened = ensureOpen();
    if (!opened.ok())
        return opened;
    sqlite3_stmt* stmt = nullptr;
    // The newest row of each server and aspect: the state it is in and since when.
    int rc = sqlite3_prepare_v2(db_,
                                "SELECT Domain, Aspect, State, max(At) FROM ServerHistory "
                                "WHERE Aspect <> 'acknowledgement' GROUP BY Domain, Aspect",
                                -1, &stmt, nullptr);
    if (withoutTables(db_, rc)) {
        sqlite3_finalize(stmt);
        return StoreStatus::success(); // a file without the tables yet
    }
    rc = eachRow(rc, stmt, [&] {
        if (const auto aspect = aspectFromName(column(stmt, 1)))
            loaded->past[column(stmt, 0)].of(*aspect) = {column(stmt, 2),
                                                         sqlite3_column_int64(stmt, 3)};
    });
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return failure(rc);
    rc = sqlite3_prepare_v2(db_, "SELECT Domain, Since, Until, Comment FROM ServerAcknowledgement",
                            -1, &stmt, nullptr);
    rc = eachRow(rc, stmt, [&] {
        Acknowledgement a{column(stmt, 0), sqlite3_column_int64(stmt, 1), std::nullopt,
                          column(stmt, 3)};
        if (sqlite3_column_type(stmt, 2) != SQLITE_NULL)
            a.until = sqlite3_column_int64(stmt, 2);
        loaded->acknowledgements.insert(a.domain, a);
    });
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? StoreStatus::success() : failure(rc);
}

void HistoryStore::append(const HistoryEvent& e)
{
    queue_.append({"INSERT INTO ServerHistory (Domain, At, Aspect, State, Detail) "
                   "VALUES (?, ?, ?, ?, ?)",
                   {e.domain, QVariant::fromValue(e.at), aspectName(e.aspect), e.state, e.detail}});
}

void HistoryStore::saveAcknowledgement(const Acknowledgement& a)
{
    queue_.append({"INSERT OR REPLACE INTO ServerAcknowledgement (Domain, Since, Until, Comment) "
                   "VALUES (?, ?, ?, ?)",
                   {a.domain, QVariant::fromValue(a.since),
                    a.until ? QVariant::fromValue(*a.until) : QVariant(), a.comment}});
}

void HistoryStore::removeAcknowledgement(const QString& domain)
{
    queue_.append({"DELETE FROM ServerAcknowledgement WHERE Domain = ?", {domain}});
}

void HistoryStore::markObserved(qint64 started, qint64 now)
{
    queue_.append({"INSERT OR REPLACE INTO MonitorRun (Started, LastSeen) VALUES (?, ?)",
                   {QVariant::fromValue(started), QVariant::fromValue(now)}});
}

void HistoryStore::prune(qint64 before)
{
    queue_.append({"DELETE FROM ServerHistory WHERE At < ?", {QVariant::fromValue(before)}});
    queue_.append({"DELETE FROM MonitorRun WHERE LastSeen < ?", {QVariant::fromValue(before)}});
}

StoreStatus HistoryStore::flush()
{
    if (queue_.isEmpty())
        return StoreStatus::success();
    const StoreStatus opened = ensureOpen();
    if (!opened.ok())
        return opened;
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_, HistoryTables::Schema, nullptr, nullptr, nullptr);
    for (const Write& write : queue_) {
        if (rc != SQLITE_OK)
            break;
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db_, write.sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            bind(stmt, write.values);
            rc = sqlite3_step(stmt);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        sqlite3_finalize(stmt);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const StoreStatus status = failure(rc); // before the rollback replaces the message
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return status; // everything stays queued for the next flush
    }
    queue_.clear();
    return StoreStatus::success();
}

StoreStatus HistoryStore::read(const QString& domain, qint64 since, QList<HistoryEvent>* events,
                               QList<ObservedSpan>* observed)
{
    events->clear();
    observed->clear();
    const StoreStatus opened = ensureOpen();
    if (!opened.ok())
        return opened;
    sqlite3_stmt* stmt = nullptr;
    // Each aspect's last row before the time too: the state the time began in.
    int rc = sqlite3_prepare_v2(
        db_,
        "SELECT At, Aspect, State, Detail FROM ServerHistory WHERE Domain = ?1 AND (At >= ?2 OR "
        "At = (SELECT max(At) FROM ServerHistory h WHERE h.Domain = ?1 AND h.Aspect = "
        "ServerHistory.Aspect AND h.At < ?2)) ORDER BY At, rowid",
        -1, &stmt, nullptr);
    if (withoutTables(db_, rc)) {
        sqlite3_finalize(stmt);
        return StoreStatus::success(); // no tables yet: no history
    }
    if (rc == SQLITE_OK)
        bind(stmt, {domain, QVariant::fromValue(since)});
    rc = eachRow(rc, stmt, [&] {
        if (const auto aspect = aspectFromName(column(stmt, 1)))
            events->append(
                {domain, sqlite3_column_int64(stmt, 0), *aspect, column(stmt, 2), column(stmt, 3)});
    });
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return failure(rc);
    rc = sqlite3_prepare_v2(db_,
                            "SELECT Started, LastSeen FROM MonitorRun WHERE LastSeen >= ? "
                            "ORDER BY Started",
                            -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        bind(stmt, {QVariant::fromValue(since)});
    rc = eachRow(rc, stmt, [&] {
        observed->append({sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1)});
    });
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? StoreStatus::success() : failure(rc);
}
