#pragma once

#include <QString>

struct sqlite3;

// The tables the monitor keeps beside Server: the changes of each server's
// verdicts, the times it was watching, and acknowledged problems. A file
// without them is upgraded in place; Server is never touched, so a reader
// that knows only Server reads the file as before.
namespace HistoryTables
{

extern const char* const Schema; // CREATE ... IF NOT EXISTS, for every table

// A server's removal and rename carry over to its history and its
// acknowledgement, when the file has the tables. An SQLite result code.
int removeServer(sqlite3* db, const QString& domain);
int renameServer(sqlite3* db, const QString& from, const QString& to);

} // namespace HistoryTables
