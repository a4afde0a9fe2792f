#pragma once

#include "store/ServerFile.h"
#include "store/ServerRecord.h"
#include "store/StoreStatus.h"

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Finds one server's record by its Domain, as the file holds it at that
// moment: one read through the unique index on Domain, so the cost does not
// grow with the number of servers. One connection and one prepared statement
// serve every lookup; the file is opened at the first one. No widgets.
class ServerLookup
{
public:
    explicit ServerLookup(const QString& fileName = QString::fromLatin1(ServerFile::DefaultName));
    ~ServerLookup();
    ServerLookup(const ServerLookup&) = delete;
    ServerLookup& operator=(const ServerLookup&) = delete;

    struct Result {
        // ok: record holds the server. NoCurrentRecord: no server has this
        // domain. Locked: another program holds the file locked (it waited
        // ServerFile::LockWait at most); worth asking again later.
        // Failed: the file cannot be read; the message says why.
        StoreStatus status;
        ServerRecord record;
    };
    Result find(const QString& domain);

private:
    StoreStatus prepare();
    void close();

    QString fileName_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};
