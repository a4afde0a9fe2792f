#include "support/FixtureServers.h"

#include "support/ServerRecords.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const QString Python = QStringLiteral("/usr/bin/python3");
constexpr int ReadyTimeoutMs = 30000;
constexpr int StopTimeoutMs = 5000;

QString serverScript()
{
    return QStringLiteral(VEMO_FIXTURES_DIR "/ssh_fixture_server.py");
}

QString modeName(FixtureMode mode)
{
    switch (mode) {
    case FixtureMode::Normal:
        return QStringLiteral("normal");
    case FixtureMode::RefuseLogin:
        return QStringLiteral("refuse");
    case FixtureMode::Slow:
        return QStringLiteral("slow");
    case FixtureMode::Held:
        return QStringLiteral("held");
    case FixtureMode::Hung:
        return QStringLiteral("hung");
    case FixtureMode::CrOutput:
        return QStringLiteral("cr");
    }
    return QStringLiteral("normal");
}

// One RSA host key for every server of this test process: made once, removed
// at exit. Empty when it could not be made.
QString sharedHostKey()
{
    static QTemporaryDir folder;
    static const QString file = [] {
        const QString path = folder.filePath(QStringLiteral("host_key"));
        QProcess maker;
        maker.setProcessChannelMode(QProcess::ForwardedChannels);
        maker.start(Python, {serverScript(), QStringLiteral("--make-key"), path});
        if (folder.isValid() && maker.waitForFinished(ReadyTimeoutMs) && maker.exitCode() == 0 &&
            QFile::exists(path))
            return path;
        maker.kill();
        maker.waitForFinished();
        return QString();
    }();
    return file;
}

} // namespace

// ---- FixtureServer

