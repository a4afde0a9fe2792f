// Whole check cycles of the real monitor window, offscreen, against a bare
// driver that starts the same plink runs with the same number at once, and
// the time it takes to fill the grid.
//
//     bench_monitor [--fan-out F|cap] [--sizes A,B,C,D,E] [--sweep F1,F2,...]
//
//   A (default 200):   servers spread over 4 fixture SSH servers on 127.0.0.1
//   B (default 2000):  servers on a closed 127.0.0.1 port (every run refused)
//   C (default 10000): records whose activation (read, grid fill, window
//                      size, cycle start) is timed
//   D (default 200):   servers behind a relay on 127.0.0.1 that delays every
//                      chunk 150 ms each way (a 300 ms round trip)
//   E (default 200):   servers of which 24 accept TCP and never speak
//   F (default 300):   MB of the answer of one server that answers too much
//                      (0 skips a size)
//   --fan-out:         the bare driver's clients at once where it runs one
//                      fan-out (A, B); default the default busy places, "cap"
//                      the open-file cap. The window uses the program's places.
//   --sweep:           instead: the bare driver alone at each fan-out, on A and B
//   --a11y-client:     a program started with this process's id during each
//                      window cycle, that says "ready" once it has found the
//                      grid on the accessibility bus and one line of what it
//                      measured when its standard input closes (a11y.sh runs
//                      this case with the bridge on)
//
// For each cycle it prints the window's wall time, its own CPU and its
// clients' CPU, the bare driver's wall time, the floor (the clients' CPU
// shared by the cores), the ratios, the longest event-loop stall (a 5 ms
// timer inside the loop, the cycle's start included), the most clients at
// once and the peak resident memory of this process during the cycle. For
// the window's cycle it also gives how often the machine itself stood still
// (MachinePauses), during the cycle and in a few idle seconds before it, the
// longest stall, and outside answer, clear of that, and the costliest single
// event the window's thread delivered (TimedApplication). A row's outcome is
// its Status and, offline, the reason of its tooltip.
//
// Like the program it first raises its soft limit on open files to the hard
// limit. Exits 1 when a row ends other than expected or a cycle does not end.

#include "MachinePauses.h"
#include "TimedApplication.h"
#include "common/Module.h"
#include "gui/monitor/MonitorTestKit.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"
#include "platform/OpenFileLimit.h"
#include "probe/CheckFanOut.h"
#include "probe/ClientEnvironment.h"
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/PasswordFiles.h"
#include "probe/Runner.h"
#include "store/Passwords.h"
#include "store/ServerFile.h"
#include "support/FixtureServers.h"
#include "support/Processes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <sqlite3.h>
#include <sys/resource.h>
#include <time.h>

namespace
{

constexpr int CycleLimitMs = 900000;
constexpr int StallTickMs = 5;
constexpr int FixtureCount = 4;
constexpr int RelayDelayMs = 150; // each way
constexpr int SilentServers = 24;

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct Usage {
    double self = 0;     // user + system CPU of this process
    double children = 0; // of the clients reaped so far
};

Usage usage()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return {seconds(self.ru_utime) + seconds(self.ru_stime),
            seconds(children.ru_utime) + seconds(children.ru_stime)};
}

// The peak resident memory since the last reset, in MiB.
void resetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

double peakRssMiB()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The longest time the event loop did not come round to a timer of 5 ms, when
// in the cycle it began, and how much of it this thread spent on the CPU: a
// stall with little CPU of its own is time the process was not scheduled
// (other programs on the cores), not work of the window. Apart from that, the
// most CPU the thread spent between two ticks: the window's longest turn.
class StallWatch
{
public:
    StallWatch()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(StallTickMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            busiest_ = std::max(busiest_, cpu - lastCpu_);
            if (now - last_ > longest_) {
                longest_ = now - last_;
                longestAt_ = last_;
                longestCpu_ = cpu - lastCpu_;
            }
            if (now - last_ > LongStallNs) {
                const qint64 end = MachinePauses::nowNs();
                stalls_.push_back({end - (now - last_), end});
            }
            last_ = now;
            lastCpu_ = cpu;
            if (onTick)
                onTick();
        });
    }
    void start()
    {
        clock_.start();
        last_ = longest_ = longestAt_ = longestCpu_ = busiest_ = 0;
        stalls_.clear();
        lastCpu_ = threadCpuNs();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longestStallMs() const { return std::max(0.0, longest_ / 1e6 - StallTickMs); }
    double longestStallCpuMs() const { return longestCpu_ / 1e6; }
    double longestStallAtS() const { return longestAt_ / 1e9; }
    double longestTurnCpuMs() const { return busiest_ / 1e6; }
    // The longest stall during which the machine did not stand still; -1
    // when none was longer than LongStallNs (shorter ones are not kept).
    double longestStallOutsideMs(const std::vector<MachinePauses::Span>& pauses) const
    {
        qint64 longest = -1;
        for (const MachinePauses::Span& stall : stalls_) {
            if (!MachinePauses::overlaps(pauses, stall.from, stall.to))
                longest = std::max(longest, stall.to - stall.from);
        }
        return longest < 0 ? -1 : longest / 1e6 - StallTickMs;
    }
    std::function<void()> onTick;

private:
    static qint64 threadCpuNs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, lastCpu_ = 0;
    qint64 longest_ = 0, longestAt_ = 0, longestCpu_ = 0, busiest_ = 0;
    static constexpr qint64 LongStallNs = 10'000'000;
    std::vector<MachinePauses::Span> stalls_; // longer than LongStallNs
};

