#include "store/HistoryTables.h"

#include <sqlite3.h>

namespace HistoryTables
{

const char* const Schema = R"(
CREATE TABLE IF NOT EXISTS ServerHistory (
    Domain TEXT NOT NULL,
    At INTEGER NOT NULL,
    Aspect TEXT NOT NULL,
    State TEXT NOT NULL,
    Detail TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS ServerHistoryByDomain ON ServerHistory (Domain, At);
CREATE TABLE IF NOT EXISTS MonitorRun (
    Started INTEGER PRIMARY KEY,
    LastSeen INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS ServerAcknowledgement (
    Domain TEXT PRIMARY KEY,
    Since INTEGER NOT NULL,
    Until INTEGER,
    Comment TEXT NOT NULL DEFAULT ''
);
)";

namespace
{

bool hasHistory(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'ServerHistory'", -1,
        &stmt, nullptr);
    const bool found = rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

int run(sqlite3* db, const char* sql, const QString& first, const QString& second = {})
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    const QByteArray a = first.toUtf8(), b = second.toUtf8();
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, a.constData(), int(a.size()), SQLITE_STATIC);
        if (sqlite3_bind_parameter_count(stmt) > 1)
            sqlite3_bind_text(stmt, 2, b.constData(), int(b.size()), SQLITE_STATIC);
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

} // namespace

int removeServer(sqlite3* db, const QString& domain)
{
    if (!hasHistory(db))
        return SQLITE_OK;
    int rc = run(db, "DELETE FROM ServerHistory WHERE Domain = ?", domain);
    if (rc == SQLITE_OK)
        rc = run(db, "DELETE FROM ServerAcknowledgement WHERE Domain = ?", domain);
    return rc;
}

int renameServer(sqlite3* db, const QString& from, const QString& to)
{
    if (!hasHistory(db) || from == to)
        return SQLITE_OK;
    int rc = run(db, "UPDATE ServerHistory SET Domain = ?2 WHERE Domain = ?1", from, to);
    if (rc == SQLITE_OK)
        rc = run(db, "UPDATE ServerAcknowledgement SET Domain = ?2 WHERE Domain = ?1", from, to);
    return rc;
}

} // namespace HistoryTables