void FixtureServer::writeFile(const QString& name, const QByteArray& content)
{
    QFile file(folder_ + QLatin1Char('/') + name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

void FixtureServer::setUptime(qint64 seconds)
{
    setUptimeText(QByteArray::number(seconds) + ".42 1.00\n");
}

void FixtureServer::setUptimeText(const QByteArray& text)
{
    writeFile(QStringLiteral("uptime"), text);
}

void FixtureServer::setMdstat(const QByteArray& text)
{
    writeFile(QStringLiteral("mdstat"), text);
}

void FixtureServer::setBackupReport(const QByteArray& report,
                                    const std::optional<QByteArray>& success)
{
    writeFile(QStringLiteral("backupreport"), report);
    if (success)
        writeFile(QStringLiteral("backupreport.success"), *success);
    else
        removeFile(QStringLiteral("backupreport.success"));
}

void FixtureServer::removeFile(const QString& name)
{
    QFile::remove(folder_ + QLatin1Char('/') + name);
}

int FixtureServer::heldCount() const
{
    QFile file(folder_ + QStringLiteral("/held"));
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

void FixtureServer::release()
{
    writeFile(QStringLiteral("release"), {});
}

ServerRecord FixtureServer::record(const QString& domain, const QString& raidStatus) const
{
    return serverRecord(domain, host(), portText(), options_.password, raidStatus);
}

// ---- FixtureServers

FixtureServers::FixtureServers()
{
    if (!sandbox_.ok() || !data_.isValid())
        error_ = QStringLiteral("cannot create the temporary folders");
    writeHostKeys();
}

FixtureServers::~FixtureServers()
{
    for (auto& server : servers_)
        stop(*server);
}

bool FixtureServers::launch(FixtureServer& server)
{
    if (!ok())
        return false;
    const QString hostKey = sharedHostKey();
    if (hostKey.isEmpty()) {
        error_ = QStringLiteral("cannot make the fixture host key with ") + Python;
        return false;
    }
    const int index = int(servers_.size());
    server.folder_ = data_.filePath(QStringLiteral("server-%1").arg(index));
    if (!QDir().mkpath(server.folder_)) {
        error_ = QStringLiteral("cannot create ") + server.folder_;
        return false;
    }
    // A healthy server with one verified backup until the test says otherwise.
    server.setUptime(93456);
    server.setMdstat("Personalities : [raid1]\nmd0 : active raid1 sdb1[1] sda1[0]\n"
                     "      1048512 blocks [2/2] [UU]\n\nunused devices: <none>\n");
    server.setBackupReport("0\n", QByteArray("2026-12-08 03:00:01\n"));

    auto* process = new QProcess;
    server.process_ = process;
    // The password travels in the environment, so no process list shows it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FIXTURE_PASSWORD"), server.options_.password);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(Python, {serverScript(), QStringLiteral("--folder"), server.folder_,
                            QStringLiteral("--host-key"), hostKey, QStringLiteral("--mode"),
                            modeName(server.options_.mode), QStringLiteral("--delay"),
                            QString::number(server.options_.delay.count() / 1000.0)});
    return true;
}

bool FixtureServers::awaitReady(FixtureServer& server)
{
    QProcess* process = server.process_;
    QDeadlineTimer deadline(ReadyTimeoutMs);
    while (!process->canReadLine()) {
        if (process->state() == QProcess::NotRunning || deadline.hasExpired()) {
            error_ = QStringLiteral("the fixture server did not start: ") + process->errorString();
            return false;
        }
        process->waitForReadyRead(int(deadline.remainingTime()));
    }
    const QList<QByteArray> words = process->readLine().trimmed().split(' ');
    if (words.size() != 4 || words[0] != "READY") {
        error_ = QStringLiteral("the fixture server said something unexpected");
        return false;
    }
    server.port_ = words[1].toInt();
    if (words[2] != "-") {
        server.hostKeyLine_ =
            QStringLiteral("rsa2@%1:127.0.0.1 %2,%3")
                .arg(server.port_)
                .arg(QString::fromLatin1(words[2]), QString::fromLatin1(words[3]));
    }
    return server.port_ > 0;
}

FixtureServer& FixtureServers::start(const FixtureOptions& options)
{
    return *startMany(1, options).front();
}

FixtureServer& FixtureServers::start(const QString& domain, const FixtureOptions& options,
                                     const QString& raidStatus)
{
    FixtureServer& server = start(options);
    if (ok() && !addToServersFile(server, domain, raidStatus))
        error_ = QStringLiteral("cannot add the record of ") + domain;
    return server;
}

std::vector<FixtureServer*> FixtureServers::startMany(int count, const FixtureOptions& options)
{
    std::vector<FixtureServer*> started;
    for (int i = 0; i < count; ++i) {
        servers_.push_back(std::make_unique<FixtureServer>());
        FixtureServer& server = *servers_.back();
        server.options_ = options;
        launch(server);
        started.push_back(&server);
    }
    for (FixtureServer* server : started) {
        if (server->process_ && !awaitReady(*server))
            stop(*server);
    }
    writeHostKeys();
    return started;
}

void FixtureServers::stop(FixtureServer& server)
{
    QProcess* process = server.process_;
    if (!process)
        return;
    // The server ends when its standard input closes; a signal backs that up.
    process->closeWriteChannel();
    if (!process->waitForFinished(StopTimeoutMs)) {
        process->terminate();
        if (!process->waitForFinished(StopTimeoutMs)) {
            process->kill();
            process->waitForFinished(StopTimeoutMs);
        }
    }
    delete process;
    server.process_ = nullptr;
    server.port_ = 0;
    writeHostKeys();
}

int FixtureServers::closedPort()
{
    // Bound and never listening: a connection to it is refused, and the socket
    // stays open until the process ends.
    static const int port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 0;
        return int(ntohs(address.sin_port));
    }();
    return port;
}

int FixtureServers::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool FixtureServers::addToServersFile(const FixtureServer& server, const QString& domain,
                                      const QString& raidStatus, const QString& fileName)
{
    return addServers({server.record(domain, raidStatus)}, fileName);
}

void FixtureServers::trust(FixtureServer& server, bool trusted)
{
    server.options_.trustHostKey = trusted;
    writeHostKeys();
}

void FixtureServers::writeHostKeys()
{
    if (!sandbox_.ok())
        return;
    QFile file(sandbox_.puttyDir() + QStringLiteral("/sshhostkeys"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const auto& server : servers_) {
        if (server->process_ && server->options_.trustHostKey && !server->hostKeyLine_.isEmpty())
            file.write(server->hostKeyLine_.toLatin1() + '\n');
    }
}
