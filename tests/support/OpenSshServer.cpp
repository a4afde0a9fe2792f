#include "support/OpenSshServer.h"

#include "support/FixtureServers.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QtEndian>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const QString Sshd = QStringLiteral("/usr/sbin/sshd");
constexpr int ReadyTimeoutMs = 20000;

// The next string of an SSH wire-format blob (a 32-bit length, then the bytes).
QByteArray takeString(QByteArray& blob)
{
    if (blob.size() < 4)
        return {};
    const quint32 length = qFromBigEndian<quint32>(blob.constData());
    const QByteArray value = blob.mid(4, length);
    blob.remove(0, 4 + qsizetype(length));
    return value;
}

// "rsa2@PORT:127.0.0.1 0x<e>,0x<n>" from an OpenSSH RSA public key line.
QString puttyHostKeyLine(const QByteArray& publicKey, int port)
{
    QByteArray blob = QByteArray::fromBase64(publicKey.split(' ').value(1));
    if (takeString(blob) != "ssh-rsa")
        return {};
    // PuTTY writes each number in hex without leading zeros, as printf's %x does.
    const auto hex = [](const QByteArray& number) {
        QString digits = QString::fromLatin1(number.toHex());
        while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
            digits.remove(0, 1);
        return QStringLiteral("0x") + digits;
    };
    const QByteArray e = takeString(blob);
    const QByteArray n = takeString(blob);
    return QStringLiteral("rsa2@%1:127.0.0.1 %2,%3").arg(port).arg(hex(e), hex(n));
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return connected;
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

OpenSshServer::OpenSshServer(const QString& puttyDir)
{
    if (!dir_.isValid())
        error_ = QStringLiteral("cannot create a temporary folder");
    else if (!QFile::exists(Sshd))
        error_ = Sshd + QStringLiteral(" is missing (Debian's openssh-server)");
    else if (makeKeys())
        startServer(puttyDir);
}

OpenSshServer::~OpenSshServer()
{
    stop(server_);
    stop(agent_);
}

bool OpenSshServer::run(const QString& program, const QStringList& arguments,
                        const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    error_ = QStringLiteral("%1 %2 failed: %3")
                 .arg(program, arguments.join(QLatin1Char(' ')),
                      QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
    return false;
}

bool OpenSshServer::makeKeys()
{
    const QString passphrase = dir_.filePath(QStringLiteral("passphrase"));
    QFile file(passphrase);
    if (!file.open(QIODevice::WriteOnly) || file.write("not asked\n") < 0)
        return false;
    file.close();
    const QString keygen = QStringLiteral("ssh-keygen");
    const QString puttygen = QStringLiteral("puttygen");
    const QString locked = dir_.filePath(QStringLiteral("locked"));
    return run(keygen, {"-q", "-t", "rsa", "-b", "2048", "-N", "", "-f",
                        dir_.filePath(QStringLiteral("host_rsa"))}) &&
           run(keygen, {"-q", "-t", "ed25519", "-N", "", "-f", openSshKeyFile()}) &&
           run(puttygen, {openSshKeyFile(), "-O", "private", "-o", keyFile()}) &&
           run(keygen, {"-q", "-t", "ed25519", "-N", "not asked", "-f", locked}) &&
           run(puttygen, {locked, "-O", "private", "-o", passphraseKeyFile(), "--old-passphrase",
                          passphrase}) &&
           QFile::copy(openSshKeyFile() + QStringLiteral(".pub"),
                       dir_.filePath(QStringLiteral("authorized_keys")));
}

bool OpenSshServer::startServer(const QString& puttyDir)
{
    // sshd will not run without its privilege separation folder, which the
    // package's service makes at boot; a machine that never started it has none.
    if (!QDir().mkpath(QStringLiteral("/run/sshd"))) {
        error_ = QStringLiteral("cannot make /run/sshd");
        return false;
    }
    port_ = FixtureServers::freePort();
    const QString config = dir_.filePath(QStringLiteral("sshd_config"));
    QFile file(config);
    const QByteArray text = QStringLiteral("Port %1\n"
                                           "ListenAddress 127.0.0.1\n"
                                           "HostKey %2/host_rsa\n"
                                           "PidFile %2/sshd.pid\n"
                                           "AuthorizedKeysFile %2/authorized_keys\n"
                                           "PermitRootLogin prohibit-password\n"
                                           "UsePAM no\n"
                                           "StrictModes no\n"
                                           "PrintMotd no\n"
                                           "PrintLastLog no\n"
                                           "LogLevel FATAL\n"
                                           "ForceCommand echo %3\n")
                                .arg(port_)
                                .arg(dir_.path())
                                .arg(Uptime)
                                .toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        error_ = QStringLiteral("cannot write ") + config;
        return false;
    }
    file.close();

    QFile publicKey(dir_.filePath(QStringLiteral("host_rsa.pub")));
    QFile hostKeys(puttyDir + QStringLiteral("/sshhostkeys"));
    const QString trusted = publicKey.open(QIODevice::ReadOnly)
                                ? puttyHostKeyLine(publicKey.readAll(), port_)
                                : QString();
    if (trusted.isEmpty() || !hostKeys.open(QIODevice::Append) ||
        hostKeys.write(trusted.toLatin1() + '\n') < 0) {
        error_ = QStringLiteral("cannot trust the host key in ") + hostKeys.fileName();
        return false;
    }
    hostKeys.close();

    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(Sshd, {"-D", "-e", "-f", config});
    if (!QTest::qWaitFor([&] { return accepts(port_) || server_.state() == QProcess::NotRunning; },
                         ReadyTimeoutMs) ||
        server_.state() == QProcess::NotRunning) {
        error_ = QStringLiteral("sshd did not start on port %1").arg(port_);
        return false;
    }
    return true;
}

bool OpenSshServer::startAgent()
{
    const QString socket = agentSocket();
    agent_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    agent_.start(QStringLiteral("ssh-agent"), {"-D", "-a", socket});
    if (!QTest::qWaitFor(
            [&] { return QFile::exists(socket) || agent_.state() == QProcess::NotRunning; },
            ReadyTimeoutMs) ||
        !QFile::exists(socket)) {
        error_ = QStringLiteral("ssh-agent did not start");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), socket);
    return run(QStringLiteral("ssh-add"), {"-q", openSshKeyFile()}, env);
}
