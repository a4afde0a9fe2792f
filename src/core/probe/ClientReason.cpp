#include "probe/ClientReason.h"

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

} // namespace

QString clientFailureReason(const QString& program, const QByteArray& standardError, int exitCode,
                            bool crashed)
{
    const QString err = QString::fromUtf8(standardError);
    const auto has = [&err](const char* text) {
        return err.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (has("Connection refused"))
        return QStringLiteral("Connection refused");
    if (has("Access denied") || has("password was not accepted"))
        return QStringLiteral("Access denied");
    if (has("host key is not cached"))
        return QStringLiteral("host key not yet trusted");
    if (has("POTENTIAL SECURITY BREACH") || has("host key does not match"))
        return QStringLiteral("host key differs from the trusted one");

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
