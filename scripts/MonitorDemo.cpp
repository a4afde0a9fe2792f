// The demo behind `make demo`: three fixture servers on loopback (one
// healthy, one with a degraded RAID and a failed backup, one refusing every
// login), a demo Servers.mdb in a temporary working folder with a private
// host-key cache, and the monitor started there. The servers stop when the
// monitor's window closes.
//
//   vemo_monitor_demo VEMO                      runs the monitor until it is closed
//   vemo_monitor_demo VEMO --screenshot FILE    saves the screen after the first
//                                               cycle as FILE, then ends the monitor

#include "support/FixtureServers.h"
#include "support/SampleMdstat.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <memory>

namespace
{

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// The part of the screen that is not the bare root window.
QImage cropToContent(const QImage& screen)
{
    const QRgb background = screen.pixel(0, 0);
    QRect box;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (screen.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box.isValid() ? screen.copy(box) : screen;
}

int fail(const QString& why)
{
    std::fprintf(stderr, "demo: %s\n", qPrintable(why));
    return 1;
}

bool prepare(FixtureServers& servers)
{
    FixtureServer& healthy = servers.start();
    FixtureServer& degraded = servers.start();
    FixtureOptions refusing;
    refusing.mode = FixtureMode::RefuseLogin;
    FixtureServer& locked = servers.start(refusing);
    if (!servers.ok())
        return false;

    healthy.setUptime(3'456'789);
    healthy.setMdstat(HealthyMdstat);
    healthy.setBackupReport("0\n", QByteArray("2026-12-08 03:00:01\n"));
    degraded.setUptime(1'051'200);
    degraded.setMdstat(DegradedMdstat);
    degraded.setBackupReport("3\n", QByteArray("2026-12-05 03:00:02\n"));

    // The accepted RAID text is the healthy one for both, so the degraded
    // array reads DIRTY!!!.
    const QString reference = QString::fromLatin1(HealthyMdstat);
    return servers.addToServersFile(healthy, QStringLiteral("www.example.org"), reference) &&
           servers.addToServersFile(degraded, QStringLiteral("db.example.org"), reference) &&
           servers.addToServersFile(locked, QStringLiteral("mail.example.org"));
}

} // namespace

int main(int argc, char* argv[])
{
    QString screenshot;
    for (int i = 2; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--screenshot")
            screenshot = QString::fromLocal8Bit(argv[i + 1]);
    }
    // Only the screenshot needs the display in this process.
    std::unique_ptr<QCoreApplication> app;
    if (screenshot.isEmpty())
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QGuiApplication>(argc, argv);
    if (argc < 2)
        return fail(QStringLiteral("usage: vemo_monitor_demo VEMO [--screenshot FILE]"));
    const QString vemo = QString::fromLocal8Bit(argv[1]);
    if (!screenshot.isEmpty())
        screenshot = QFileInfo(screenshot).absoluteFilePath();

    // Private HOME, PUTTYDIR and working folder; everything goes with it.
    FixtureServers servers;
    if (!servers.ok() || !prepare(servers))
        return fail(servers.error());
    std::printf("demo: three servers on 127.0.0.1, working folder %s\n",
                qPrintable(servers.workDir()));
    std::fflush(stdout);

    QProcess monitor;
    monitor.setProgram(vemo);
    monitor.setWorkingDirectory(servers.workDir());
    monitor.setProcessChannelMode(QProcess::ForwardedChannels);
    monitor.start();
    if (!monitor.waitForStarted())
        return fail(QStringLiteral("cannot start %1: %2").arg(vemo, monitor.errorString()));

    if (screenshot.isEmpty()) {
        // Interrupted or told to end: the monitor goes too, then the servers.
        std::signal(SIGINT, requestStop);
        std::signal(SIGTERM, requestStop);
        std::signal(SIGHUP, requestStop);
        while (!monitor.waitForFinished(200)) {
            if (stopRequested) {
                monitor.terminate();
                monitor.waitForFinished(5000);
                return 1;
            }
        }
        return monitor.exitCode();
    }

    // The first cycle takes well under a second on loopback.
    QThread::sleep(4);
    const QImage image = cropToContent(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
    monitor.terminate();
    monitor.waitForFinished(5000);
    if (!image.save(screenshot))
        return fail(QStringLiteral("cannot write %1").arg(screenshot));
    std::printf("demo: screenshot saved as %s\n", qPrintable(screenshot));
    return 0;
}
