#include "platform/ProcessCpu.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

std::optional<ProcessCpu> readProcessCpu(qint64 pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[1024];
    const ssize_t size = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (size <= 0)
        return std::nullopt;
    // "pid (comm) state ppid ...": comm may hold spaces and parentheses, so
    // the fields are counted from the last ')'.
    const QByteArray line(buffer, size);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // Counted from the state (field 3): utime is field 14, stime field 15.
    if (fields.size() < 13)
        return std::nullopt;
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const long long ticks = fields[11].toLongLong() + fields[12].toLongLong();
    ProcessCpu result;
    result.cpu =
        std::chrono::milliseconds(ticks * 1000 / (ticksPerSecond > 0 ? ticksPerSecond : 100));
    result.runnable = fields[0] == "R";
    return result;
}
