#include "support/ThrowawayUser.h"

#include "support/Processes.h"

#include <QDir>
#include <QProcess>
#include <QThread>
#include <pwd.h>
#include <unistd.h>

namespace
{

// useradd and userdel fail while another program holds the user database's lock.
bool runTool(const QString& program, const QStringList& arguments, QString* output)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(program, arguments);
        if (!tool.waitForFinished(30000)) {
            *output = program + QStringLiteral(" did not finish");
            return false;
        }
        *output = QString::fromLocal8Bit(tool.readAll()).trimmed();
        if (tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            return true;
        if (!output->contains(QLatin1String("lock")))
            return false;
        QThread::msleep(250);
    }
    return false;
}

// Removes the users that earlier tests made and left behind when they crashed:
// those whose making process, id and start time alike, runs no more.
void removeLeftovers()
{
    QStringList leftovers;
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        const QString name = QString::fromLocal8Bit(entry->pw_name);
        if (!name.startsWith(QLatin1String(ThrowawayUser::Prefix)))
            continue;
        const QStringList maker = name.mid(qstrlen(ThrowawayUser::Prefix)).split(u'-');
        if (maker.size() != 2 || processStartTime(maker[0].toLongLong()) != maker[1])
            leftovers << name;
    }
    ::endpwent();
    for (const QString& name : std::as_const(leftovers)) {
        QString output;
        if (!runTool(QStringLiteral("userdel"), {name}, &output))
            qWarning("userdel %s (left by a test that is gone) failed: %s", qPrintable(name),
                     qPrintable(output));
    }
}

// Qt's runtime folder for a user without XDG_RUNTIME_DIR, which programs run
// as a throwaway user make.
QString fallbackRuntimeFolder(const QString& name)
{
    return QDir::tempPath() + QStringLiteral("/runtime-") + name;
}

// Those of throwaway users that are gone.
void removeLeftoverRuntimeFolders()
{
    const QString prefix = QStringLiteral("runtime-") + QLatin1String(ThrowawayUser::Prefix);
    for (const QString& entry : QDir(QDir::tempPath()).entryList({prefix + '*'}, QDir::Dirs)) {
        if (!::getpwnam(entry.mid(qstrlen("runtime-")).toLocal8Bit().constData()))
            QDir(QDir::tempPath() + '/' + entry).removeRecursively();
    }
}

} // namespace

ThrowawayUser::ThrowawayUser()
    : name_(QLatin1String(Prefix) +
            QStringLiteral("%1-%2").arg(::getpid()).arg(processStartTime(::getpid())))
{
    if (::geteuid() != 0) {
        error_ = QStringLiteral("making a user needs root");
        return;
    }
    removeLeftovers();
    removeLeftoverRuntimeFolders();
    QString output;
    if (!runTool(QStringLiteral("useradd"),
                 {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                  QStringLiteral("--user-group"), QStringLiteral("--shell"),
                  QStringLiteral("/usr/sbin/nologin"), name_},
                 &output)) {
        error_ = QStringLiteral("useradd failed: ") + output;
        return;
    }
    made_ = true;
    const passwd* entry = ::getpwnam(name_.toLocal8Bit().constData());
    if (!entry) {
        error_ = QStringLiteral("the new user %1 cannot be found").arg(name_);
        return;
    }
    uid_ = entry->pw_uid;
    gid_ = entry->pw_gid;
}

ThrowawayUser::~ThrowawayUser()
{
    QString output;
    if (made_ && !runTool(QStringLiteral("userdel"), {name_}, &output))
        qWarning("userdel %s failed: %s", qPrintable(name_), qPrintable(output));
    QDir(fallbackRuntimeFolder(name_)).removeRecursively();
}

QStringList ThrowawayUser::runAs(const QString& program, const QStringList& arguments) const
{
    return QStringList{QStringLiteral("--reuid=%1").arg(uid_),
                       QStringLiteral("--regid=%1").arg(gid_),
                       QStringLiteral("--clear-groups"),
                       QStringLiteral("--inh-caps=-all"),
                       QStringLiteral("--"),
                       program} +
           arguments;
}
