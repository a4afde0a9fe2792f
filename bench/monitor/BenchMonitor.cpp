// One whole check cycle of the real monitor window over N servers, offscreen:
// a Servers.mdb of N records spread over a few fixture SSH servers on
// 127.0.0.1 (each server answers for many domains), the window's activation,
// and the wait until the cycle has ended and the window is idle again.
// Prints the cycle's wall and CPU time, the process's peak RSS, the most
// clients and open files at once, and how the rows ended, with the reasons
// of the offline ones grouped.
//
//     bench_monitor [--fixtures K] [--keep-file-limit] [N ...]
//                                        default: 4 fixture servers, N = 200 500
//
// Like the program's start-up it first raises its soft limit on open files
// to the hard limit; --keep-file-limit leaves the limit as it was inherited.
//
// Exits 1 when a row did not end "Online" (every fixture server is healthy,
// so each such row is a fault) or the cycle did not end.

#include "app/Module.h"
#include "app/OpenFileLimit.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"
#include "probe/Runner.h"
#include "support/FixtureServers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QTableWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/resource.h>

namespace
{

// Far beyond the runner's own deadline for a client: a cycle still open
// then is stuck.
constexpr int CycleLimitMs = 600000;
constexpr int SampleMs = 10;

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct Usage {
    double self = 0;     // user + system CPU of this process
    double children = 0; // of the clients reaped so far
    long maxRssKb = 0;
};

Usage usage()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return {seconds(self.ru_utime) + seconds(self.ru_stime),
            seconds(children.ru_utime) + seconds(children.ru_stime), self.ru_maxrss};
}

int openFileCount()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (readdir(dir))
        ++count;
    closedir(dir);
    return count - 3; // ".", ".." and the directory itself
}

QString limitText(int resource)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0)
        return QStringLiteral("?");
    const auto text = [](rlim_t value) {
        return value == RLIM_INFINITY ? QStringLiteral("unlimited") : QString::number(value);
    };
    return text(limit.rlim_cur) + QLatin1Char('/') + text(limit.rlim_max);
}

bool writeServersFile(const std::vector<FixtureServer*>& servers, int count)
{
    Servers view;
    if (!view.openStatus().ok())
        return false;
    for (int i = 0; i < count; ++i) {
        if (!view.AddNew().ok())
            return false;
        const qint64 id = view.buffer().id;
        const FixtureServer& server = *servers[size_t(i) % servers.size()];
        view.buffer() =
            server.record(QStringLiteral("bench-%1.example").arg(i + 1, 4, 10, QChar('0')));
        view.buffer().id = id;
        if (!view.Update().ok())
            return false;
    }
    return true;
}

bool isIdle(Main& main)
{
    const auto* refresh = main.findChild<QAbstractButton*>(QStringLiteral("RefreshBut"));
    const auto* skip = main.findChild<QAbstractButton*>(QStringLiteral("SkipBut"));
    return !module().busy && refresh && refresh->isEnabled() && skip && !skip->isEnabled() &&
           main.grid().mousePointer() == ServersGrid::DefaultPointer;
}

struct CycleResult {
    bool ended = false;
    double wall = 0;
    Usage before, after;
    int peakClients = 0;
    int peakFiles = 0;
    int online = 0;
    int offline = 0;
    QMap<QString, int> offlineReasons;
    QMap<QString, int> otherStatus; // neither verdict: the cycle left them
    int leftoverTempFiles = 0;
};

CycleResult runCycle(Main& main)
{
    CycleResult result;
    QEventLoop loop;
    QTimer sampler;
    sampler.setInterval(SampleMs);
    QObject::connect(&sampler, &QTimer::timeout, &loop, [&] {
        result.peakClients = std::max(result.peakClients, Runner::instance().runningCount());
        result.peakFiles = std::max(result.peakFiles, openFileCount());
        if (isIdle(main))
            loop.quit();
    });
    QTimer::singleShot(CycleLimitMs, &loop, &QEventLoop::quit);

    result.before = usage();
    QElapsedTimer clock;
    clock.start();
    main.Form_Activate();
    sampler.start();
    loop.exec();
    result.wall = clock.nsecsElapsed() / 1e9;
    result.after = usage();
    result.ended = isIdle(main);

    const ServersGrid& grid = main.grid();
    for (int row = 1; row < grid.rows(); ++row) {
        const QString status = grid.textMatrix(row, 1);
        if (status == QLatin1String("Online")) {
            ++result.online;
        } else if (status == QLatin1String("!!!Offline!!!")) {
            ++result.offline;
            const QTableWidgetItem* cell = grid.widget()->item(row - 1, 1);
            ++result.offlineReasons[cell ? cell->toolTip() : QString()];
        } else {
            ++result.otherStatus[status];
        }
    }
    result.leftoverTempFiles = int(
        QDir::current().entryList({QStringLiteral("~karu*")}, QDir::Files | QDir::Hidden).size());
    return result;
}

