// Wall time of vemo-check over N servers (its whole run: start-up, reading
// the servers file, the checks, the report) against a bare driver that starts
// the same plink clients with the same fan-out, keeps their output in memory
// and does nothing else. Both run against the same fixture SSH servers on
// 127.0.0.1, in alternating rounds; the best round of each is compared.
//
//     bench_check [--jobs J] [--rounds R] [N ...]     default: J = DefaultBusyPlaces, R = 3, N =
//     200
//
// Exits 1 when a check did not end online (every fixture server is healthy)
// and 2 when vemo-check took more than 1.15 times the bare driver.

#include "PlinkBench.h"
#include "probe/CheckFanOut.h"
#include "probe/CommandLine.h"
#include "store/Servers.h"
#include "support/FixtureServers.h"
#include "support/SampleMdstat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace
{

constexpr int FixtureCount = 4;
constexpr double Target = 1.15;
const QString Password = QStringLiteral("bench-pw");

struct Timing {
    double seconds = 0;
    int online = 0;
};

bool writeServersFile(const QString& fileName, const std::vector<FixtureServer*>& servers, int n)
{
    QFile::remove(fileName);
    Servers view(fileName);
    for (int i = 0; i < n; ++i) {
        if (!view.AddNew().ok())
            return false;
        const qint64 id = view.buffer().id;
        view.buffer() = servers[size_t(i) % servers.size()]->record(
            QStringLiteral("bench-%1.example").arg(i + 1, 4, 10, QChar('0')),
            QString::fromLatin1(HealthyMdstat));
        view.buffer().id = id;
        if (!view.Update().ok())
            return false;
    }
    return true;
}

Timing vemoCheck(const QString& fileName, int jobs)
{
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.start(QStringLiteral(VEMO_CHECK),
                  {"--file", fileName, "--format", "json", "--jobs", QString::number(jobs)});
    process.waitForFinished(-1);
    Timing timing;
    timing.seconds = clock.nsecsElapsed() / 1e9;
    const QJsonArray servers = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    for (const QJsonValue& server : servers)
        timing.online += server.toObject().value("online").toBool() ? 1 : 0;
    return timing;
}

Timing bare(const std::vector<FixtureServer*>& servers, int n, int jobs, const QString& plink,
            const QString& passwordFile)
{
    QElapsedTimer clock;
    clock.start();
    Timing timing;
    int next = 0, running = 0, finished = 0;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::function<void()> startMore = [&] {
        while (running < jobs && next < n) {
            const FixtureServer& s = *servers[size_t(next++) % servers.size()];
            auto process = std::make_unique<QProcess>();
            QProcess* p = process.get();
            p->setStandardInputFile(QProcess::nullDevice());
            QObject::connect(p, &QProcess::finished, [&, p] {
                if (!p->readAllStandardOutput().isEmpty())
                    ++timing.online;
                --running;
                ++finished;
                startMore();
            });
            ++running;
            p->start(plink, {"-P", s.portText(), "-pwfile", passwordFile, "root@" + s.host(),
                             ProbeCommand});
            processes.push_back(std::move(process));
        }
    };
    startMore();
    while (finished < n)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    timing.seconds = clock.nsecsElapsed() / 1e9;
    return timing;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    int jobs = DefaultBusyPlaces;
    int rounds = 3;
    QList<int> sizes;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--jobs") && i + 1 < args.size())
            jobs = args[++i].toInt();
        else if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args[++i].toInt();
        else
            sizes << args[i].toInt();
    }
    if (sizes.isEmpty())
        sizes = {200};

    PlinkBench bench;
    if (const QString problem = bench.start(FixtureCount, Password); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    const std::vector<FixtureServer*>& servers = bench.servers;
    for (FixtureServer* server : servers)
        server->setMdstat(HealthyMdstat);

    out << "vemo-check against a bare driver, fan-out " << jobs
        << ", fixture servers: " << FixtureCount
        << " on 127.0.0.1, cores: " << QThread::idealThreadCount() << ", best of " << rounds
        << " rounds" << Qt::endl;
    int status = 0;
    for (int n : sizes) {
        const QString file = QStringLiteral("Bench-%1.mdb").arg(n);
        if (!writeServersFile(file, servers, n)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        vemoCheck(file, jobs); // warm-up
        Timing check{1e9, 0}, plain{1e9, 0};
        int checkOnline = n, plainOnline = n;
        for (int round = 0; round < rounds; ++round) {
            const Timing c = vemoCheck(file, jobs);
            const Timing b = bare(servers, n, jobs, bench.plink, bench.passwordFile);
            check.seconds = std::min(check.seconds, c.seconds);
            plain.seconds = std::min(plain.seconds, b.seconds);
            checkOnline = std::min(checkOnline, c.online);
            plainOnline = std::min(plainOnline, b.online);
        }
        const double ratio = check.seconds / plain.seconds;
        out << QStringLiteral("N=%1  vemo-check %2 s (%3 online)  bare driver %4 s (%5 online)  "
                              "ratio %6 (target <= %7: %8)")
                   .arg(n)
                   .arg(check.seconds, 0, 'f', 2)
                   .arg(checkOnline)
                   .arg(plain.seconds, 0, 'f', 2)
                   .arg(plainOnline)
                   .arg(ratio, 0, 'f', 2)
                   .arg(Target, 0, 'f', 2)
                   .arg(ratio <= Target ? "met" : "MISSED")
            << Qt::endl;
        if (checkOnline != n || plainOnline != n)
            status = 1;
        else if (ratio > Target && status == 0)
            status = 2;
        QFile::remove(file);
    }
    return status;
}
