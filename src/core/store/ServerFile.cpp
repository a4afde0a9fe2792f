#include "store/ServerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

namespace ServerFile
{
namespace
{

constexpr const char* Schema = R"(
CREATE TABLE Server (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Domain TEXT NOT NULL UNIQUE CHECK (length(trim(Domain)) > 0),
    ServerHost TEXT,
    SSHPort TEXT,
    ServerPassword BLOB,
    RAID_Status TEXT
))";

const char* const Fields[] = {"ID",      "Domain",         "ServerHost",
                              "SSHPort", "ServerPassword", "RAID_Status"};

QString shown(const QString& fileName)
{
    return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
}

StoreStatus refuseOrLocked(const QString& fileName, int rc, const QString& why);

StoreStatus refuse(const QString& fileName, const QString& why)
{
    return StoreStatus::failure(
        StoreError::Failed, QStringLiteral("The server file \"%1\" %2").arg(shown(fileName), why));
}

bool hasSqliteHeader(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray magic("SQLite format 3\0", 16);
    return file.size() >= 100 && file.read(16) == magic;
}

// Runs a statement returning rows of text in the first column.
bool queryTexts(sqlite3* db, const char* sql, QStringList* out, int* rc)
{
    sqlite3_stmt* stmt = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (*rc != SQLITE_OK)
        return false;
    while ((*rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        out->append(QString::fromUtf8(text ? text : ""));
    }
    sqlite3_finalize(stmt);
    if (*rc == SQLITE_DONE)
        *rc = SQLITE_OK;
    return *rc == SQLITE_OK;
}

StoreStatus createSchema(sqlite3* db, const QString& fileName)
{
    char* error = nullptr;
    const QByteArray sql = QByteArray("BEGIN;") + Schema + ";COMMIT;";
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString why = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return refuse(fileName, QStringLiteral("could not be set up: %1.").arg(why));
    }
    return StoreStatus::success();
}

StoreStatus verify(sqlite3* db, const QString& fileName, Check check, bool mayCreate = true)
{
    QStringList tables;
    int rc = SQLITE_OK;
    if (!queryTexts(db, "SELECT name FROM sqlite_master WHERE type = 'table'", &tables, &rc))
        return refuseOrLocked(fileName, rc,
                              QStringLiteral("is damaged and cannot be read (%1). It was left "
                                             "unchanged.")
                                  .arg(QString::fromUtf8(sqlite3_errstr(rc))));
    if (tables.isEmpty() && mayCreate)
        return createSchema(db, fileName);
    if (!tables.contains(QStringLiteral("Server")))
        return refuse(fileName, QStringLiteral("is an SQLite database without a Server table. "
                                               "It was left unchanged."));
    QStringList columns;
    if (!queryTexts(db, "SELECT name FROM pragma_table_info('Server')", &columns, &rc) &&
        isLockCode(rc))
        return locked(fileName);
    for (const char* field : Fields) {
        if (!columns.contains(QString::fromLatin1(field)))
            return refuse(fileName, QStringLiteral("has a Server table without the field %1. It "
                                                   "was left unchanged.")
                                        .arg(QString::fromLatin1(field)));
    }
    if (check == Check::Thorough) {
        QStringList verdict;
        if (!queryTexts(db, "PRAGMA quick_check", &verdict, &rc) && isLockCode(rc))
            return locked(fileName);
        if (rc != SQLITE_OK || verdict != QStringList{"ok"})
            return refuse(fileName,
                          QStringLiteral("is damaged (%1). It was left unchanged.")
                              .arg(verdict.isEmpty() ? QString::fromUtf8(sqlite3_errstr(rc))
                                                     : verdict.first()));
    }
    return StoreStatus::success();
}

StoreStatus refuseOrLocked(const QString& fileName, int rc, const QString& why)
{
    return isLockCode(rc) ? locked(fileName) : refuse(fileName, why);
}

// The whole text by its length: a NUL inside it (a client passes NUL through
// to its output, and so into RAID_Status) does not end it.
QString columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)) : QString();
}

