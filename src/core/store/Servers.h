#pragma once

#include "store/ServerFile.h"
#include "store/ServerRecord.h"
#include "store/StoreStatus.h"

#include <QList>
#include <QString>

struct sqlite3;

// A window's own view of the table Server: a snapshot of the records in table
// order, loaded when the view opens and again on Refresh, with a current
// position and record-at-a-time editing. Writes go straight to the file;
// other views see them after their own Refresh.
class Servers
{
public:
    // ReadOnly opens an existing file only and never writes to it; every
    // editing operation then fails.
    enum class Access { ReadWrite, ReadOnly };
    explicit Servers(const QString& fileName = QString::fromLatin1(ServerFile::DefaultName),
                     Access access = Access::ReadWrite);
    ~Servers();
    Servers(const Servers&) = delete;
    Servers& operator=(const Servers&) = delete;

    // Whether the file could be opened; a view that failed to open is empty.
    const StoreStatus& openStatus() const { return openStatus_; }
    const QString& fileName() const { return fileName_; }

    // Re-reads the table; the position goes to the first record.
    StoreStatus Refresh();

    StoreStatus MoveFirst(); // NoCurrentRecord on an empty table
    void MoveNext();
    bool Eof() const; // past the last record; always on an empty table
    bool hasCurrent() const;
    int recordCount() const { return int(records_.size()); }

    // Moves to the first record whose Domain equals the given text exactly.
    // Without a match the view has no current record and false is returned.
    bool FindFirst(const QString& domain);

    // Field reads of the current record; "" without one.
    QString Domain() const;
    QString ServerHost() const;
    QString SSHPort() const;
    QByteArray ServerPassword() const;
    QString RAID_Status() const;
    ServerRecord current() const; // empty record without a current one

    // Record editing: AddNew or Edit starts it, the fields are written into
    // buffer(), Update saves it and CancelUpdate drops it.
    enum class EditMode { None, Adding, Editing };
    StoreStatus AddNew();
    StoreStatus Edit();
    EditMode editMode() const { return editMode_; }
    ServerRecord& buffer() { return buffer_; }
    StoreStatus Update();
    void CancelUpdate();
    StoreStatus Delete();

private:
    StoreStatus load();
    StoreStatus insertBuffer();
    StoreStatus updateBuffer();
    StoreStatus writeFailure(int rc) const;

    QString fileName_;
    Access access_;
    sqlite3* db_ = nullptr;
    StoreStatus openStatus_;
    QList<ServerRecord> records_;
    qsizetype position_ = -1; // -1: no current record; records_.size(): end of table
    EditMode editMode_ = EditMode::None;
    ServerRecord buffer_;
};
