#include "probe/ClientEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

namespace ClientEnvironment
{

namespace
{

// ps and ls in folder, each a link to true; false when they cannot be made.
bool linkQuietCommands(const QString& folder)
{
    // The system's own, whatever PATH holds when the first client starts.
    const QString truth = QStandardPaths::findExecutable(
        QStringLiteral("true"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    if (truth.isEmpty())
        return false;
    for (const char* name : {"ps", "ls"}) {
        const QString link = folder + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo(link).symLinkTarget() == truth)
            continue; // made by an earlier run
        QFile::remove(link);
        if (!QFile::link(truth, link) && QFileInfo(link).symLinkTarget() != truth)
            return false;
    }
    return true;
}

struct Quiet {
    std::unique_ptr<QTemporaryDir> temporary; // only without a runtime folder
    QString path;
};

// In the user's private runtime folder the folder keeps one name and stays
// (a killed run leaves nothing new); elsewhere it is a fresh temporary one,
// removed at exit.
Quiet makeQuietFolder()
{
    Quiet quiet;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        const QString path = runtime + QStringLiteral("/vemo-quiet");
        if ((QDir().mkpath(path) || QFileInfo(path).isDir()) && linkQuietCommands(path))
            quiet.path = path;
        return quiet;
    }
    quiet.temporary =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vemo-quiet-XXXXXX"));
    if (quiet.temporary->isValid() && linkQuietCommands(quiet.temporary->path()))
        quiet.path = quiet.temporary->path();
    return quiet;
}

} // namespace

QString quietFolder()
{
    static const Quiet quiet = makeQuietFolder();
    return quiet.path;
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
