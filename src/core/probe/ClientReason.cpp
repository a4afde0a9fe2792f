#include "probe/ClientReason.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace
{

constexpr qsizetype MaxReasonLength = 160;

QString shortened(QString text)
{
    text = text.simplified();
    if (text.size() > MaxReasonLength)
        text = text.left(MaxReasonLength - 3) + QStringLiteral("...");
    return text;
}

// The ways tried, then those there were not: "Access denied: key from the
// agent, key file id.ppk, no password stored".
QString accessDenied(const QString& err, const LoginWays& ways)
{
    QStringList parts;
    if (ways.agent)
        parts << QStringLiteral("key from the agent");
    if (!ways.keyFile.isEmpty()) {
        QString key = QStringLiteral("key file ") + QFileInfo(ways.keyFile).fileName();
        // plink: Unable to use key file "x.ppk" (unable to open file)
        static const QRegularExpression unusable(
            QStringLiteral(R"(Unable to use key file "[^\n]*?" \(([^\n]*)\))"));
        if (const auto match = unusable.match(err); match.hasMatch())
            key += QStringLiteral(" unusable: ") + match.captured(1);
        else if (err.contains(QLatin1String("Passphrase for key")))
            key += QStringLiteral(" needs its passphrase");
        parts << key;
    }
    if (ways.password)
        parts << QStringLiteral("password");
    // Then what there was not.
    if (!ways.agent && ways.keyFile.isEmpty())
        parts << QStringLiteral("no SSH agent or key file");
    if (!ways.password)
        parts << QStringLiteral("no password stored");
    return QStringLiteral("Access denied: ") + shortened(parts.join(QStringLiteral(", ")));
}

} // namespace

QString reasonAdvice(const QString& reason)
{
    if (reason == HostKeyUnknownReason)
        return QStringLiteral("To trust it, log in once by double-clicking the server's name and "
                              "accept the key that putty shows, or save the server again in "
                              "Server Maintenance: its verification window asks.");
    if (reason == HostKeyChangedReason)
        return QStringLiteral("The server shows another key than the one trusted before. That can "
                              "mean the connection is being intercepted, or that the server was "
                              "reinstalled. Compare the key with the server's own before you "
                              "trust it; the checks never accept it for you.");
    return {};
}

QString clientFailureReason(const QString& program, const QByteArray& standardError, int exitCode,
                            bool crashed, const LoginWays& ways)
{
    const QString err = QString::fromUtf8(standardError);
    const auto has = [&err](const char* text) {
        return err.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (has("Connection refused"))
        return QStringLiteral("Connection refused");
    // Without a password handed over, plink asks for one once the keys were
    // refused, reads the end of its empty input and gives up.
    if (has("Access denied") || has("password was not accepted") || has("'s password:"))
        return accessDenied(err, ways);
    if (has("host key is not cached"))
        return HostKeyUnknownReason;
    if (has("POTENTIAL SECURITY BREACH") || has("host key does not match"))
        return HostKeyChangedReason;

    // Otherwise the client's own last word: its fatal error, else its last line.
    const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QLatin1String fatal("FATAL ERROR: ");
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (line.startsWith(fatal))
            return shortened(line.mid(fatal.size()));
    }
    if (crashed)
        return QStringLiteral("%1 ended abnormally").arg(program);
    if (exitCode == 0)
        return {};
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->trimmed().isEmpty())
            return shortened(*it);
    }
    return QStringLiteral("%1 exited with code %2").arg(program).arg(exitCode);
}
