#pragma once

#include "probe/CommandLine.h"
#include "probe/OutputFile.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

// How a waited client ended.
struct RunResult {
    bool started = false; // false: the client could not be started at all
    bool timedOut = false;
    bool terminated = false; // ended by TerminateProcesses
    // Its answer passed AnswerLimit: the client was ended (or the kernel
    // stopped its writes to the file at the limit) and reason says so.
    bool tooLarge = false;
    // A short reason when the run failed, from the client's standard error or
    // from the runner ("Connection refused", "Access denied", "host key not yet
    // trusted", "timed out after 120 s", "plink not found"); may be empty.
    // Others: "host key differs from the trusted one", "stopped before it
    // finished" (TerminateProcesses), the client's own fatal error, and for a
    // line that is refused before anything starts, why (a domain that cannot
    // name a file, a password holding a line break). Meant for the case that
    // the output file is empty; a run that succeeded may still carry one.
    QString reason;
    // How the client ended (-1 when it did not run or crashed) and the end of
    // what it wrote on standard error.
    int exitCode = -1;
    QByteArray standardError;
    // The client's standard output when it was kept in memory
    // (OutputTo::Memory): its first Runner::CapturedOutputLimit bytes.
    QByteArray output;
};

// Where a waited client's standard output goes: into the line's output file,
// or into RunResult::output, so that nothing is written to the folder.
enum class OutputTo { File, Memory };

// Starts the SSH clients of this program and keeps the list of those running.
class Runner : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::seconds DefaultDeadline{120};
    // The reason of a run whose client was ended before it finished.
    static const QString StoppedReason;
    // How long a detached client's password file outlives its start.
    static constexpr std::chrono::seconds DetachedPasswordGrace{30};
    // How much of a client's standard output is kept, in memory or in its
    // file; a client whose answer passes it is ended.
    static constexpr qsizetype CapturedOutputLimit = AnswerLimit;

    static Runner& instance();

    // Starts a hidden client whose standard output goes into line.outputFile
    // (or, with OutputTo::Memory, into the result, and line.outputFile is
    // neither written nor removed) and returns at once. done runs exactly
    // once, later, from the event loop (also when the client could not be
    // started); not at all if context is destroyed first.
    void RunCommand(const CommandLine& line, QObject* context,
                    std::function<void(const RunResult&)> done, OutputTo output = OutputTo::File);

    // Starts a visible client that runs on its own; a console client is put
    // into a terminal window. False, with a reason, when nothing could start.
    bool startDetached(const CommandLine& line, QString* reason = nullptr);

    // Ends every running client of this program whose program name contains
    // text, ignoring case. Processes this program did not start are never touched.
    void TerminateProcesses(const QString& text);

    // The private key (PuTTY's .ppk) that every client is given with -i unless
    // its line names one; empty: none, the clients use the agent or a password.
    void setKeyFile(const QString& keyFile);
    QString keyFile() const;

    // How much nicer than this program its waited clients run (0 to 19; 0 by
    // default), their own children included (PuTTY's entropy gathering
    // among them). A desktop program's checks are background work: on busy
    // cores its window, and a screen reader asking it, should come first.
    void setClientNiceness(int steps);
    int clientNiceness() const;

    void setDeadline(std::chrono::milliseconds deadline);
    std::chrono::milliseconds deadline() const;
    int runningCount() const;
    // The process ids of the waited clients running now.
    QList<qint64> runningPids() const;

    // Shorter in tests; DetachedPasswordGrace by default.
    void setDetachedPasswordGrace(std::chrono::milliseconds grace);
    // The private folder of the password files, once one was written; empty before.
    QString passwordFolder() const;

    // Ends every running client and removes every password file; runs when
    // the application is about to quit and again at program exit.
    void shutdown();

private:
    explicit Runner(QObject* parent = nullptr);
    ~Runner() override;
    struct Private;
    struct Run;
    CommandLine withKeyFile(const CommandLine& line) const;
    void post(QObject* context, std::function<void(const RunResult&)> done, const RunResult& result,
              const QString& abandonedOutput);
    void removeUnreadOutput(const QString& outputFile);
    void hookApplicationQuit();
    QObject* starter();
    void started(quint64 serial);
    static void keepOutput(Run* run, const QByteArray& bytes);
    void endRun(Run* run);
    void failToStart(Run* run);
    void finish(Run* run, int exitCode, bool crashed);
    void complete(Run* run, const RunResult& result);
    std::unique_ptr<Private> d;
};
