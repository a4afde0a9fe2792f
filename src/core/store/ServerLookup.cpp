#include "store/ServerLookup.h"

#include <sqlite3.h>

ServerLookup::ServerLookup(const QString& fileName) : fileName_(fileName) {}

ServerLookup::~ServerLookup()
{
    close();
}

void ServerLookup::close()
{
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

StoreStatus ServerLookup::prepare()
{
    if (stmt_)
        return StoreStatus::success();
    close();
    const StoreStatus opened = ServerFile::open(fileName_, &db_);
    if (!opened.ok())
        return opened;
    const QByteArray sql =
        QByteArray("SELECT ") + ServerFile::RecordColumns + " FROM Server WHERE Domain = ?";
    const int rc = sqlite3_prepare_v2(db_, sql.constData(), -1, &stmt_, nullptr);
    if (rc == SQLITE_OK)
        return StoreStatus::success();
    const StoreStatus status =
        ServerFile::isLockCode(rc)
            ? ServerFile::locked(fileName_)
            : StoreStatus::failure(StoreError::Failed,
                                   QStringLiteral("Could not read the servers from \"%1\": %2")
                                       .arg(fileName_, QString::fromUtf8(sqlite3_errmsg(db_))));
    close();
    return status;
}

ServerLookup::Result ServerLookup::find(const QString& domain)
{
    Result result;
    result.status = prepare();
    if (!result.status.ok())
        return result;
    const QByteArray key = domain.toUtf8();
    sqlite3_bind_text(stmt_, 1, key.constData(), int(key.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        result.record = ServerFile::recordFromRow(stmt_);
    else if (rc == SQLITE_DONE)
        result.status = StoreStatus::failure(
            StoreError::NoCurrentRecord,
            QStringLiteral("The server \"%1\" is not in the server file.").arg(domain));
    else if (ServerFile::isLockCode(rc))
        result.status = ServerFile::locked(fileName_);
    else
        result.status = StoreStatus::failure(
            StoreError::Failed, QStringLiteral("Could not read the servers from \"%1\": %2")
                                    .arg(fileName_, QString::fromUtf8(sqlite3_errmsg(db_))));
    // Resetting ends the read, so the file is not kept locked between lookups.
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return result;
}
