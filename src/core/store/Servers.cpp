#include "store/Servers.h"

#include "store/HistoryTables.h"

#include <algorithm>
#include <functional>
#include <utility>

#include <QFileInfo>
#include <sqlite3.h>

namespace
{

void bindText(sqlite3_stmt* stmt, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bindBytes(sqlite3_stmt* stmt, int index, const QByteArray& bytes)
{
    sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void bindRecord(sqlite3_stmt* stmt, const ServerRecord& record)
{
    bindText(stmt, 1, record.domain);
    bindText(stmt, 2, record.serverHost);
    bindText(stmt, 3, record.sshPort);
    bindBytes(stmt, 4, record.serverPassword);
    bindText(stmt, 5, record.raidStatus);
}

const StoreStatus noCurrent =
    StoreStatus::failure(StoreError::NoCurrentRecord, QStringLiteral("No current record."));

} // namespace

Servers::Servers(const QString& fileName, Access access) : fileName_(fileName), access_(access)
{
    openStatus_ = access == Access::ReadOnly ? ServerFile::openReadOnly(fileName_, &db_)
                                             : ServerFile::open(fileName_, &db_);
    if (openStatus_.ok())
        load();
}

Servers::~Servers()
{
    sqlite3_close(db_);
}

StoreStatus Servers::load()
{
    const QList<ServerRecord> previous = std::exchange(records_, {});
    position_ = -1;
    if (!db_) {
        if (openStatus_.error == StoreError::Locked)
            records_ = previous;
        return openStatus_;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql =
        QByteArray("SELECT ") + ServerFile::RecordColumns + " FROM Server ORDER BY ID";
    int rc = sqlite3_prepare_v2(db_, sql.constData(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        records_.append(ServerFile::recordFromRow(stmt));
        rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        if (ServerFile::isLockCode(rc)) {
            records_ = previous; // as last read, until the lock is gone
            position_ = -1;
            return ServerFile::locked(fileName_);
        }
        records_.clear();
        return StoreStatus::failure(StoreError::Failed,
                                    QStringLiteral("Could not read the servers from \"%1\": %2")
                                        .arg(fileName_, QString::fromUtf8(sqlite3_errmsg(db_))));
    }
    position_ = records_.isEmpty() ? -1 : 0;
    return StoreStatus::success();
}

StoreStatus Servers::Refresh()
{
    CancelUpdate();
    // A file that was locked when the view opened may be free by now.
    if (!db_ && openStatus_.error == StoreError::Locked)
        openStatus_ = access_ == Access::ReadOnly ? ServerFile::openReadOnly(fileName_, &db_)
                                                  : ServerFile::open(fileName_, &db_);
    return load();
}

StoreStatus Servers::MoveFirst()
{
    if (records_.isEmpty()) {
        position_ = -1;
        return noCurrent;
    }
    position_ = 0;
    return StoreStatus::success();
}

void Servers::MoveNext()
{
    // Without a current record there is nowhere to go but the end, so that a
    // walk can never stand still.
    if (position_ < 0)
        position_ = records_.size();
    else if (position_ < records_.size())
        ++position_;
}

bool Servers::Eof() const
{
    // An empty table is at its end from the start, so no walk over it can spin.
    return records_.isEmpty() || position_ >= records_.size();
}

bool Servers::hasCurrent() const
{
    return position_ >= 0 && position_ < records_.size();
}

bool Servers::FindFirst(const QString& domain)
{
    for (qsizetype i = 0; i < records_.size(); ++i) {
        if (records_[i].domain == domain) {
            position_ = i;
            return true;
        }
    }
    position_ = -1;
    return false;
}

ServerRecord Servers::current() const
{
    return hasCurrent() ? records_[position_] : ServerRecord{};
}

QString Servers::Domain() const
{
    return current().domain;
}

QString Servers::ServerHost() const
{
    return current().serverHost;
}

QString Servers::SSHPort() const
{
    return current().sshPort;
}

QByteArray Servers::ServerPassword() const
{
    return current().serverPassword;
}

QString Servers::RAID_Status() const
{
    return current().raidStatus;
}

StoreStatus Servers::AddNew()
{
    if (!db_)
        return openStatus_;
    editMode_ = EditMode::Adding;
    buffer_ = ServerRecord{};
    return StoreStatus::success();
}

StoreStatus Servers::Edit()
{
    if (!hasCurrent())
        return noCurrent;
    editMode_ = EditMode::Editing;
    buffer_ = records_[position_];
    return StoreStatus::success();
}

void Servers::CancelUpdate()
{
    editMode_ = EditMode::None;
    buffer_ = ServerRecord{};
}

namespace
{

// Runs work (an SQLite result code, SQLITE_DONE or SQLITE_OK for success) so
// that all of it is saved or none.
int allOrNothing(sqlite3* db, const std::function<int()>& work)
{
    int rc = sqlite3_exec(db, "SAVEPOINT change", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    rc = work();
    if (rc == SQLITE_DONE || rc == SQLITE_OK)
        return sqlite3_exec(db, "RELEASE change", nullptr, nullptr, nullptr) == SQLITE_OK
                   ? SQLITE_DONE
                   : rc;
    sqlite3_exec(db, "ROLLBACK TO change", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "RELEASE change", nullptr, nullptr, nullptr);
    return rc;
}

} // namespace

StoreStatus Servers::writeFailure(int rc) const
{
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        return StoreStatus::failure(StoreError::DuplicateKey,
                                    QStringLiteral("Another server already has this domain."));
    if (ServerFile::isLockCode(rc))
        return ServerFile::locked(fileName_);
    return StoreStatus::failure(
        StoreError::Failed,
        QStringLiteral("Could not save to \"%1\": %2")
            .arg(QFileInfo(fileName_).absoluteFilePath(), QString::fromUtf8(sqlite3_errmsg(db_))));
}

StoreStatus Servers::insertBuffer()
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_,
                                "INSERT INTO Server (Domain, ServerHost, SSHPort, ServerPassword, "
                                "RAID_Status) VALUES (?, ?, ?, ?, ?)",
                                -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        bindRecord(stmt, buffer_);
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return writeFailure(rc);
    buffer_.id = sqlite3_last_insert_rowid(db_);
    records_.append(buffer_);
    // The position stays where it was before AddNew, not on the new record.
    return StoreStatus::success();
}

StoreStatus Servers::updateBuffer()
{
    // The record edited is found by its key, wherever the position went meanwhile.
    const auto edited = std::find_if(records_.begin(), records_.end(),
                                     [this](const ServerRecord& r) { return r.id == buffer_.id; });
    const ServerRecord original = edited != records_.end() ? *edited : ServerRecord{};

    // Only the fields this edit changed are written, so that a view loaded
    // before another view's save does not put that save's other fields back.
    QStringList assignments;
    if (buffer_.domain != original.domain)
        assignments << QStringLiteral("Domain = :domain");
    if (buffer_.serverHost != original.serverHost)
        assignments << QStringLiteral("ServerHost = :host");
    if (buffer_.sshPort != original.sshPort)
        assignments << QStringLiteral("SSHPort = :port");
    if (buffer_.serverPassword != original.serverPassword)
        assignments << QStringLiteral("ServerPassword = :password");
    if (buffer_.raidStatus != original.raidStatus)
        assignments << QStringLiteral("RAID_Status = :raid");
    if (assignments.isEmpty())
        assignments << QStringLiteral("ID = ID"); // still tells whether the record exists
    const QByteArray sql =
        QStringLiteral("UPDATE Server SET %1 WHERE ID = :id").arg(assignments.join(", ")).toUtf8();

    int changed = 0;
    const int rc = allOrNothing(db_, [&] {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.constData(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            const auto bind = [stmt](const char* name) {
                return sqlite3_bind_parameter_index(stmt, name);
            };
            if (int i = bind(":domain"))
                bindText(stmt, i, buffer_.domain);
            if (int i = bind(":host"))
                bindText(stmt, i, buffer_.serverHost);
            if (int i = bind(":port"))
                bindText(stmt, i, buffer_.sshPort);
            if (int i = bind(":password"))
                bindBytes(stmt, i, buffer_.serverPassword);
            if (int i = bind(":raid"))
                bindText(stmt, i, buffer_.raidStatus);
            sqlite3_bind_int64(stmt, bind(":id"), buffer_.id);
            rc = sqlite3_step(stmt);
        }
        sqlite3_finalize(stmt);
        changed = sqlite3_changes(db_);
        // The server's history follows it to its new domain.
        if (rc == SQLITE_DONE && changed > 0 && !original.domain.isEmpty())
            rc = HistoryTables::renameServer(db_, original.domain, buffer_.domain);
        return rc;
    });
    if (rc != SQLITE_DONE)
        return writeFailure(rc);
    if (changed == 0)
        return StoreStatus::failure(
            StoreError::Failed,
            QStringLiteral("The server \"%1\" is no longer in the file.").arg(original.domain));
    if (edited != records_.end())
        *edited = buffer_;
    return StoreStatus::success();
}

StoreStatus Servers::Update()
{
    if (editMode_ == EditMode::None)
        return StoreStatus::failure(StoreError::Failed, QStringLiteral("Nothing to save."));
    if (buffer_.domain.trimmed().isEmpty())
        return StoreStatus::failure(StoreError::Failed, QStringLiteral("A server needs a domain."));
    const StoreStatus status = editMode_ == EditMode::Adding ? insertBuffer() : updateBuffer();
    if (status.ok())
        CancelUpdate();
    return status; // a refused save stays pending with everything in the buffer
}

StoreStatus Servers::Delete()
{
    if (!hasCurrent())
        return noCurrent;
    CancelUpdate();
    const ServerRecord& removed = records_[position_];
    const int rc = allOrNothing(db_, [&] {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, "DELETE FROM Server WHERE ID = ?", -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(stmt, 1, removed.id);
            rc = sqlite3_step(stmt);
        }
        sqlite3_finalize(stmt);
        // Its history and acknowledgement go with it.
        if (rc == SQLITE_DONE)
            rc = HistoryTables::removeServer(db_, removed.domain);
        return rc;
    });
    if (rc != SQLITE_DONE)
        return writeFailure(rc);
    records_.removeAt(position_);
    position_ = -1; // the deleted record was current; there is none now
    return StoreStatus::success();
}
