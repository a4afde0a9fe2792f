#include "support/Processes.h"

#include "probe/Runner.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

QByteArray procEntry(qint64 pid, const char* entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace
{

// The state and parent fields of /proc/<pid>/stat, after the command name.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray stat = procEntry(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : stat.mid(close + 2).split(' ');
}

// The live (not zombie) children of parent, whatever they run.
QList<qint64> liveChildren(qint64 parent)
{
    QList<qint64> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() >= 2 && fields[0] != "Z" && fields[1].toLongLong() == parent)
            found << pid;
    }
    return found;
}

} // namespace

QList<qint64> childProcesses(qint64 parent, const QByteArray& name)
{
    QList<qint64> found = liveChildren(parent);
    found.removeIf([&](qint64 pid) {
        return procEntry(pid, "comm").trimmed() != name || procEntry(pid, "cmdline").isEmpty();
    });
    return found;
}

QList<qint64> childProcesses(const QByteArray& name)
{
    return childProcesses(::getpid(), name);
}

QStringList commandLineOf(qint64 pid)
{
    QByteArray raw = procEntry(pid, "cmdline");
    if (raw.endsWith('\0'))
        raw.chop(1);
    QStringList args;
    for (const QByteArray& arg : raw.split('\0'))
        args << QString::fromUtf8(arg);
    return args;
}

bool isRunning(qint64 pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return !fields.isEmpty() && fields[0] != "Z";
}

QString processStartTime(qint64 pid)
{
    return QString::fromLatin1(statFields(pid).value(19));
}

int modeOf(const QString& path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

QStringList passwordFiles()
{
    const QString folder = Runner::instance().passwordFolder();
    return folder.isEmpty() ? QStringList() : QDir(folder).entryList(QDir::Files);
}

QStringList passwordFilesSince(const QStringList& before)
{
    QStringList added = passwordFiles();
    added.removeIf([&](const QString& file) { return before.contains(file); });
    return added;
}

ClientTrace clientTrace()
{
    return {liveChildren(::getpid()), passwordFiles()};
}

QStringList clientsSince(const ClientTrace& before)
{
    QStringList started;
    for (qint64 pid : liveChildren(::getpid())) {
        if (!before.children.contains(pid))
            started << QStringLiteral("child %1: %2").arg(pid).arg(commandLineOf(pid).join(u' '));
    }
    for (const QString& file : passwordFilesSince(before.passwordFiles))
        started << QStringLiteral("password file ") + file;
    return started;
}

qint64 endedProcessId()
{
    QProcess ended;
    ended.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
    if (!ended.waitForStarted())
        return 0;
    const qint64 pid = ended.processId();
    ended.kill();
    ended.waitForFinished();
    return pid;
}
