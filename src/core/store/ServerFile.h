#pragma once

#include "store/StoreStatus.h"

#include "store/ServerRecord.h"

#include <QString>
#include <chrono>

struct sqlite3;
struct sqlite3_stmt;

// The servers file: an SQLite database holding the table Server.
namespace ServerFile
{

inline constexpr const char* DefaultName = "Servers.mdb";

enum class Check { Quick, Thorough };

// How long one statement waits for another program's lock before it gives
// up with StoreError::Locked; callers try again later from the event loop,
// so a window never waits longer than this at a time.
inline constexpr std::chrono::milliseconds LockWait{50};
// How soon a caller that met a lock tries again.
inline constexpr std::chrono::milliseconds LockRetry{250};
// Why a server check could not read its record.
inline const QString LockedReason = QStringLiteral("the server file is locked by another program");

// The columns of a whole record, in the order recordFromRow reads them.
inline constexpr const char* RecordColumns =
    "ID, Domain, ServerHost, SSHPort, ServerPassword, RAID_Status";
ServerRecord recordFromRow(sqlite3_stmt* stmt);

// An SQLite result code that means another connection holds a lock.
bool isLockCode(int rc);
// StoreError::Locked with a message naming the file.
StoreStatus locked(const QString& fileName);

// Opens the file read-write, creating it with the schema when it is missing.
// A file that is not a servers database is refused and never written to.
// Thorough also verifies every page, for the check at program start.
StoreStatus open(const QString& fileName, sqlite3** db, Check check = Check::Quick);

// Opens an existing file read-only, to read the servers without ever
// writing: a missing file is refused (never created), as is one that another
// program holds locked for writing. Every page is verified, as Thorough does.
StoreStatus openReadOnly(const QString& fileName, sqlite3** db);

// An existing file that other users can read is made owner-only (0600) when
// this user owns it; one of another owner is left as it is. Returns the line
// that says which, or nothing when the file is private already or missing.
QString makePrivate(const QString& fileName);

// A message when the file or its folder cannot be written, else empty.
QString writeProblem(const QString& fileName);

} // namespace ServerFile
