#include "platform/FolderLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

// The process holding an flock on the folder, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 4711 fe:00:10953892 0 EOF" (device in hex, then
// the inode). Some file systems report another device there than stat does,
// so a lone match by inode counts too. 0 when not found.
qint64 lockHolder(const struct stat& folder)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray device = QByteArray::number(major(folder.st_dev), 16).rightJustified(2, '0') +
                              ':' +
                              QByteArray::number(minor(folder.st_dev), 16).rightJustified(2, '0');
    const QByteArray inode = QByteArray::number(quint64(folder.st_ino));
    qint64 exact = 0, byInode = 0;
    int inodeMatches = 0;
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Waiting requests ("1: -> FLOCK ...") hold nothing.
        if (fields.size() < 6 || fields[1] != "FLOCK")
            continue;
        const QList<QByteArray> id = fields[5].split(':');
        if (id.size() != 3 || id[2] != inode)
            continue;
        const qint64 pid = fields[4].toLongLong();
        if (id[0] + ':' + id[1] == device)
            exact = pid;
        byInode = pid;
        ++inodeMatches;
    }
    return exact ? exact : inodeMatches == 1 ? byInode : 0;
}

} // namespace

QString takeWorkingFolderLock()
{
    // Close-on-exec: a client that outlives the program (a putty login) must
    // not go on holding the folder.
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {}; // held, through fd, until the program ends
    const int error = errno;
    struct stat folder {
    };
    const qint64 holder = ::fstat(fd, &folder) == 0 ? lockHolder(folder) : 0;
    ::close(fd);
    if (error != EWOULDBLOCK)
        return {};
    const QString where = QDir::toNativeSeparators(QDir::currentPath());
    const QString who = holder > 0 ? QStringLiteral("process %1").arg(holder)
                                   : QStringLiteral("its process id could not be found");
    return QStringLiteral("Quillfern Remote Server Monitor is already running in the folder \"%1\" "
                          "(%2). Only one copy can check the servers of a folder; this one "
                          "closes without touching its files.")
        .arg(where, who);
}
