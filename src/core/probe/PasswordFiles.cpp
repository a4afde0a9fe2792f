#include "probe/PasswordFiles.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{

// The per-user runtime folder when there is one (memory-backed, private),
// else the temporary folder.
QString baseFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime;
    return QDir::tempPath();
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

const QString FolderPrefix = QStringLiteral("vemo-pw-");

// A removal that failed: said on standard error, as no window may be left to say it.
void reportUnremoved(const char* what, const QString& path, const QString& why)
{
    std::fprintf(stderr, "cannot remove the password %s \"%s\": %s\n", what,
                 QFile::encodeName(path).constData(), why.toLocal8Bit().constData());
}

const QString FolderNotEmptied = QStringLiteral("not everything in it could be removed");

// Folders of earlier runs of this program that ended without clearing up
// (killed, crashed): ours by owner, and their process is gone.
void removeStaleFoldersIn(const QString& base)
{
    const QFileInfoList entries =
        QDir(base).entryInfoList({FolderPrefix + QStringLiteral("*-*")}, QDir::Dirs | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || entry.ownerId() != ::getuid())
            continue;
        bool number = false;
        const qint64 pid = entry.fileName()
                               .mid(FolderPrefix.size())
                               .section(QLatin1Char('-'), 0, 0)
                               .toLongLong(&number);
        if (!number || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH &&
            !QDir(entry.filePath()).removeRecursively())
            reportUnremoved("folder", entry.filePath(), FolderNotEmptied);
    }
}

} // namespace

void PasswordFiles::removeStaleFolders()
{
    removeStaleFoldersIn(baseFolder());
}

std::optional<QString> passwordFileProblem(const QString& password)
{
    for (QChar c : password) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.unicode() == 0)
            return QStringLiteral("the password holds a line break or NUL, which plink cannot "
                                  "be given");
    }
    return std::nullopt;
}

PasswordPipe writePasswordPipe(const QString& password)
{
    PasswordPipe result;
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.problem = QStringLiteral("cannot make the password pipe: ") + errnoText();
        return result;
    }
    // The pipe's buffer takes any password at once; a write that would have to
    // wait for a reader fails instead of hanging the program.
    if (::fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) {
        result.problem = QStringLiteral("cannot make the password pipe: ") + errnoText();
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    const QByteArray content = password.toUtf8() + '\n';
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fds[1], content.constData() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    ::close(fds[1]);
    if (written != content.size()) {
        ::close(fds[0]);
        result.problem = QStringLiteral("the password is too long to hand over");
        return result;
    }
    result.readFd = fds[0];
    return result;
}

QString inheritedFilePath(int fd)
{
    return QStringLiteral("/dev/fd/%1").arg(fd);
}

PasswordFiles::~PasswordFiles()
{
    removeAll();
}

bool PasswordFiles::ensureFolder(QString* problem)
{
    if (!folder_.isEmpty() && QFileInfo(folder_).isDir())
        return true;
    const QString base = baseFolder();
    removeStaleFoldersIn(base);
    // mkdtemp creates the folder with mode 0700 under an unguessable name; the
    // process id in it tells a later run whether its owner is still alive.
    QByteArray pattern = QFile::encodeName(base + QLatin1Char('/') + FolderPrefix +
                                           QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        *problem = QStringLiteral("cannot create the password folder: ") + errnoText();
        return false;
    }
    folder_ = QFile::decodeName(pattern);
    return true;
}

PasswordFiles::Written PasswordFiles::write(const QString& password)
{
    Written result;
    if (!ensureFolder(&result.problem))
        return result;
    const QString path = folder_ + QStringLiteral("/pw-%1").arg(++serial_);
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        result.problem = QStringLiteral("cannot write the password file: ") + errnoText();
        return result;
    }
    const QByteArray content = password.toUtf8() + '\n';
    qsizetype written = 0;
    QString writeError;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Read now: close() below may change errno, and a write of 0 bytes sets none.
            writeError = n < 0 ? errnoText() : QStringLiteral("nothing could be written");
            break;
        }
        written += n;
    }
    ::close(fd);
    if (written != content.size()) {
        result.problem = QStringLiteral("cannot write the password file: ") + writeError;
        ::unlink(name.constData());
        return result;
    }
    result.path = path;
    return result;
}

void PasswordFiles::remove(const QString& path)
{
    if (path.isEmpty() || ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return;
    reportUnremoved("file", path, errnoText());
    unremoved_ << path;
}

void PasswordFiles::removeAll()
{
    for (const QString& path : std::as_const(unremoved_)) {
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
            reportUnremoved("file", path, errnoText());
    }
    unremoved_.clear();
    if (folder_.isEmpty())
        return;
    if (!QDir(folder_).removeRecursively())
        reportUnremoved("folder", folder_, FolderNotEmptied);
    folder_.clear();
}
