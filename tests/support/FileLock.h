#pragma once

// Another program's write lock on a servers file: a second SQLite connection
// that holds BEGIN EXCLUSIVE until release() or its end.

#include <QFile>
#include <QString>
#include <sqlite3.h>

class ExclusiveLock
{
public:
    explicit ExclusiveLock(const QString& fileName)
    {
        if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db_, SQLITE_OPEN_READWRITE,
                            nullptr) == SQLITE_OK)
            held_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~ExclusiveLock() { release(); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    bool held() const { return held_; }
    void release()
    {
        if (held_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        held_ = false;
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};
