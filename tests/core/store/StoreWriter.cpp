// store_writer FILE COUNT: saves servers "writer0", "writer1", ... into FILE
// and prints each one's number once it is saved. The record after COUNT stops
// in the middle of its commit, with its journal written and the first page
// written into FILE itself, prints "open" and waits to be killed.
#include "store/Passwords.h"
#include "store/Servers.h"

#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <unistd.h>

namespace
{

int holdAt = -1;
int current = -1;

// The default file system with one change: a write into a database file
// itself stops the held record's save.
sqlite3_vfs* base = nullptr;
sqlite3_vfs writes;
const sqlite3_io_methods* baseMethods = nullptr;
sqlite3_io_methods databaseMethods;

int writeDatabase(sqlite3_file* file, const void* data, int size, sqlite3_int64 offset)
{
    const int rc = baseMethods->xWrite(file, data, size, offset);
    if (current == holdAt) {
        std::printf("open\n");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    return rc;
}

int openFile(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    const int rc = base->xOpen(base, name, file, flags, outFlags);
    if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) && file->pMethods) {
        baseMethods = file->pMethods;
        databaseMethods = *baseMethods;
        databaseMethods.xWrite = writeDatabase;
        file->pMethods = &databaseMethods;
    }
    return rc;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    holdAt = std::atoi(argv[2]);
    base = sqlite3_vfs_find(nullptr);
    writes = *base;
    writes.zName = "store-writer";
    writes.xOpen = openFile;
    sqlite3_vfs_register(&writes, 1);
    Servers view(QString::fromLocal8Bit(argv[1]));
    if (!view.openStatus().ok())
        return 1;
    const QString bulk(200000, QChar('m'));
    for (int i = 0;; ++i) {
        view.AddNew();
        ServerRecord& record = view.buffer();
        record.domain = QStringLiteral("writer%1").arg(i);
        record.serverPassword = ScramblePassword(QByteArray("pw") + QByteArray::number(i));
        record.raidStatus = bulk + QString::number(i);
        current = i;
        if (!view.Update().ok())
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
