#include "probe/CommandLine.h"

#include <QFile>

const QString ProbeCommand =
    QStringLiteral("echo $((`cut -f1 -d' ' /proc/uptime | cut -f1 -d.`));cat /root/backupreport;"
                   "cat /root/backupreport.success;cat /proc/mdstat");
const QString RaidCommand = QStringLiteral("cat /proc/mdstat");
const QString VerificationCommand = QStringLiteral("echo Server Verified!;sleep 2");
const QString RaidTempFileName = QStringLiteral("~karu2.tmp");

QStringList CommandLine::arguments(const QString& passwordFile) const
{
    QStringList args{QStringLiteral("-P"), port};
    if (!keyFile.isEmpty())
        args << QStringLiteral("-i") << keyFile;
    if (!passwordFile.isEmpty())
        args << QStringLiteral("-pwfile") << passwordFile;
    if (noAntispoof)
        args << QStringLiteral("-no-antispoof");
    args << QStringLiteral("root@") + host;
    if (!remoteCommand.isEmpty())
        args << remoteCommand;
    return args;
}

QString CheckTempFileName(const QString& domain)
{
    return QStringLiteral("~karu~") + domain + QStringLiteral(".tmp");
}

namespace
{

// The longest file name the usual Linux file systems take, in bytes.
constexpr qsizetype MaxFileNameBytes = 255;

// A name fit for one file directly inside the working directory.
std::optional<QString> nameProblem(const QString& name, const QString& what)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("the %1 \"%2\" cannot name a file").arg(what, name);
    for (QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("the %1 holds a path separator").arg(what);
        // NUL and the other C0/C1 controls (and DEL) have no place in a file name.
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("the %1 holds a control character").arg(what);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> domainFileNameProblem(const QString& domain)
{
    if (auto problem = nameProblem(domain, QStringLiteral("domain")))
        return problem;
    if (QFile::encodeName(CheckTempFileName(domain)).size() > MaxFileNameBytes)
        return QStringLiteral("the domain is too long for a file name");
    return std::nullopt;
}

std::optional<QString> outputFileNameProblem(const QString& fileName)
{
    if (fileName.isEmpty())
        return QStringLiteral("no output file named");
    if (auto problem = nameProblem(fileName, QStringLiteral("output file name")))
        return problem;
    if (QFile::encodeName(fileName).size() > MaxFileNameBytes)
        return QStringLiteral("the output file name is too long");
    return std::nullopt;
}

namespace
{

CommandLine clientLine(const QString& program, const QString& port, const QString& password,
                       const QString& host)
{
    CommandLine line;
    line.program = program;
    line.port = port;
    line.password = password;
    line.host = host;
    return line;
}

CommandLine plinkLine(const QString& port, const QString& password, const QString& host)
{
    return clientLine(QStringLiteral("plink"), port, password, host);
}

} // namespace

CommandLine ServerCheckLine(const QString& port, const QString& password, const QString& host,
                            const QString& domain)
{
    CommandLine line = plinkLine(port, password, host);
    line.remoteCommand = ProbeCommand;
    line.outputFile = CheckTempFileName(domain);
    if (auto problem = domainFileNameProblem(domain))
        line.problem = *problem;
    return line;
}

CommandLine RaidRecheckLine(const QString& port, const QString& password, const QString& host)
{
    CommandLine line = plinkLine(port, password, host);
    line.remoteCommand = RaidCommand;
    line.outputFile = RaidTempFileName;
    return line;
}

CommandLine VerificationLine(const QString& port, const QString& password, const QString& host,
                             const QString& domain)
{
    CommandLine line = plinkLine(port, password, host);
    line.remoteCommand = VerificationCommand;
    line.noAntispoof = true;
    line.title = QStringLiteral("Server verification: %1").arg(domain);
    line.windowStyle = WindowStyle::Normal;
    line.wait = false;
    return line;
}

CommandLine InteractiveLoginLine(const QString& port, const QString& password, const QString& host)
{
    CommandLine line = clientLine(QStringLiteral("putty"), port, password, host);
    line.windowStyle = WindowStyle::Normal;
    line.wait = false;
    return line;
}
