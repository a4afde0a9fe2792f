#pragma once

#include <QByteArray>
#include <QString>

// The ways a client was given to log in, named in the reason of a refused login.
struct LoginWays {
    bool agent = false;    // an SSH agent was there to ask (SSH_AUTH_SOCK)
    QString keyFile;       // the key file after -i; empty: none
    bool password = false; // a password was handed over
};

inline const QString HostKeyUnknownReason = QStringLiteral("host key not yet trusted");
inline const QString HostKeyChangedReason = QStringLiteral("host key differs from the trusted one");

// What to do about a reason, for the administrator: how to trust a host key
// met for the first time, and why a changed one is never trusted on their
// behalf. Empty for other reasons.
QString reasonAdvice(const QString& reason);

// A short reason for a failed client run, read from what the client wrote on
// standard error ("Connection refused", "Access denied: ...", "host key not
// yet trusted", ...). A refused login names the ways tried ("Access denied:
// key from the agent, no password stored"). Empty when a client that exited
// normally with status 0 said nothing that marks a failure.
QString clientFailureReason(const QString& program, const QByteArray& standardError, int exitCode,
                            bool crashed, const LoginWays& ways = {});