QByteArray columnBytes(sqlite3_stmt* stmt, int column)
{
    const void* bytes = sqlite3_column_blob(stmt, column);
    return QByteArray(static_cast<const char*>(bytes), sqlite3_column_bytes(stmt, column));
}

} // namespace

ServerRecord recordFromRow(sqlite3_stmt* stmt)
{
    return ServerRecord{sqlite3_column_int64(stmt, 0), columnText(stmt, 1),  columnText(stmt, 2),
                        columnText(stmt, 3),           columnBytes(stmt, 4), columnText(stmt, 5)};
}

bool isLockCode(int rc)
{
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

StoreStatus locked(const QString& fileName)
{
    return StoreStatus::failure(
        StoreError::Locked, QStringLiteral("The server file \"%1\" is locked by another program.")
                                .arg(shown(fileName)));
}

StoreStatus open(const QString& fileName, sqlite3** db, Check check)
{
    *db = nullptr;
    const QByteArray path = QFile::encodeName(fileName);
    const QFileInfo info(fileName);
    const bool existed = info.exists();
    // A link to nowhere would have the file created wherever the link points.
    if (info.isSymLink() && !existed)
        return refuse(fileName, QStringLiteral("is a symbolic link to \"%1\", which does not "
                                               "exist. Nothing was created.")
                                    .arg(QDir::toNativeSeparators(info.symLinkTarget())));
    if (existed && !info.isFile())
        return refuse(fileName, QStringLiteral("is not a file."));
    if (existed && !hasSqliteHeader(fileName))
        return refuse(fileName, QStringLiteral("is not a database of this program (it is not an "
                                               "SQLite file). It was left unchanged."));

    // A new file is made only at the name itself, never through a link that
    // appeared since the test above.
    const int flags =
        SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW);
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        sqlite3_close(handle);
        return refuse(fileName, existed ? QStringLiteral("cannot be opened: %1.").arg(why)
                                        : QStringLiteral("cannot be created: %1.").arg(why));
    }
    sqlite3_busy_timeout(handle, int(LockWait.count()));
    sqlite3_extended_result_codes(handle, 1);

    StoreStatus status = verify(handle, fileName, check);
    if (!status.ok()) {
        sqlite3_close(handle);
        if (!existed)
            QFile::remove(fileName); // never leave a half-made file behind
        return status;
    }
    *db = handle;
    return status;
}

StoreStatus openReadOnly(const QString& fileName, sqlite3** db)
{
    *db = nullptr;
    if (!QFileInfo::exists(fileName))
        return refuse(fileName, QStringLiteral("does not exist."));
    if (!QFileInfo(fileName).isFile())
        return refuse(fileName, QStringLiteral("is not a file."));
    if (!hasSqliteHeader(fileName))
        return refuse(fileName, QStringLiteral("is not a database of this program (it is not an "
                                               "SQLite file). It was left unchanged."));
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &handle,
                                   SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        sqlite3_close(handle);
        return refuse(fileName, QStringLiteral("cannot be opened: %1.").arg(why));
    }
    // A save by another program holds the file for moments; a longer hold is a lock.
    sqlite3_busy_timeout(handle, 2000);
    sqlite3_extended_result_codes(handle, 1);
    const int read =
        sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if ((read & 0xff) == SQLITE_BUSY || (read & 0xff) == SQLITE_LOCKED) {
        sqlite3_close(handle);
        return refuse(fileName, QStringLiteral("is locked by another program. Try again when it "
                                               "is done."));
    }
    StoreStatus status = verify(handle, fileName, Check::Thorough, false);
    if (!status.ok()) {
        sqlite3_close(handle);
        return status;
    }
    *db = handle;
    return status;
}

QString writeProblem(const QString& fileName)
{
    const QFileInfo info(fileName);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    if (::access(folder.constData(), W_OK) != 0)
        return QStringLiteral("The folder of the server file \"%1\" is read-only: changes to "
                              "the servers cannot be saved.")
            .arg(shown(fileName));
    if (info.exists() && ::access(QFile::encodeName(fileName).constData(), W_OK) != 0)
        return QStringLiteral("The server file \"%1\" is read-only: changes to the servers "
                              "cannot be saved.")
            .arg(shown(fileName));
    return {};
}

} // namespace ServerFile
