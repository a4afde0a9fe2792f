#include "probe/ClientEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

namespace ClientEnvironment
{

namespace
{

std::unique_ptr<QTemporaryDir> makeQuietFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && QDir(runtime).exists() ? runtime : QDir::tempPath();
    auto folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/vemo-quiet-XXXXXX"));
    // The system's own, whatever PATH holds when the first client starts.
    const QString truth = QStandardPaths::findExecutable(
        QStringLiteral("true"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    if (!folder->isValid() || truth.isEmpty())
        return nullptr;
    for (const char* name : {"ps", "ls"}) {
        if (!QFile::link(truth, folder->filePath(QLatin1String(name))))
            return nullptr;
    }
    return folder;
}

} // namespace

QString quietFolder()
{
    static const std::unique_ptr<QTemporaryDir> folder = makeQuietFolder();
    return folder ? folder->path() : QString();
}

QProcessEnvironment waitedClients()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString folder = quietFolder();
    if (folder.isEmpty())
        return environment;
    const QString path = environment.value(QStringLiteral("PATH"));
    environment.insert(QStringLiteral("PATH"),
                       path.isEmpty() ? folder : folder + QLatin1Char(':') + path);
    return environment;
}

} // namespace ClientEnvironment
