#include "KeySetting.h"

#include "probe/KeyFile.h"

#include <QFileInfo>
#include <QSettings>

namespace KeySetting
{

namespace
{

const QString KeyEntry = QStringLiteral("ssh/keyFile");

QString settingsError(const QSettings& settings)
{
    return settings.status() == QSettings::AccessError ? QStringLiteral("it cannot be written")
                                                       : QStringLiteral("it is damaged");
}

} // namespace

Choice choose(const std::optional<QString>& given)
{
    QSettings settings(QString::fromLatin1(FileName), QSettings::IniFormat);
    Choice choice;
    if (!given) {
        const QString stored = settings.value(KeyEntry).toString();
        if (stored.isEmpty())
            return choice;
        if (const auto problem = keyFileProblem(stored)) {
            choice.problem = *problem + QStringLiteral("\n\nThe monitor goes on without it; "
                                                       "servers without a password will not "
                                                       "log in. Name a key with --key FILE.");
            return choice;
        }
        choice.keyFile = stored;
        return choice;
    }
    if (!given->isEmpty()) {
        if (const auto problem = keyFileProblem(*given)) {
            choice.problem = *problem;
            choice.refused = true;
            return choice;
        }
        choice.keyFile = QFileInfo(*given).absoluteFilePath();
        settings.setValue(KeyEntry, choice.keyFile);
    } else {
        settings.remove(KeyEntry);
    }
    settings.sync();
    if (settings.status() != QSettings::NoError)
        choice.problem = QStringLiteral("The key file setting could not be kept in %1: %2. "
                                        "It holds for this run only.")
                             .arg(QFileInfo(QString::fromLatin1(FileName)).absoluteFilePath(),
                                  settingsError(settings));
    return choice;
}

} // namespace KeySetting