// Writes the records in one transaction: a save per record would take minutes.
bool writeServersFile(const QList<ServerRecord>& records)
{
    sqlite3* db = nullptr;
    if (!ServerFile::open(QString::fromLatin1(ServerFile::DefaultName), &db).ok())
        return false;
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* stmt = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO Server (Domain, ServerHost, SSHPort, "
                                  "ServerPassword, RAID_Status) VALUES (?, ?, ?, ?, ?)",
                                  -1, &stmt, nullptr) == SQLITE_OK;
    for (const ServerRecord& r : records) {
        if (!ok)
            break;
        const QByteArray domain = r.domain.toUtf8(), host = r.serverHost.toUtf8(),
                         port = r.sshPort.toUtf8();
        sqlite3_bind_text(stmt, 1, domain.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, host.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, port.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(stmt, 4, r.serverPassword.constData(), int(r.serverPassword.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 5, "", -1, SQLITE_STATIC);
        ok = sqlite3_step(stmt) == SQLITE_DONE;
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

QString domainOf(int i)
{
    return QStringLiteral("bench-%1.example").arg(i + 1, 5, 10, QChar('0'));
}

// n records over the fixture servers, or on a closed port when there are none.
QList<ServerRecord> benchRecords(const std::vector<FixtureServer*>& servers, int n, int closedPort)
{
    QList<ServerRecord> records;
    for (int i = 0; i < n; ++i) {
        if (!servers.empty()) {
            records << servers[size_t(i) % servers.size()]->record(domainOf(i));
        } else {
            ServerRecord r;
            r.domain = domainOf(i);
            r.serverHost = QStringLiteral("127.0.0.1");
            r.sshPort = QString::number(closedPort);
            r.serverPassword = ScramblePassword(passwordToCodePage(QStringLiteral("pw")));
            records << r;
        }
    }
    return records;
}

bool isIdle(Main& main)
{
    const auto* refresh = main.findChild<QAbstractButton*>(QStringLiteral("RefreshBut"));
    const auto* skip = main.findChild<QAbstractButton*>(QStringLiteral("SkipBut"));
    return !module().busy && refresh && refresh->isEnabled() && skip && !skip->isEnabled() &&
           main.grid().mousePointer() == ServersGrid::DefaultPointer;
}

struct Run {
    bool ended = false;
    double wall = 0;
    double selfCpu = 0;
    double clientCpu = 0;
    double stallMs = 0;
    double stallCpuMs = 0;            // of the window's thread during that stall
    double stallAtS = 0;              // seconds into the cycle
    double turnCpuMs = 0;             // the most CPU between two ticks
    double longestEventCpuMs = 0;     // the costliest event the window's thread delivered
    QString longestEvent;             // and what it was
    double longestEventAtS = 0;       // seconds into the cycle
    bool longestEventInPause = false; // the machine stood still during it
    double peakRss = 0;
    int peakClients = 0;
    double answeredAt = -1;       // when every row but the slow ones had its verdict
    QString outside;              // what the outside client measured, if one ran
    double outsideLongestMs = -1; // of its answers clear of machine pauses; -1: none slow
    bool outsideMissing = false;  // one was asked for and did not run
    std::vector<MachinePauses::Span> pauses;
    std::vector<MachinePauses::Span> idlePauses; // in a few seconds before it, nothing running
    bool pausesRealTime = false;
    double stallOutsidePausesMs = -1; // -1: no stall of 5 ms or more clear of them
    QMap<QString, int> outcomes;      // "Online", or "!!!Offline!!! (reason)", or what was left
};

// Rows whose Status is still pending (or not yet written).
int pendingRows(const ServersGrid& grid)
{
    int pending = 0;
    for (int row = 1; row < grid.rows(); ++row) {
        const QString status = grid.textMatrix(row, 1);
        pending += status.isEmpty() || status.startsWith(QLatin1Char('>'));
    }
    return pending;
}

// The program that times a screen reader's questions from another process
// (--a11y-client); empty when none runs.
QString outsideClient;

// Starts the outside client on this process and waits until it has found the
// grid; nothing when none is set or it could not find it.
std::unique_ptr<QProcess> startOutsideClient()
{
    if (outsideClient.isEmpty())
        return nullptr;
    auto client = std::make_unique<QProcess>();
    client->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client->start(outsideClient, {QString::number(QCoreApplication::applicationPid())});
    QElapsedTimer clock;
    clock.start();
    // The client asks this process, so the event loop must run while it looks.
    while (client->state() != QProcess::NotRunning && !client->canReadLine() &&
           clock.elapsed() < 90000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (client->readLine().trimmed() != "ready") {
        std::fprintf(stderr, "the outside client did not find the grid\n");
        client->kill();
        client->waitForFinished();
        return nullptr;
    }
    return client;
}

// Its summary into run.outside, and its slowest answer that did not fall into
// a pause of the machine into run.outsideLongestMs.
void stopOutsideClient(QProcess* client, Run& run)
{
    if (!client) {
        run.outside = QStringLiteral("none, the outside client did not find the grid");
        run.outsideMissing = true;
        return;
    }
    client->closeWriteChannel();
    // A question of its may be on its way: the event loop answers it while
    // the client ends.
    QElapsedTimer clock;
    clock.start();
    while (client->state() != QProcess::NotRunning && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QStringList lines = QString::fromLocal8Bit(client->readAll()).trimmed().split('\n');
    run.outside = lines.value(0);
    if (run.outside.isEmpty()) {
        run.outside = QStringLiteral("none, the outside client did not report");
        run.outsideMissing = true;
    }
    for (const QString& line : lines.mid(1)) {
        const QStringList words = line.split(' ');
        if (words.size() != 3 || words[0] != QLatin1String("slow"))
            continue;
        const qint64 start = words[1].toLongLong();
        const double ms = words[2].toDouble();
        if (!MachinePauses::overlaps(run.pauses, start, start + qint64(ms * 1e6)))
            run.outsideLongestMs = std::max(run.outsideLongestMs, ms);
    }
}

// The machine's pauses while nothing of the benchmark runs: a virtual
// machine's host may stop it whatever it runs.
constexpr int IdleWatchS = 5;
std::vector<MachinePauses::Span> idlePauses()
{
    const MachinePauses pauses;
    QThread::sleep(IdleWatchS);
    return pauses.spans();
}

double longestMs(const std::vector<MachinePauses::Span>& spans)
{
    double longest = 0;
    for (const MachinePauses::Span& span : spans)
        longest = std::max(longest, (span.to - span.from) / 1e6);
    return longest;
}

// How often the whole machine stood still during the window's cycle, and the
// longest stall and outside answer that did not fall into such a pause.
QString pausesLine(const Run& run)
{
    if (!run.pausesRealTime)
        return QStringLiteral("  machine pauses: not known (no real-time priority for the probe)");
    const auto ms = [](double value, double floor) {
        return value < 0 ? QStringLiteral("under %1 ms").arg(floor)
                         : QStringLiteral("%1 ms").arg(value, 0, 'f', 1);
    };
    QString line =
        QStringLiteral("  machine pauses (a real-time thread on a core held %1 ms or more): %2, "
                       "longest %3 ms (idle for %5 s before the cycle: %6, longest %7 ms); clear "
                       "of them, longest stall %4")
            .arg(MachinePauses::ThresholdNs / 1'000'000)
            .arg(run.pauses.size())
            .arg(longestMs(run.pauses), 0, 'f', 1)
            .arg(ms(run.stallOutsidePausesMs, 5))
            .arg(IdleWatchS)
            .arg(run.idlePauses.size())
            .arg(longestMs(run.idlePauses), 0, 'f', 1);
    if (!run.outside.isEmpty())
        line += QStringLiteral(", longest outside answer %1").arg(ms(run.outsideLongestMs, 10));
    return line;
}

QString eventLine(const Run& run)
{
    // A pause of the machine during the event may count as the thread's CPU.
    return QStringLiteral("  the window's costliest event: %1 ms of CPU at %2 s of %3 s%5, %4")
        .arg(run.longestEventCpuMs, 0, 'f', 1)
        .arg(run.longestEventAtS, 0, 'f', 2)
        .arg(run.wall, 0, 'f', 2)
        .arg(run.longestEvent)
        .arg(run.longestEventInPause ? QStringLiteral(" (in a machine pause)") : QString());
}

// slowRows: rows that are expected to wait their deadline; answeredAt tells
// when all the others had their verdicts.
Run windowCycle(int slowRows = 0)
{
    Run run;
    module().reset();
    Main main;
    main.setEndProgram([] {});
    main.setMaxRunningChecks(checkFanOut());
    main.show();
    QCoreApplication::processEvents();
    const std::unique_ptr<QProcess> outside = startOutsideClient();

    QEventLoop loop;
    StallWatch watch;
    QElapsedTimer clock;
    int ticks = 0;
    watch.onTick = [&] {
        run.peakClients = std::max(run.peakClients, Runner::instance().runningCount());
        if (run.answeredAt < 0 && ++ticks % 20 == 0 && clock.isValid() &&
            pendingRows(main.grid()) <= slowRows)
            run.answeredAt = clock.nsecsElapsed() / 1e9;
        if (isIdle(main))
            loop.quit();
    };
    QTimer::singleShot(CycleLimitMs, &loop, &QEventLoop::quit);
    resetPeakRss();
    const Usage before = usage();
    auto pauses = std::make_unique<MachinePauses>();
    watch.start();
    TimedApplication::instance()->resetLongest();
    const qint64 startNs = MachinePauses::nowNs();
    QTimer::singleShot(0, &main, [&] {
        clock.start();
        main.Form_Activate();
    });
    loop.exec();
    run.wall = clock.nsecsElapsed() / 1e9;
    watch.stop();
    const TimedApplication* timed = TimedApplication::instance();
    run.longestEventCpuMs = timed->longestCpuMs();
    run.longestEvent = timed->longestEvent();
    run.longestEventAtS = (timed->longestAtNs() - startNs) / 1e9;
    const Usage after = usage();
    run.peakRss = peakRssMiB();
    run.selfCpu = after.self - before.self;
    run.clientCpu = after.children - before.children;
    run.stallMs = watch.longestStallMs();
    run.stallCpuMs = watch.longestStallCpuMs();
    run.stallAtS = watch.longestStallAtS();
    run.turnCpuMs = watch.longestTurnCpuMs();
    run.pauses = pauses->spans();
    run.pausesRealTime = pauses->realTime();
    pauses.reset();
    run.stallOutsidePausesMs = watch.longestStallOutsideMs(run.pauses);
    run.longestEventInPause =
        MachinePauses::overlaps(run.pauses, timed->longestAtNs(), timed->longestEndNs());
    run.ended = isIdle(main);
    if (!outsideClient.isEmpty())
        stopOutsideClient(outside.get(), run);

    const ServersGrid& grid = main.grid();
    for (int row = 1; row < grid.rows(); ++row) {
        QString status = grid.textMatrix(row, 1);
        if (status == QLatin1String("!!!Offline!!!"))
            status += QStringLiteral(" (%1)").arg(kit::offlineReason(main, row));
        ++run.outcomes[status];
    }
    if (!run.ended)
        main.SkipBut_Click();
    return run;
}

// The same client runs, fanOut at a time, with nothing around them.
Run bareDriver(const QList<ServerRecord>& records, int fanOut, const QString& passwordFile)
{
    const QString plink = QStandardPaths::findExecutable(QStringLiteral("plink"));
    Run run;
    std::deque<int> waiting;
    for (int i = 0; i < records.size(); ++i)
        waiting.push_back(i);
    int running = 0;
    int finished = 0;
    QEventLoop loop;
    std::function<void()> startMore = [&] {
        while (!waiting.empty() && (fanOut <= 0 || running < fanOut)) {
            const ServerRecord& r = records[waiting.front()];
            waiting.pop_front();
            const CommandLine line = ServerCheckLine(r.sshPort, QString(), r.serverHost, r.domain);
            auto* process = new QProcess;
            process->setStandardInputFile(QProcess::nullDevice());
            // As the window starts its clients, so the ratio is the window's own cost.
            process->setProcessEnvironment(ClientEnvironment::waitedClients());
            process->setChildProcessModifier([] {
                (void)::setpriority(PRIO_PROCESS, 0,
                                    ::getpriority(PRIO_PROCESS, 0) + Main::ClientNiceness);
            });
            process->setStandardOutputFile(line.outputFile);
            QObject::connect(process, &QProcess::finished, [&, process, line] {
                process->deleteLater();
                QFile::remove(line.outputFile);
                --running;
                if (++finished == records.size())
                    loop.quit();
                startMore();
            });
            process->start(plink, line.arguments(passwordFile));
            ++running;
            run.peakClients = std::max(run.peakClients, running);
        }
    };
    resetPeakRss();
    const Usage before = usage();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &loop, startMore);
    QTimer::singleShot(CycleLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    run.wall = clock.nsecsElapsed() / 1e9;
    const Usage after = usage();
    run.selfCpu = after.self - before.self;
    run.clientCpu = after.children - before.children;
    run.ended = finished == records.size();
    run.peakRss = peakRssMiB();
    return run;
}

struct Scenario {
    QString name;
    int n = 0;
    bool fixtures = false;
    bool relay = false; // every server behind the delaying relay
    int silent = 0;     // the first servers are on a host that never speaks
};

struct Setup {
    std::unique_ptr<FixtureServers> env;
    QList<ServerRecord> records;
    PasswordFiles passwords;
    QString passwordFile;
    std::unique_ptr<QProcess> relay;
    bool ok = false;
    ~Setup()
    {
        if (relay) {
            relay->kill();
            relay->waitForFinished();
        }
    }
};

// Starts the relay in front of a fixture server, trusts the server's host key
// under the relay's port, and returns that port (0 when it failed).
int startRelay(Setup& setup, FixtureServer& server)
{
    setup.relay = std::make_unique<QProcess>();
    setup.relay->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    setup.relay->start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(VEMO_BENCH_DIR "/relay.py"), server.portText(),
                        QString::number(RelayDelayMs)});
    if (!setup.relay->waitForReadyRead(10000))
        return 0;
    const int port = setup.relay->readLine().trimmed().toInt();
    QFile keys(setup.env->puttyDir() + QStringLiteral("/sshhostkeys"));
    QString line = server.hostKeyLine();
    line.replace(QStringLiteral("@%1:").arg(server.port()), QStringLiteral("@%1:").arg(port));
    if (port == 0 || !keys.open(QIODevice::Append) || keys.write(line.toUtf8() + '\n') < 0)
        return 0;
    return port;
}

std::unique_ptr<Setup> prepare(const Scenario& s)
{
    auto setup = std::make_unique<Setup>();
    setup->env = std::make_unique<FixtureServers>();
    std::vector<FixtureServer*> servers;
    if (s.fixtures || s.relay)
        servers = setup->env->startMany(s.relay ? 1 : FixtureCount);
    FixtureServer* silent =
        s.silent > 0 ? &setup->env->start(FixtureOptions{.mode = FixtureMode::Hung}) : nullptr;
    if (!setup->env->ok()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(s.name), qPrintable(setup->env->error()));
        return setup;
    }
    setup->records = benchRecords(servers, s.n, FixtureServers::closedPort());
    if (s.relay) {
        const int port = startRelay(*setup, *servers[0]);
        if (port == 0) {
            std::fprintf(stderr, "%s: the relay did not start\n", qPrintable(s.name));
            return setup;
        }
        for (ServerRecord& record : setup->records)
            record.sshPort = QString::number(port);
    }
    for (int i = 0; i < s.silent && i < setup->records.size(); ++i)
        setup->records[i].sshPort = silent->portText();
    // The fixture servers and the relay stand for remote machines and the
    // network: they run as nice as the clients, or the clients' niceness
    // would hand the local cores to what in the field runs elsewhere.
    for (const qint64 pid : childProcesses("python3"))
        (void)::setpriority(PRIO_PROCESS, id_t(pid),
                            ::getpriority(PRIO_PROCESS, 0) + Main::ClientNiceness);
    const QString password = servers.empty() ? QStringLiteral("pw") : servers[0]->password();
    const auto written = setup->passwords.write(password);
    setup->passwordFile = written.path;
    setup->ok = written.problem.isEmpty() && writeServersFile(setup->records);
    return setup;
}

// Until the clients of an ended cycle are gone.
void waitForClients()
{
    QElapsedTimer clock;
    clock.start();
    while (Runner::instance().runningCount() > 0 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("ok") : QStringLiteral("MISSED");
}

bool cycleBenchmark(QTextStream& out, const Scenario& s, int fanOut)
{
    const auto setup = prepare(s);
    if (!setup->ok)
        return false;
    // One short cycle first, so that both sides start warm.
    bareDriver(setup->records.mid(0, 20), fanOut, setup->passwordFile);
    const std::vector<MachinePauses::Span> idle = idlePauses();
    Run window = windowCycle();
    window.idlePauses = idle;
    const Run bare = bareDriver(setup->records, fanOut, setup->passwordFile);
    const int cores = QThread::idealThreadCount();
    const double floor = window.clientCpu / cores;

    out << QStringLiteral("%1, N=%2, fan-out %3:").arg(s.name).arg(s.n).arg(fanOut) << Qt::endl;
    out << QStringLiteral("  window %1 s (own CPU %2 s, clients' CPU %3 s)  bare driver %4 s "
                          "(clients' CPU %5 s)  floor %6 s")
               .arg(window.wall, 0, 'f', 2)
               .arg(window.selfCpu, 0, 'f', 2)
               .arg(window.clientCpu, 0, 'f', 2)
               .arg(bare.wall, 0, 'f', 2)
               .arg(bare.clientCpu, 0, 'f', 2)
               .arg(floor, 0, 'f', 2)
        << Qt::endl;
    const double vsBare = window.wall / bare.wall;
    const double vsFloor = window.wall / floor;
    out << QStringLiteral("  window/bare %1  window/floor %2  longest stall %3 ms (at %8 s, "
                          "own CPU in it %9 ms; longest turn %10 ms of CPU)  clients at once %4 "
                          "(bare %5)  peak RSS %6 MiB (bare driver %7 MiB)")
               .arg(vsBare, 0, 'f', 2)
               .arg(vsFloor, 0, 'f', 2)
               .arg(window.stallMs, 0, 'f', 1)
               .arg(window.peakClients)
               .arg(bare.peakClients)
               .arg(window.peakRss, 0, 'f', 1)
               .arg(bare.peakRss, 0, 'f', 1)
               .arg(window.stallAtS, 0, 'f', 2)
               .arg(window.stallCpuMs, 0, 'f', 1)
               .arg(window.turnCpuMs, 0, 'f', 1)
        << Qt::endl;
    if (!window.outside.isEmpty())
        out << QStringLiteral("  from another process, the grid's extents over the "
                              "accessibility bus: %1")
                   .arg(window.outside)
            << Qt::endl;
    out << pausesLine(window) << Qt::endl;
    out << eventLine(window) << Qt::endl;
    if (!s.fixtures) {
        const bool clear = window.stallOutsidePausesMs < 50 &&
                           (window.outside.isEmpty() || window.outsideLongestMs < 50);
        out << QStringLiteral("  targets: window/bare <= 1.15 %1, window/floor <= 1.5 %2, "
                              "stall < 50 ms %3 (clear of machine pauses %5), peak RSS < 80 "
                              "MiB %4")
                   .arg(verdict(vsBare <= 1.15), verdict(vsFloor <= 1.5),
                        verdict(window.stallMs < 50), verdict(window.peakRss < 80),
                        window.pausesRealTime ? verdict(clear) : QStringLiteral("unknown"))
            << Qt::endl;
    }
    bool expected = window.ended && bare.ended && !window.outsideMissing;
    for (auto it = window.outcomes.cbegin(); it != window.outcomes.cend(); ++it) {
        out << QStringLiteral("  rows: %1 x%2").arg(it.key()).arg(it.value()) << Qt::endl;
        const QString want = s.fixtures ? QStringLiteral("Online")
                                        : QStringLiteral("!!!Offline!!! (Connection refused)");
        expected = expected && it.key() == want;
    }
    if (!window.ended)
        out << "  the window's cycle did not end" << Qt::endl;
    waitForClients();
    return expected;
}

// Servers on a slow network, or some on hosts that never answer: the window's
// cycle against bare drivers all at once and at fixed fan-outs (the silent
// case: the window alone, as a bare driver too takes one deadline).
bool networkBenchmark(QTextStream& out, const Scenario& s)
{
    const auto setup = prepare(s);
    if (!setup->ok)
        return false;
    const Run window = windowCycle(s.silent);
    out << QStringLiteral("%1, N=%2:").arg(s.name).arg(s.n) << Qt::endl;
    out << QStringLiteral("  window %1 s, answering rows done after %2 s, longest stall %3 ms "
                          "(at %6 s, own CPU in it %7 ms; longest turn %8 ms of CPU), clients at "
                          "once %4, peak RSS %5 MiB")
               .arg(window.wall, 0, 'f', 2)
               .arg(window.answeredAt < 0 ? window.wall : window.answeredAt, 0, 'f', 2)
               .arg(window.stallMs, 0, 'f', 1)
               .arg(window.peakClients)
               .arg(window.peakRss, 0, 'f', 1)
               .arg(window.stallAtS, 0, 'f', 2)
               .arg(window.stallCpuMs, 0, 'f', 1)
               .arg(window.turnCpuMs, 0, 'f', 1)
        << Qt::endl;
    bool met = true;
    if (s.silent > 0) {
        const double limit = Runner::DefaultDeadline.count() + 15;
        met = window.wall <= limit;
        out << QStringLiteral("  target: cycle within %1 s %2").arg(limit).arg(verdict(met))
            << Qt::endl;
    } else {
        waitForClients();
        double all = 0;
        for (int fanOut : {0, DefaultBusyPlaces, 64}) {
            const Run bare = bareDriver(setup->records, fanOut, setup->passwordFile);
            out << QStringLiteral("  bare driver %1: %2 s")
                       .arg(fanOut == 0 ? QStringLiteral("all at once")
                                        : QStringLiteral("%1 at a time").arg(fanOut))
                       .arg(bare.wall, 0, 'f', 2)
                << Qt::endl;
            if (fanOut == 0)
                all = bare.wall;
        }
        met = window.wall <= 1.15 * all;
        out << QStringLiteral("  target: window/bare all at once %1 <= 1.15 %2")
                   .arg(window.wall / all, 0, 'f', 2)
                   .arg(verdict(met))
            << Qt::endl;
    }
    bool expected = window.ended;
    for (auto it = window.outcomes.cbegin(); it != window.outcomes.cend(); ++it) {
        out << QStringLiteral("  rows: %1 x%2").arg(it.key()).arg(it.value()) << Qt::endl;
        expected = expected && (it.key() == QLatin1String("Online") ||
                                (s.silent > 0 && it.key().contains(QLatin1String("timed out"))));
    }
    waitForClients();
    return expected && met;
}

// One server whose answer is megabytes long: the window's peak memory and the
// largest its temp file grew while the cycle ran.
bool oversizedBenchmark(QTextStream& out, int megabytes)
{
    FixtureServers env;
    FixtureServer& server = env.start(QStringLiteral("big.example"));
    if (!env.ok())
        return false;
    server.setMdstat(QByteArray(qsizetype(megabytes) * 1000 * 1000, 'x'));
    qint64 largestFile = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        largestFile =
            std::max(largestFile, QFileInfo(QStringLiteral("~karu~big.example.tmp")).size());
    });
    sampler.start(1);
    const Run window = windowCycle();
    sampler.stop();
    const QString reason = QStringLiteral("!!!Offline!!! (%1)").arg(AnswerTooLargeReason);
    const bool met = window.peakRss < 100 && largestFile <= AnswerLimit;
    out << QStringLiteral("one answer of %1 MB: window %2 s, peak RSS %3 MiB, temp file at most %4 "
                          "bytes; targets: RSS < 100 MiB, file <= %5 bytes %6")
               .arg(megabytes)
               .arg(window.wall, 0, 'f', 2)
               .arg(window.peakRss, 0, 'f', 1)
               .arg(largestFile)
               .arg(AnswerLimit)
               .arg(verdict(met))
        << Qt::endl;
    waitForClients();
    return met && window.outcomes.value(reason) == 1;
}

bool sweep(QTextStream& out, const Scenario& s, const QList<int>& fanOuts)
{
    const auto setup = prepare(s);
    if (!setup->ok)
        return false;
    bareDriver(setup->records.mid(0, 20), 4, setup->passwordFile);
    const int cores = QThread::idealThreadCount();
    out << QStringLiteral("bare driver, %1, N=%2:").arg(s.name).arg(s.n) << Qt::endl;
    for (int fanOut : fanOuts) {
        const Run bare = bareDriver(setup->records, fanOut, setup->passwordFile);
        out << QStringLiteral("  fan-out %1: %2 s  clients' CPU %3 s  wall/floor %4")
                   .arg(fanOut, 4)
                   .arg(bare.wall, 7, 'f', 2)
                   .arg(bare.clientCpu, 6, 'f', 2)
                   .arg(bare.wall / (bare.clientCpu / cores), 0, 'f', 2)
            << Qt::endl;
    }
    return true;
}

bool fillBenchmark(QTextStream& out, int n)
{
    FixtureServers env;
    if (!env.ok() || !writeServersFile(benchRecords({}, n, FixtureServers::closedPort()))) {
        std::fprintf(stderr, "fill: setup failed\n");
        return false;
    }
    module().reset();
    double activation = 0;
    double longestStall = 0;
    {
        Main main;
        main.setEndProgram([] {});
        main.setMaxRunningChecks(1);
        main.show();
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        main.Form_Activate();
        activation = clock.nsecsElapsed() / 1e9;
        // The first turns of the cycle that activation started.
        StallWatch watch;
        watch.start();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        longestStall = watch.longestStallMs();
        main.SkipBut_Click();
    }
    QElapsedTimer clock;
    clock.start();
    while (Runner::instance().runningCount() > 0 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    out << QStringLiteral("grid fill: activation with %1 records (read, fill, size, cycle start) "
                          "%2 s (target < 0.5 s %3); longest stall in the 300 ms after %4 ms")
               .arg(n)
               .arg(activation, 0, 'f', 3)
               .arg(verdict(activation < 0.5))
               .arg(longestStall, 0, 'f', 1)
        << Qt::endl;
    return true;
}

QList<int> numbers(const QString& text)
{
    QList<int> list;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        list << part.toInt();
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    raiseOpenFileLimit(); // as the program does at start-up
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTextStream out(stdout);

    const int cap = clientsWithinOpenFileLimit();
    int fanOut = checkFanOut(DefaultBusyPlaces);
    QList<int> sizes{200, 2000, 10000, 200, 200, 300};
    QList<int> sweepFanOuts;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--fan-out"))
            fanOut = args[i + 1] == QLatin1String("cap") ? cap : args[i + 1].toInt();
        else if (args[i] == QLatin1String("--sizes"))
            sizes = numbers(args[i + 1]);
        else if (args[i] == QLatin1String("--sweep"))
            sweepFanOuts = numbers(args[i + 1]);
        else if (args[i] == QLatin1String("--a11y-client"))
            outsideClient = args[i + 1];
    }
    if (args.size() % 2 != 0 || sizes.size() != 6) {
        std::fprintf(stderr, "usage: bench_monitor [--fan-out F|cap] [--sizes A,B,C,D,E,F] "
                             "[--sweep F1,...] [--a11y-client PROGRAM]\n");
        return 2;
    }

    out << QStringLiteral("monitor benchmark: %1 cores, %2, the window's places: %3 busy of %4 "
                          "clients at once (open-file cap %5), bare driver fan-out %6")
               .arg(QThread::idealThreadCount())
               .arg(QSysInfo::prettyProductName())
               .arg(DefaultBusyPlaces)
               .arg(checkFanOut())
               .arg(cap)
               .arg(fanOut)
        << Qt::endl;
    const Scenario fixtures{QStringLiteral("fixture servers"), sizes[0], true};
    const Scenario refused{QStringLiteral("refusing port"), sizes[1], false};
    bool ok = true;
    if (!sweepFanOuts.isEmpty()) {
        for (const Scenario& s : {fixtures, refused}) {
            if (s.n > 0)
                ok = sweep(out, s, sweepFanOuts) && ok;
        }
        return ok ? 0 : 1;
    }
    for (const Scenario& s : {fixtures, refused}) {
        if (s.n > 0)
            ok = cycleBenchmark(out, s, fanOut) && ok;
    }
    if (sizes[2] > 0)
        ok = fillBenchmark(out, sizes[2]) && ok;
    const Scenario slow{QStringLiteral("behind a 300 ms round trip"), sizes[3], false, true};
    const Scenario silent{
        QStringLiteral("%1 silent hosts among fixture servers").arg(SilentServers), sizes[4], true,
        false, SilentServers};
    for (const Scenario& s : {slow, silent}) {
        if (s.n > 0)
            ok = networkBenchmark(out, s) && ok;
    }
    if (sizes[5] > 0)
        ok = oversizedBenchmark(out, sizes[5]) && ok;
    Runner::instance().shutdown();
    return ok ? 0 : 1;
}
