#include "CheckOptions.h"

#include "probe/CheckFanOut.h"
#include "probe/Runner.h"

#include <QCommandLineParser>
#include <cmath>

namespace
{

// Whole seconds up to a day, or a positive decimal number of them.
std::optional<std::chrono::milliseconds> seconds(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > 86400)
        return std::nullopt;
    return std::chrono::milliseconds(std::max<qint64>(1, std::llround(value * 1000)));
}

} // namespace

CheckOptions parseCheckOptions(const QStringList& arguments)
{
    CheckOptions options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption file(QStringLiteral("file"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption domain(QStringLiteral("domain"), QString(), QStringLiteral("D"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption key(QStringLiteral("key"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QString());
    parser.addOptions({file, domain, format, timeout, jobs, output, key, help, version});

    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("Unexpected argument '%1'; every value follows its "
                                       "option (see --help).")
                            .arg(parser.positionalArguments().first());
        return options;
    }
    const auto single = [&](const QCommandLineOption& option) {
        const QStringList values = parser.values(option);
        if (values.size() > 1)
            options.error =
                QStringLiteral("--%1 may be given only once.").arg(option.names().first());
        return values.isEmpty() ? QString() : values.last();
    };

    if (parser.isSet(format)) {
        const QString name = single(format);
        if (name == QLatin1String("nagios"))
            options.format = Format::Nagios;
        else if (name == QLatin1String("prometheus"))
            options.format = Format::Prometheus;
        else if (name == QLatin1String("json"))
            options.format = Format::Json;
        else
            options.error =
                QStringLiteral("Unknown format '%1': use nagios, prometheus or json.").arg(name);
    }
    if (parser.isSet(file)) {
        options.file = single(file);
        if (options.file.isEmpty())
            options.error = QStringLiteral("--file needs a path.");
    }
    options.domains = parser.values(domain);
    if (parser.isSet(timeout)) {
        const std::optional<std::chrono::milliseconds> budget = seconds(single(timeout));
        if (budget)
            options.timeout = *budget;
        else
            options.error = QStringLiteral("--timeout takes a number of seconds above 0 (at most "
                                           "86400), not '%1'.")
                                .arg(parser.values(timeout).last());
    }
    if (parser.isSet(jobs)) {
        bool ok = false;
        const int n = single(jobs).toInt(&ok);
        if (!ok || n < 1)
            options.error = QStringLiteral("--jobs takes a whole number of at least 1, not '%1'.")
                                .arg(parser.values(jobs).last());
        else
            options.jobs = n;
    }
    if (parser.isSet(output)) {
        options.output = single(output);
        if (options.output.isEmpty())
            options.error = QStringLiteral("--output needs a file name.");
    }
    if (parser.isSet(key)) {
        options.keyFile = single(key);
        if (options.keyFile.isEmpty())
            options.error = QStringLiteral("--key needs a file.");
    }
    return options;
}

QString checkHelpText()
{
    return QStringLiteral(
               "Usage: vemo-check [OPTION]...\n"
               "Checks the servers of a VEMO servers file over SSH, as the monitor window does,\n"
               "and reports them for a monitoring engine: Nagios or Icinga, Prometheus, or\n"
               "scripts. The file is only read, never changed.\n"
               "\n"
               "Options:\n"
               "  --file PATH        the servers file (default: Servers.mdb in the current\n"
               "                     folder)\n"
               "  --domain D         check only the server with domain D; give it again for more\n"
               "  --format F         nagios (the default), prometheus or json\n"
               "  --output FILE      write the report into FILE, replaced at once (a temporary\n"
               "                     file in the same folder, then renamed), instead of to\n"
               "                     standard output\n"
               "  --timeout SECONDS  the time the whole run may take (default: %1); a server\n"
               "                     whose check has not ended by then is UNKNOWN, and no\n"
               "                     check waits more than %4 for its server\n"
               "  --jobs N           run at most N checks at once (default: %2, fewer when the\n"
               "                     limit of open files is low); of these, at most %3 that\n"
               "                     need the CPU, while the others wait on the network\n"
               "  --key FILE         log in with the private key FILE (PuTTY's .ppk, without a\n"
               "                     passphrase) where no SSH agent holds the key; a server\n"
               "                     stored without a password logs in by key only\n"
               "  -h, --help         show this text and exit\n"
               "  -V, --version      show the version and exit\n"
               "\n"
               "Exit status, in every format, as for a Nagios plugin:\n"
               "  0  OK        every server answered; its RAID is clean and its backup good\n"
               "  1  WARNING   a server's RAID is not verified yet or an md array rebuilds,\n"
               "               and nothing is CRITICAL\n"
               "  2  CRITICAL  a server is offline, its RAID is DIRTY!!! or an md array is\n"
               "               degraded, or its backup failed\n"
               "  3  UNKNOWN   bad options; the servers file is missing, foreign, damaged or\n"
               "               locked; a domain is not in it; nothing to check; the report\n"
               "               could not be written; a check did not end within --timeout\n"
               "               (and nothing is CRITICAL)\n"
               "\n"
               "Examples:\n"
               "  vemo-check --file /srv/vemo/Servers.mdb --domain example.org\n"
               "      VEMO OK - example.org: Online, uptime 1d,1h,57m, RAID Clean, backup ...\n"
               "  vemo-check --format prometheus \\\n"
               "      --output /var/lib/prometheus/node-exporter/vemo.prom\n"
               "      for node_exporter's textfile collector, from cron or a systemd timer\n"
               "  vemo-check --format json | jq -r '.[] | select(.state != \"OK\") | .domain'\n"
               "      the domains of the servers that need a look\n")
        .arg(QStringLiteral("%1 s").arg(DefaultRunBudget.count() / 1000))
        .arg(DefaultMaxClients)
        .arg(DefaultBusyPlaces)
        .arg(QStringLiteral("%1 s").arg(Runner::DefaultDeadline.count()));
}
