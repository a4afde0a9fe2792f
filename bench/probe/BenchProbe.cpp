// Wall time of N server checks through the runner (start, wait, read and
// parse the output) against N bare plink runs started side by side without
// it, all against fixture servers on 127.0.0.1.
//
//     bench_probe [N ...]      default: 50 200
#include "PlinkBench.h"
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/ProbeVerdicts.h"
#include "probe/Runner.h"
#include "support/FixtureServers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace
{

constexpr int ServerCount = 4;

struct Timing {
    double seconds = 0;
    int good = 0; // runs whose output file held the probe's text
};

void waitUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

Timing throughRunner(const std::vector<FixtureServer*>& servers, int n)
{
    QElapsedTimer clock;
    clock.start();
    int finished = 0;
    Timing timing;
    QObject context;
    for (int i = 0; i < n; ++i) {
        const FixtureServer& s = *servers[size_t(i) % servers.size()];
        const QString domain = QStringLiteral("bench-%1.example").arg(i);
        Runner::instance().RunCommand(
            ServerCheckLine(s.portText(), s.password(), s.host(), domain), &context,
            [&, domain](const RunResult&) {
                const OutputRead out = readOutputFile(CheckTempFileName(domain));
                if (out.hasText && parseProbeOutput(out.text, QString()).uptime.text != "0m")
                    ++timing.good;
                ++finished;
            });
    }
    waitUntil([&] { return finished == n; });
    timing.seconds = clock.nsecsElapsed() / 1e9;
    return timing;
}

Timing bare(const std::vector<FixtureServer*>& servers, int n, const QString& plink,
            const QString& passwordFile)
{
    QElapsedTimer clock;
    clock.start();
    int finished = 0;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < n; ++i) {
        const FixtureServer& s = *servers[size_t(i) % servers.size()];
        auto process = std::make_unique<QProcess>();
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QStringLiteral("~bare-%1.tmp").arg(i));
        QObject::connect(process.get(), &QProcess::finished, [&finished] { ++finished; });
        process->start(
            plink, {"-P", s.portText(), "-pwfile", passwordFile, "root@" + s.host(), ProbeCommand});
        processes.push_back(std::move(process));
    }
    waitUntil([&] { return finished == n; });
    Timing timing;
    timing.seconds = clock.nsecsElapsed() / 1e9;
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("~bare-%1.tmp").arg(i);
        QFile file(name);
        if (file.open(QIODevice::ReadOnly) && file.size() > 0)
            ++timing.good;
        QFile::remove(name);
    }
    return timing;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QList<int> sizes;
    for (const QString& arg : app.arguments().mid(1))
        sizes << arg.toInt();
    if (sizes.isEmpty())
        sizes = {50, 200};

    PlinkBench bench;
    if (const QString problem = bench.start(ServerCount, QStringLiteral("bench-pw"));
        !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    const std::vector<FixtureServer*>& servers = bench.servers;
    const QString& plink = bench.plink;
    const QString& passwordFile = bench.passwordFile;

    out << "fixture servers: " << ServerCount
        << " on 127.0.0.1, cores: " << QThread::idealThreadCount() << Qt::endl;
    throughRunner(servers, 10); // warm-up
    bare(servers, 10, plink, passwordFile);
    for (int n : sizes) {
        const Timing runner = throughRunner(servers, n);
        const Timing plain = bare(servers, n, plink, passwordFile);
        out << QStringLiteral("N=%1  runner %2 s (%3 ok)  bare plink %4 s (%5 ok)  ratio %6")
                   .arg(n)
                   .arg(runner.seconds, 0, 'f', 2)
                   .arg(runner.good)
                   .arg(plain.seconds, 0, 'f', 2)
                   .arg(plain.good)
                   .arg(runner.seconds / plain.seconds, 0, 'f', 2)
            << Qt::endl;
    }
    Runner::instance().shutdown();
    return 0;
}
