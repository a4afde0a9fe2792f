#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// How a client's window is shown: hidden and waited for, or visible and detached.
enum class WindowStyle { Hidden = 0, Normal = 1 };

// One SSH client run as a value: which client, its connection parameters,
// the remote command, where its standard output goes and how it is started.
// Every value reaches the client as its own argument; no shell is involved.
struct CommandLine {
    QString program;       // "plink" or "putty", found on PATH
    QString port;          // after -P
    QString password;      // handed over in a private file, never as an argument;
                           // empty: none at all, the client logs in by key
    QString keyFile;       // after -i: a private key of PuTTY's (.ppk); empty: none
    QString host;          // after "root@"
    QString remoteCommand; // one argument; empty for the interactive login
    QString outputFile;    // standard output goes here (working directory); empty: nowhere
    WindowStyle windowStyle = WindowStyle::Hidden;
    bool wait = true;
    // For a client in a terminal window: no "Press Return to begin session"
    // prompt after the login (-no-antispoof), and the window's title.
    bool noAntispoof = false;
    QString title;
    // Why this line must not run (a domain that cannot name its output file);
    // empty when it may. The runner refuses a line that has one.
    QString problem;

    // The client's argument list, the password given as the file passwordFile
    // (none when that is empty):
    // -P port [-i keyFile] [-pwfile passwordFile] [-no-antispoof] root@host [remoteCommand]
    QStringList arguments(const QString& passwordFile) const;
};

// The remote command of a server check: uptime seconds, the two backup
// reports and /proc/mdstat, joined so that each step runs whatever the others do.
extern const QString ProbeCommand;
extern const QString RaidCommand;         // "cat /proc/mdstat"
extern const QString VerificationCommand; // "echo Server Verified!;sleep 2"
extern const QString RaidTempFileName;    // "~karu2.tmp"

// "~karu~" + domain + ".tmp"
QString CheckTempFileName(const QString& domain);

// Why a domain cannot name a file inside the working directory (a slash, a
// backslash, NUL or another control character, "." or "..", or a temp file
// name longer than a file name may be), or nothing.
std::optional<QString> domainFileNameProblem(const QString& domain);

// The same test for an output file's name: it must name one file directly
// inside the working directory.
std::optional<QString> outputFileNameProblem(const QString& fileName);

CommandLine ServerCheckLine(const QString& port, const QString& password, const QString& host,
                            const QString& domain);
CommandLine RaidRecheckLine(const QString& port, const QString& password, const QString& host);
// In a terminal window titled after domain.
CommandLine VerificationLine(const QString& port, const QString& password, const QString& host,
                             const QString& domain);
CommandLine InteractiveLoginLine(const QString& port, const QString& password, const QString& host);