void report(QTextStream& out, int n, const CycleResult& r)
{
    out << QStringLiteral("N=%1  wall %2 s  CPU %3 s (monitor) + %4 s (clients)  peak RSS %5 MiB")
               .arg(n)
               .arg(r.wall, 0, 'f', 2)
               .arg(r.after.self - r.before.self, 0, 'f', 2)
               .arg(r.after.children - r.before.children, 0, 'f', 2)
               .arg(r.after.maxRssKb / 1024.0, 0, 'f', 1)
        << Qt::endl;
    out << QStringLiteral(
               "      online %1  offline %2  clients at once %3  open files at once %4 (sampled)")
               .arg(r.online)
               .arg(r.offline)
               .arg(r.peakClients)
               .arg(r.peakFiles)
        << Qt::endl;
    for (auto it = r.offlineReasons.cbegin(); it != r.offlineReasons.cend(); ++it)
        out << QStringLiteral("      offline x%1: %2")
                   .arg(it.value())
                   .arg(it.key().isEmpty() ? QStringLiteral("(no reason)") : it.key())
            << Qt::endl;
    for (auto it = r.otherStatus.cbegin(); it != r.otherStatus.cend(); ++it)
        out << QStringLiteral("      left as \"%1\" x%2").arg(it.key()).arg(it.value()) << Qt::endl;
    if (!r.ended)
        out << QStringLiteral("      the cycle did not end within %1 s").arg(CycleLimitMs / 1000)
            << Qt::endl;
    if (r.leftoverTempFiles > 0)
        out << QStringLiteral("      temp files left behind: %1").arg(r.leftoverTempFiles)
            << Qt::endl;
}

// One cycle over n records in a fresh private HOME, PUTTYDIR and working folder.
bool benchmark(QTextStream& out, int n, int fixtureCount)
{
    FixtureServers fixtures;
    const std::vector<FixtureServer*> servers = fixtures.startMany(fixtureCount);
    if (!fixtures.ok() || !writeServersFile(servers, n)) {
        std::fprintf(stderr, "N=%d: setup failed: %s\n", n, qPrintable(fixtures.error()));
        return false;
    }
    module().reset();
    CycleResult result;
    {
        Main main;
        main.setEndProgram([] {});                              // no close is requested here
        main.setMaxRunningChecks(clientsWithinOpenFileLimit()); // as the program does
        main.show();
        result = runCycle(main);
        if (!result.ended)
            main.SkipBut_Click();
    }
    // Closing the window ended whatever was still running; wait for it to go.
    QElapsedTimer clock;
    clock.start();
    while (Runner::instance().runningCount() > 0 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    report(out, n, result);
    return result.ended && result.online == n;
}

} // namespace

int main(int argc, char** argv)
{
    const bool keepFileLimit = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return QByteArray(arg) == "--keep-file-limit";
    });
    // As the program does at start-up, before any client or fixture server starts.
    if (!keepFileLimit)
        raiseOpenFileLimit();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTextStream out(stdout);

    int fixtureCount = 4;
    QList<int> sizes;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--fixtures") && i + 1 < args.size())
            fixtureCount = args[++i].toInt();
        else if (args[i] == QLatin1String("--keep-file-limit"))
            continue;
        else
            sizes << args[i].toInt();
    }
    if (sizes.isEmpty())
        sizes = {200, 500};
    if (fixtureCount < 1 ||
        std::any_of(sizes.cbegin(), sizes.cend(), [](int n) { return n < 1; })) {
        std::fprintf(stderr, "usage: bench_monitor [--fixtures K] [--keep-file-limit] [N ...]\n");
        return 2;
    }

    out << QStringLiteral("monitor cycle: %1 fixture servers on 127.0.0.1, cores: %2, "
                          "open files (soft/hard) %3%4, processes %5")
               .arg(fixtureCount)
               .arg(QThread::idealThreadCount())
               .arg(limitText(RLIMIT_NOFILE),
                    keepFileLimit ? QStringLiteral(" as inherited")
                                  : QStringLiteral(" after raising"),
                    limitText(RLIMIT_NPROC))
        << Qt::endl;
    bool allOnline = true;
    for (int n : sizes)
        allOnline = benchmark(out, n, fixtureCount) && allOnline;
    Runner::instance().shutdown();
    return allOnline ? 0 : 1;
}
