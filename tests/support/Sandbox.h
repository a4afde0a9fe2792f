#pragma once

// A private place for a test: a temporary HOME, PUTTYDIR and working folder
// (made current), no SSH agent, and a folder of stand-in clients that can be
// put on PATH.
// The destructor restores the environment and the current folder.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

// One start of a stand-in, as it recorded itself.
struct StandInCall {
    QStringList args;
    std::optional<QString> password; // the content of the file after -pwfile
    QString puttyDir;                // its PUTTYDIR
    QString output;                  // a terminal's: what the command in it printed
};

class Sandbox
{
public:
    enum class Path { Kept, StandInsFirst, StandInsOnly };

    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    QString home() const { return home_.path(); }
    QString puttyDir() const { return puttyDir_.path(); }
    QString workDir() const { return workDir_.path(); }
    QString bin() const { return bin_.path(); }

    // The stand-ins' folder first on PATH, or alone on it; Kept restores PATH.
    void setPath(Path path);

    // A stand-in client in bin(): it records each start (its arguments, the
    // content of the file after -pwfile, its PUTTYDIR) and ends with 0.
    bool addRecorder(const QString& name);
    // A stand-in terminal: records its start once the command after -e (and a
    // -T title) ended,
    // which it runs as xterm does, without the PUTTY... variables of its own
    // environment, keeping what the command printed.
    bool addTerminal(const QString& name);

    QList<StandInCall> calls(const QString& name) const;
    bool waitForCalls(const QString& name, int count = 1, int timeoutMs = 20000) const;

private:
    bool writeStandIn(const QString& name, bool terminal);

    QTemporaryDir home_, puttyDir_, workDir_, bin_, records_;
    QString previousDir_;
    std::optional<QByteArray> previousHome_, previousPuttyDir_, previousPath_, previousAgent_;
    QString error_;
};
