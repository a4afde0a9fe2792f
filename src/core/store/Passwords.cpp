#include "store/Passwords.h"

static_assert(sizeof(PasswordShorthandPrefix) - 1 == 7);
static_assert(sizeof(PasswordShorthandSuffix) - 1 == 9);

QByteArray ScramblePassword(const QByteArray& text)
{
    QByteArray result = text;
    const auto key = static_cast<unsigned char>(text.size() & 0xFF);
    for (char& c : result)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ key);
    return result;
}

QByteArray passwordToCodePage(const QString& plain)
{
    return plain.toLatin1();
}

QString passwordFromCodePage(const QByteArray& codes)
{
    return QString::fromLatin1(codes);
}

std::optional<QString> passwordEntryProblem(const QString& plain)
{
    if (plain.size() > MaxPasswordLength)
        return QStringLiteral("The password must not be longer than %1 characters.")
            .arg(MaxPasswordLength);
    for (const QChar c : plain) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return QStringLiteral("The password must not contain line breaks.");
        if (c.unicode() > 0xFF)
            return QStringLiteral("The password may only use Western European (Latin-1) "
                                  "characters; \"%1\" is not one of them.")
                .arg(c);
    }
    return std::nullopt;
}

QString ResolveConnectionPassword(const ServerRecord& record)
{
    const QString plain = passwordFromCodePage(ScramblePassword(record.serverPassword));
    if (plain.startsWith(u'#'))
        return QString::fromLatin1(PasswordShorthandPrefix) + plain.mid(1) +
               QString::fromLatin1(PasswordShorthandSuffix);
    return plain;
}

QString ResolveSshPort(const ServerRecord& record)
{
    return record.sshPort.isEmpty() ? QStringLiteral("22") : record.sshPort;
}

QString ResolveSshHost(const ServerRecord& record)
{
    return record.serverHost.isEmpty() ? record.domain : record.serverHost;
}
