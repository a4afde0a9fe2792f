// vemo-check: the monitor's server checks without a window, for monitoring
// engines. It reads the servers file read-only, checks the servers as the
// window does, prints one report and exits with the plugin status.
#include "CheckDriver.h"
#include "CheckOptions.h"
#include "platform/OpenFileLimit.h"
#include "platform/QuitOnSignals.h"
#include "probe/CheckFanOut.h"
#include "probe/Runner.h"
#include "store/Servers.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace
{

constexpr int Unknown = int(State::Unknown);

// A failure before any report: for Nagios the UNKNOWN line on standard
// output (what the engine shows), else a message on standard error.
int fail(Format format, const QString& message)
{
    if (format == Format::Nagios)
        std::fprintf(stdout, "VEMO UNKNOWN - %s\n",
                     qPrintable(QString(message).replace('\n', ' ')));
    else
        std::fprintf(stderr, "vemo-check: %s\n", qPrintable(message));
    return Unknown;
}

// The records to check: every one, or those named, in the file's order.
QList<ServerRecord> selected(Servers& servers, const QStringList& domains, QString* missing)
{
    QList<ServerRecord> records;
    if (domains.isEmpty()) {
        for (servers.MoveFirst(); !servers.Eof(); servers.MoveNext())
            records.append(servers.current());
        return records;
    }
    for (const QString& domain : domains) {
        if (!servers.FindFirst(domain)) {
            *missing = domain;
            return {};
        }
    }
    for (servers.MoveFirst(); !servers.Eof(); servers.MoveNext()) {
        if (domains.contains(servers.Domain()))
            records.append(servers.current());
    }
    return records;
}

bool writeReport(const QByteArray& report, const QString& output, QString* problem)
{
    if (output.isEmpty()) {
        const bool written = std::fwrite(report.constData(), 1, size_t(report.size()), stdout) ==
                                 size_t(report.size()) &&
                             std::fflush(stdout) == 0;
        if (!written)
            *problem = QStringLiteral("cannot write the report to standard output: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return written;
    }
    // A reader (node_exporter's textfile collector) sees the old file or the
    // new one, never half of one; it may run as another user, so the file is
    // readable by all whatever the umask.
    QSaveFile file(output);
    const bool written = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), 0644) == 0 &&
                         file.write(report) == report.size() && file.commit();
    if (!written)
        *problem = QStringLiteral("cannot write \"%1\": %2").arg(output, file.errorString());
    return written;
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit(); // before any client starts; best effort
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vemo-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEMO_VERSION));

    const CheckOptions options = parseCheckOptions(app.arguments());
    if (!options.error.isEmpty())
        return fail(options.format, options.error + QStringLiteral(" Try vemo-check --help."));
    if (options.help) {
        std::fputs(qPrintable(checkHelpText()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vemo-check %s\n", VEMO_VERSION);
        return 0;
    }

    QList<ServerRecord> records;
    {
        Servers servers(options.file, Servers::Access::ReadOnly);
        if (!servers.openStatus().ok())
            return fail(options.format, servers.openStatus().message);
        QString missing;
        records = selected(servers, options.domains, &missing);
        if (!missing.isEmpty())
            return fail(options.format,
                        QStringLiteral("no server with the domain \"%1\" in \"%2\".")
                            .arg(missing, options.file));
    } // the file is closed before any client starts
    if (records.isEmpty())
        return fail(options.format,
                    QStringLiteral("no servers to check in \"%1\".").arg(options.file));

    if (options.timeout)
        Runner::instance().setDeadline(*options.timeout);
    const int jobs = checkFanOut(options.jobs.value_or(DefaultMaxClients));

    quitOnTerminationSignals();
    CheckDriver driver(records, Admission::atMost(jobs));
    QObject::connect(&driver, &CheckDriver::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    driver.start();
    app.exec();
    if (!driver.isDone())
        return fail(options.format,
                    QStringLiteral("stopped by a signal before every check ended."));

    const QList<ServerResult>& results = driver.results();
    QByteArray report;
    switch (options.format) {
    case Format::Nagios:
        report = nagiosReport(results);
        break;
    case Format::Prometheus:
        report = prometheusReport(results);
        break;
    case Format::Json:
        report = jsonReport(results);
        break;
    }
    QString problem;
    if (!writeReport(report, options.output, &problem))
        return fail(options.format, problem);
    return int(worstState(results));
}
