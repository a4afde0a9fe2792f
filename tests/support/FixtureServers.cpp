#include "support/FixtureServers.h"

#include "store/Passwords.h"
#include "store/Servers.h"

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
    case FixtureMode::Hung:
        return QStringLiteral("hung");
    case FixtureMode::CrOutput:
        return QStringLiteral("cr");
    }
    return QStringLiteral("normal");
}

std::optional<QByteArray> takeEnv(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restoreEnv(const char* name, const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
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

ServerRecord FixtureServer::record(const QString& domain, const QString& raidStatus) const
{
    ServerRecord record;
    record.domain = domain;
    record.serverHost = host();
    record.sshPort = portText();
    record.serverPassword = ScramblePassword(passwordToCodePage(options_.password));
    record.raidStatus = raidStatus;
    return record;
}

// ---- FixtureServers

FixtureServers::FixtureServers()
{
    if (!home_.isValid() || !puttyDir_.isValid() || !workDir_.isValid() || !data_.isValid()) {
        error_ = QStringLiteral("cannot create the temporary folders");
        return;
    }
    previousHome_ = takeEnv("HOME");
    previousPuttyDir_ = takeEnv("PUTTYDIR");
    qputenv("HOME", QFile::encodeName(home_.path()));
    qputenv("PUTTYDIR", QFile::encodeName(puttyDir_.path()));
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(workDir_.path());
    writeHostKeys();
}

FixtureServers::~FixtureServers()
{
    for (auto& server : servers_)
        stop(*server);
    if (!previousDir_.isEmpty()) {
        QDir::setCurrent(previousDir_);
        restoreEnv("HOME", previousHome_);
        restoreEnv("PUTTYDIR", previousPuttyDir_);
    }
}

bool FixtureServers::ensureHostKey()
{
    if (!hostKeyFile_.isEmpty())
        return true;
    const QString file = data_.filePath(QStringLiteral("host_key"));
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedChannels);
    maker.start(Python, {serverScript(), QStringLiteral("--make-key"), file});
    if (!maker.waitForFinished(ReadyTimeoutMs) || maker.exitCode() != 0 || !QFile::exists(file)) {
        maker.kill();
        maker.waitForFinished();
        error_ = QStringLiteral("cannot make the fixture host key with ") + Python;
        return false;
    }
    hostKeyFile_ = file;
    return true;
}

bool FixtureServers::launch(FixtureServer& server)
{
    if (!ok() || !ensureHostKey())
        return false;
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
                            QStringLiteral("--host-key"), hostKeyFile_, QStringLiteral("--mode"),
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
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool FixtureServers::addToServersFile(const FixtureServer& server, const QString& domain,
                                      const QString& raidStatus, const QString& fileName)
{
    Servers view(fileName);
    if (!view.openStatus().ok() || !view.AddNew().ok())
        return false;
    const qint64 id = view.buffer().id;
    view.buffer() = server.record(domain, raidStatus);
    view.buffer().id = id;
    return view.Update().ok();
}

void FixtureServers::trust(FixtureServer& server, bool trusted)
{
    server.options_.trustHostKey = trusted;
    writeHostKeys();
}

void FixtureServers::writeHostKeys()
{
    if (!puttyDir_.isValid())
        return;
    QFile file(puttyDir_.filePath(QStringLiteral("sshhostkeys")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const auto& server : servers_) {
        if (server->process_ && server->options_.trustHostKey && !server->hostKeyLine_.isEmpty())
            file.write(server->hostKeyLine_.toLatin1() + '\n');
    }
}
