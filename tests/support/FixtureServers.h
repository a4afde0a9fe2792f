#pragma once

// Fixture SSH servers for tests that run the real plink.
//
//     FixtureServers servers;              // private HOME, PUTTYDIR, working folder
//     QVERIFY2(servers.ok(), qPrintable(servers.error()));
//     FixtureServer& s = servers.start();  // or start(FixtureOptions{...})
//     FixtureServer& t = servers.start("example.net", options); // with its record
//     s.setUptime(123456);                 // the files the probe command reads
//     s.setMdstat("Personalities : [raid1]\n");
//     s.setBackupReport("0\n", "2026-12-08 03:00\n");
//     servers.addToServersFile(s, "example.org");   // a Servers.mdb record
//     ... run plink against 127.0.0.1, s.port(), password s.password() ...
//
// The constructor makes a Sandbox (support/Sandbox.h) whose PUTTYDIR's
// sshhostkeys file trusts every server started with trustHostKey. Each server is
// tests/fixtures/ssh_fixture_server.py on a free 127.0.0.1 port with a folder
// of its own for uptime, mdstat, backupreport and backupreport.success.
// All servers of a test process share one RSA host key. The destructor stops
// every server and then the sandbox goes.
// Only loopback addresses are ever used.

#include "store/ServerRecord.h"
#include "support/Sandbox.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QProcess;

enum class FixtureMode {
    Normal,
    RefuseLogin, // every login is refused ("Access denied")
    Slow,        // waits FixtureOptions::delay before it sends the command's output
    Held,        // holds every command's output until release()
    Hung,        // accepts the TCP connection and never speaks
    CrOutput,    // sends every LF of the command's output as CR LF
};

struct FixtureOptions {
    FixtureMode mode = FixtureMode::Normal;
    QString password = QStringLiteral("fixture-pw");
    std::chrono::milliseconds delay{0}; // Slow only
    bool trustHostKey = true;           // seed the key into PUTTYDIR's cache
};

class FixtureServer
{
public:
    int port() const { return port_; }
    QString portText() const { return QString::number(port_); }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    const QString& password() const { return options_.password; }
    FixtureMode mode() const { return options_.mode; }
    const QString& folder() const { return folder_; } // the server's own files
    // "rsa2@PORT:127.0.0.1 0x<e>,0x<n>": its line in a PuTTY host-key cache.
    const QString& hostKeyLine() const { return hostKeyLine_; }

    // /proc/uptime: "<seconds>.42 1.00" (the fraction is cut by the probe).
    void setUptime(qint64 seconds);
    void setUptimeText(const QByteArray& text);
    void setMdstat(const QByteArray& text);
    // /root/backupreport and, if given, /root/backupreport.success; an absent
    // success text removes that file.
    void setBackupReport(const QByteArray& report,
                         const std::optional<QByteArray>& success = std::nullopt);
    // Removes one of uptime, mdstat, backupreport, backupreport.success.
    void removeFile(const QString& name);

    // Held: how many commands arrived so far; release() lets them, and every
    // later one, answer, until hold() holds the later ones again.
    int heldCount() const;
    void release();
    void hold() { removeFile(QStringLiteral("release")); }

    // A record that connects to this server: host 127.0.0.1, its port, its
    // password scrambled as the store keeps it.
    ServerRecord record(const QString& domain, const QString& raidStatus = {}) const;

private:
    friend class FixtureServers;
    void writeFile(const QString& name, const QByteArray& content);

    FixtureOptions options_;
    QString folder_;
    QString hostKeyLine_;
    int port_ = 0;
    QProcess* process_ = nullptr;
};

class FixtureServers
{
public:
    FixtureServers();
    ~FixtureServers();
    FixtureServers(const FixtureServers&) = delete;
    FixtureServers& operator=(const FixtureServers&) = delete;

    // False when the temporary folders or a server could not be made; error() says why.
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    // Starts one server and waits until it listens. On failure ok() turns
    // false and the returned server has port 0.
    FixtureServer& start(const FixtureOptions& options = {});
    // ... and adds its record to Servers.mdb in the working folder.
    FixtureServer& start(const QString& domain, const FixtureOptions& options = {},
                         const QString& raidStatus = {});
    // Starts count servers side by side, faster than one after another.
    std::vector<FixtureServer*> startMany(int count, const FixtureOptions& options = {});

    // Stops one server now; its port is then closed.
    void stop(FixtureServer& server);

    // A loopback port that refuses connections: bound for the whole test
    // process and never listening, so no other server can take it.
    static int closedPort();
    // A loopback port that was free a moment ago (bound, read and closed), for
    // a program that must listen on a port given in advance.
    static int freePort();

    // Writes the server's record into a Servers.mdb (default: in the working folder).
    bool addToServersFile(const FixtureServer& server, const QString& domain,
                          const QString& raidStatus = {},
                          const QString& fileName = QStringLiteral("Servers.mdb"));

    // Rewrites PUTTYDIR/sshhostkeys from the servers that are trusted now.
    void trust(FixtureServer& server, bool trusted);

    Sandbox& sandbox() { return sandbox_; }
    QString home() const { return sandbox_.home(); }
    QString puttyDir() const { return sandbox_.puttyDir(); }
    QString workDir() const { return sandbox_.workDir(); }

private:
    bool launch(FixtureServer& server);
    bool awaitReady(FixtureServer& server);
    void writeHostKeys();

    Sandbox sandbox_;
    QTemporaryDir data_;
    std::vector<std::unique_ptr<FixtureServer>> servers_;
    QString error_;
};
