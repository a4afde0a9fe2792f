// vemo-check: the monitor's server checks without a window, for monitoring
// engines. It reads the servers file read-only, checks the servers as the
// window does, prints one report and exits with the plugin status.
#include "CheckDriver.h"
#include "CheckOptions.h"
#include "platform/OpenFileLimit.h"
#include "platform/QuitOnSignals.h"
#include "probe/CheckFanOut.h"
#include "probe/KeyFile.h"
#include "probe/Runner.h"
#include "store/Servers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
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

bool writeReport(const QByteArray& report, const QString& output, QString* problem);

// A path as every message names it: whole, as the servers file's own messages do.
QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A run that checked nothing: said as fail() says it, and a Prometheus
// textfile says that the run failed and when, in place of the servers of an
// earlier run, so that an old report does not pass for a fresh one.
int failRun(const CheckOptions& options, const QString& message)
{
    QString ignored; // the failure itself is what is reported
    if (options.format == Format::Prometheus && !options.output.isEmpty())
        writeReport(prometheusFailure(QDateTime::currentMSecsSinceEpoch() / 1000.0), options.output,
                    &ignored);
    return fail(options.format, message);
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
        *problem = QStringLiteral("cannot write \"%1\": %2").arg(shown(output), file.errorString());
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

    if (!options.keyFile.isEmpty()) {
        if (const auto problem = keyFileProblem(options.keyFile))
            return failRun(options, *problem);
        Runner::instance().setKeyFile(QFileInfo(options.keyFile).absoluteFilePath());
    }

    QList<ServerRecord> records;
    {
        Servers servers(options.file, Servers::Access::ReadOnly);
        if (!servers.openStatus().ok())
            return failRun(options, servers.openStatus().message);
        QString missing;
        records = selected(servers, options.domains, &missing);
        if (!missing.isEmpty())
            return failRun(options, QStringLiteral("no server with the domain \"%1\" in \"%2\".")
                                        .arg(missing, shown(options.file)));
    } // the file is closed before any client starts
    if (records.isEmpty())
        return failRun(options,
                       QStringLiteral("no servers to check in \"%1\".").arg(shown(options.file)));

    const int jobs = checkFanOut(options.jobs.value_or(DefaultMaxClients));

    quitOnTerminationSignals();
    CheckDriver driver(records, Admission::atMost(jobs), options.timeout);
    QObject::connect(&driver, &CheckDriver::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    driver.start();
    app.exec();
    if (!driver.isDone())
        return failRun(options, QStringLiteral("stopped by a signal before every check ended."));

    const QList<ServerResult>& results = driver.results();
    QByteArray report;
    switch (options.format) {
    case Format::Nagios:
        report = nagiosReport(results);
        break;
    case Format::Prometheus:
        report = prometheusReport(results, QDateTime::currentMSecsSinceEpoch() / 1000.0,
                                  driver.isComplete());
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
