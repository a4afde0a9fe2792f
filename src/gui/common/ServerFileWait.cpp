#include "common/ServerFileWait.h"

#include "store/ServerFile.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <sqlite3.h>

namespace
{

StoreStatus tryOpen(const QString& fileName)
{
    sqlite3* db = nullptr;
    const StoreStatus status = ServerFile::open(fileName, &db, ServerFile::Check::Thorough);
    sqlite3_close(db);
    return status;
}

} // namespace

StoreStatus openServerFileWaitingForLock(const QString& fileName, const QString& title)
{
    StoreStatus status = tryOpen(fileName);
    if (status.error != StoreError::Locked)
        return status;

    QMessageBox box(QMessageBox::Warning, title,
                    status.message + QStringLiteral("\n\nWaiting for it to be released..."),
                    QMessageBox::Cancel);
    box.setObjectName(QStringLiteral("ServerFileWait"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Give Up"));
    QTimer retry;
    retry.setInterval(ServerFile::LockRetry);
    QObject::connect(&retry, &QTimer::timeout, &box, [&] {
        status = tryOpen(fileName);
        if (status.error != StoreError::Locked)
            box.accept();
    });
    retry.start();
    box.exec(); // given up: the status still says Locked
    return status;
}
