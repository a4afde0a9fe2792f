#include "store/ServerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
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

// Why a file cannot even be looked at (a folder on its path that may not be
// entered): nothing when it exists or is plainly missing.
std::optional<StoreStatus> unreachable(const QString& fileName)
{
    struct stat info {
    };
    if (::stat(QFile::encodeName(fileName).constData(), &info) == 0 || errno == ENOENT)
        return std::nullopt;
    return refuse(
        fileName,
        QStringLiteral("cannot be read: %1.").arg(QString::fromLocal8Bit(std::strerror(errno))));
}

// Why an existing file cannot be a servers file: it is no file, cannot be
// read (and why), or is no SQLite file; nothing when it may be one.
// An empty file of mode 0600 at the name (an empty file is an empty
// database); where that fails SQLite's own attempt says why.
void createPrivate(const QString& fileName)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    ::fchmod(fd, 0600); // the umask may have taken more than the others' bits
    ::close(fd);
}

std::optional<StoreStatus> existingFileProblem(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return refuse(fileName, QStringLiteral("is not a file."));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(
            fileName,
            QStringLiteral("cannot be read: %1. It was left unchanged.").arg(file.errorString()));
    static const QByteArray magic("SQLite format 3\0", 16);
    if (file.size() < 100 || file.read(16) != magic)
        return refuse(fileName, QStringLiteral("is not a database of this program (it is not an "
                                               "SQLite file). It was left unchanged."));
    return std::nullopt;
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
    if (!queryTexts(db, "SELECT name FROM pragma_table_info('Server')", &columns, &rc))
        return refuseOrLocked(fileName, rc,
                              QStringLiteral("cannot be read (%1). It was left unchanged.")
                                  .arg(QString::fromUtf8(sqlite3_errstr(rc))));
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

namespace
{

// Opens the file with flags, lets statements wait busy for another program's
// lock, and verifies it; a file that fails is closed again.
StoreStatus openVerified(const QString& fileName, sqlite3** db, int flags,
                         std::chrono::milliseconds busy, Check check, bool mayCreate)
{
    sqlite3* handle = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(fileName).constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        sqlite3_close(handle);
        return refuse(fileName, (flags & SQLITE_OPEN_CREATE)
                                    ? QStringLiteral("cannot be created: %1.").arg(why)
                                    : QStringLiteral("cannot be opened: %1.").arg(why));
    }
    sqlite3_busy_timeout(handle, int(busy.count()));
    sqlite3_extended_result_codes(handle, 1);
    const StoreStatus status = verify(handle, fileName, check, mayCreate);
    if (!status.ok()) {
        sqlite3_close(handle);
        return status;
    }
    *db = handle;
    return status;
}

} // namespace

StoreStatus open(const QString& fileName, sqlite3** db, Check check)
{
    *db = nullptr;
    if (std::optional<StoreStatus> problem = unreachable(fileName))
        return *problem;
    const QFileInfo info(fileName);
    const bool existed = info.exists();
    // A link to nowhere would have the file created wherever the link points.
    if (info.isSymLink() && !existed)
        return refuse(fileName, QStringLiteral("is a symbolic link to \"%1\", which does not "
                                               "exist. Nothing was created.")
                                    .arg(QDir::toNativeSeparators(info.symLinkTarget())));
    if (existed) {
        if (std::optional<StoreStatus> problem = existingFileProblem(fileName))
            return *problem;
    }
    // A new file is made only at the name itself, never through a link that
    // appeared since the test above. It holds every password: it is made
    // owner-only whatever the umask, and SQLite gives its journal the same mode.
    if (!existed)
        createPrivate(fileName);
    const int flags =
        SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW);
    const StoreStatus status = openVerified(fileName, db, flags, LockWait, check, true);
    if (!status.ok() && !existed)
        QFile::remove(fileName); // never leave a half-made file behind
    return status;
}

StoreStatus openReadOnly(const QString& fileName, sqlite3** db)
{
    *db = nullptr;
    if (std::optional<StoreStatus> problem = unreachable(fileName))
        return *problem;
    if (!QFileInfo::exists(fileName))
        return refuse(fileName, QStringLiteral("does not exist."));
    if (std::optional<StoreStatus> problem = existingFileProblem(fileName))
        return *problem;
    // A save by another program holds the file for moments; a longer hold is a lock.
    return openVerified(fileName, db, SQLITE_OPEN_READONLY, std::chrono::milliseconds(2000),
                        Check::Thorough, false);
}

QString makePrivate(const QString& fileName)
{
    struct stat info {
    };
    const QByteArray path = QFile::encodeName(fileName);
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_mode & 077) == 0)
        return {};
    if (info.st_uid != ::geteuid())
        return QStringLiteral("Warning: the server file \"%1\" holds the servers' passwords, and "
                              "other users can read it; it belongs to another user, so it was "
                              "left as it is. Its owner can make it private with chmod 600.")
            .arg(shown(fileName));
    if (::chmod(path.constData(), 0600) != 0)
        return QStringLiteral("Warning: the server file \"%1\" holds the servers' passwords, and "
                              "other users can read it; it could not be made private: %2.")
            .arg(shown(fileName), QString::fromLocal8Bit(std::strerror(errno)));
    return QStringLiteral("The server file \"%1\" holds the servers' passwords and other users "
                          "could read it: it is private now (mode 0600).")
        .arg(shown(fileName));
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
