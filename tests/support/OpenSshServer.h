#pragma once

// Debian's real OpenSSH server on a free 127.0.0.1 port, for what only a real
// one shows: root may log in by key only (PermitRootLogin prohibit-password).
// Its config, host key, authorized keys and pid file are in a temporary
// folder of its own; its host key is trusted in the given PUTTYDIR. Every
// command a client sends is replaced by a fixed answer (ForceCommand prints
// an uptime), so nothing of this machine's root is read.
//
// The client side comes with it: the authorized key as PuTTY's .ppk and in
// OpenSSH's form, a second key with a passphrase, and an ssh-agent of the
// test's own holding the authorized key.
//
//     OpenSshServer sshd(servers.puttyDir());
//     QVERIFY2(sshd.ok(), qPrintable(sshd.error()));
//     ... plink -P sshd.port() -i sshd.keyFile() root@127.0.0.1 ...

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class OpenSshServer
{
public:
    // What every command is answered with: the probe's uptime line.
    static constexpr qint64 Uptime = 93456;

    explicit OpenSshServer(const QString& puttyDir);
    ~OpenSshServer();
    OpenSshServer(const OpenSshServer&) = delete;
    OpenSshServer& operator=(const OpenSshServer&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    int port() const { return port_; }

    QString keyFile() const { return dir_.filePath(QStringLiteral("root.ppk")); }
    QString openSshKeyFile() const { return dir_.filePath(QStringLiteral("root")); }
    QString passphraseKeyFile() const { return dir_.filePath(QStringLiteral("locked.ppk")); }

    // Starts the agent with the authorized key in it; a client reaches it
    // through SSH_AUTH_SOCK=agentSocket().
    bool startAgent();
    QString agentSocket() const { return dir_.filePath(QStringLiteral("agent")); }

private:
    bool run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    bool makeKeys();
    bool startServer(const QString& puttyDir);

    QTemporaryDir dir_;
    QProcess server_, agent_;
    int port_ = 0;
    QString error_;
};
