#pragma once

#include "store/StoreStatus.h"

#include <QString>

struct sqlite3;

// The servers file: an SQLite database holding the table Server.
namespace ServerFile
{

inline constexpr const char* DefaultName = "Servers.mdb";

enum class Check { Quick, Thorough };

// Opens the file read-write, creating it with the schema when it is missing.
// A file that is not a servers database is refused and never written to.
// Thorough also verifies every page, for the check at program start.
StoreStatus open(const QString& fileName, sqlite3** db, Check check = Check::Quick);

// Opens an existing file read-only, to read the servers without ever
// writing: a missing file is refused (never created), as is one that another
// program holds locked for writing. Every page is verified, as Thorough does.
StoreStatus openReadOnly(const QString& fileName, sqlite3** db);

// A message when the file or its folder cannot be written, else empty.
QString writeProblem(const QString& fileName);

} // namespace ServerFile
