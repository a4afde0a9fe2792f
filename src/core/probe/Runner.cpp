#include "probe/Runner.h"

#include "probe/ClientEnvironment.h"
#include "probe/ClientReason.h"
#include "probe/OutputFile.h"
#include "probe/PasswordFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

// A client that ignores SIGTERM is killed this long after it.
constexpr std::chrono::milliseconds KillGrace{3000};
// Only the tail of a client's standard error is kept for the reason.
constexpr qsizetype MaxStandardError = 8192;

QString deadlineText(std::chrono::milliseconds deadline)
{
    const auto ms = deadline.count();
    if (ms % 1000 == 0)
        return QStringLiteral("timed out after %1 s").arg(ms / 1000);
    return QStringLiteral("timed out after %1 ms").arg(ms);
}

// Console clients need a terminal window to be seen; putty has its own.
bool isConsoleClient(const QString& program)
{
    return QFileInfo(program).fileName().compare(QLatin1String("putty"), Qt::CaseInsensitive) != 0;
}

// Runs in a waited client between fork and exec, so only async-signal-safe
// calls. The client ends with the program however that ends (a kill -9
// included): the kernel sends it SIGKILL when its parent dies, and a parent
// that died before that was set is noticed here. Its standard output goes
// into the output file the runner made, which the kernel keeps within the
// answer limit (a write past it ends the client with SIGXFSZ), and it may
// read the password pipe. It runs niceness steps nicer than the program.
void setUpWaitedChild(pid_t parent, int outputFd, int passwordFd, int niceness)
{
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127);
    if (outputFd >= 0) {
        const rlimit fileSize{rlim_t(AnswerLimit), rlim_t(AnswerLimit)};
        if (::dup2(outputFd, STDOUT_FILENO) < 0 || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
            ::_exit(127);
    }
    if (passwordFd >= 0 && ::fcntl(passwordFd, F_SETFD, 0) != 0)
        ::_exit(127);
    // Raising one's own niceness is always allowed; were it refused, the
    // client would still run as it should.
    if (niceness > 0)
        (void)::setpriority(PRIO_PROCESS, 0, ::getpriority(PRIO_PROCESS, 0) + niceness);
}

// What a client has to log in with: the agent it inherits, a key file, a password.
LoginWays loginWays(const CommandLine& line)
{
    return {!qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"), line.keyFile, !line.password.isEmpty()};
}

// vemo-verify: beside the program, in its libexec folder, or on PATH.
QString terminalHolder()
{
    const QString name = QStringLiteral("vemo-verify");
    if (QCoreApplication::instance()) {
        const QString dir = QCoreApplication::applicationDirPath();
        for (const QString& folder : {dir, dir + QStringLiteral("/../libexec/vemo")}) {
            const QFileInfo candidate(folder + QLatin1Char('/') + name);
            if (candidate.isFile() && candidate.isExecutable())
                return candidate.canonicalFilePath();
        }
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace

struct Runner::Run {
    quint64 serial = 0;
    QProcess* process = nullptr; // on the starter thread while starting
    bool starting = false;
    bool endWhenStarted = false; // endRun came while it was starting
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(const RunResult&)> done;
    QString programName; // as given in the command line, for TerminateProcesses
    QString outputFile;
    QTimer* deadlineTimer = nullptr;
    std::chrono::milliseconds deadline{0}; // as it was when the client started
    QMetaObject::Connection contextGone;
    QByteArray standardError;
    LoginWays ways; // named when the login is refused
    bool captureOutput = false;
    QByteArray output; // standard output kept in memory (OutputTo::Memory)
    bool timedOut = false;
    bool terminated = false;
    bool tooLarge = false;
    bool ended = false;
};

struct Runner::Private {
    std::chrono::milliseconds deadline = DefaultDeadline;
    std::chrono::milliseconds detachedGrace = DetachedPasswordGrace;
    PasswordFiles passwords;
    QString keyFile;                        // given to every client that names none
    std::vector<std::unique_ptr<Run>> runs; // the waited clients not ended yet
    quint64 lastSerial = 0;
    int clientNiceness = 0;
    bool quitHooked = false;
    QThread* starter = nullptr;        // starts the waited clients
    QObject* starterContext = nullptr; // lives on starter
};

void Runner::keepOutput(Run* run, const QByteArray& bytes)
{
    const qsizetype room = CapturedOutputLimit - run->output.size();
    run->output += bytes.left(std::max<qsizetype>(room, 0));
    if (bytes.size() > room && !run->tooLarge) {
        run->tooLarge = true;
        Runner::instance().endRun(run);
    }
}

const QString Runner::StoppedReason = QStringLiteral("stopped before it finished");

Runner& Runner::instance()
{
    static Runner runner;
    return runner;
}

Runner::Runner(QObject* parent) : QObject(parent), d(std::make_unique<Private>())
{
    hookApplicationQuit();
}

Runner::~Runner()
{
    shutdown();
    if (d->starter) {
        d->starter->quit();
        d->starter->wait();
        delete d->starterContext;
        delete d->starter;
    }
}

// The thread lives as long as the runner: the kernel takes the thread that
// started a client for its parent, whose end (PR_SET_PDEATHSIG) ends it.
QObject* Runner::starter()
{
    if (!d->starter) {
        d->starter = new QThread;
        d->starter->setObjectName(QStringLiteral("client starter"));
        d->starter->start();
        d->starterContext = new QObject;
        d->starterContext->moveToThread(d->starter);
    }
    return d->starterContext;
}

void Runner::shutdown()
{
    // Clients still running belong to a program that is ending: stop them
    // all, then clear away their unread output and every password file. They
    // share one grace to end on SIGTERM, then those left are killed.
    // Clients still starting come back to this thread first.
    const bool starting =
        std::any_of(d->runs.begin(), d->runs.end(), [](const auto& run) { return run->starting; });
    if (starting)
        QMetaObject::invokeMethod(
            d->starterContext, [] {}, Qt::BlockingQueuedConnection);
    const std::vector<std::unique_ptr<Run>> runs = std::move(d->runs);
    d->runs.clear();
    for (const auto& run : runs) {
        run->starting = false;
        run->process->blockSignals(false);
        run->ended = true;
        disconnect(run->contextGone);
        run->process->disconnect(this);
        if (run->process->state() != QProcess::NotRunning)
            run->process->terminate();
    }
    const auto waitForAll = [&runs] {
        const QDeadlineTimer grace(KillGrace);
        for (const auto& run : runs)
            run->process->waitForFinished(int(std::max<qint64>(grace.remainingTime(), 0)));
    };
    waitForAll();
    for (const auto& run : runs) {
        if (run->process->state() != QProcess::NotRunning)
            run->process->kill();
    }
    waitForAll();
    for (const auto& run : runs) {
        removeUnreadOutput(run->outputFile);
        delete run->process;
    }
    d->passwords.removeAll();
}

void Runner::hookApplicationQuit()
{
    if (d->quitHooked)
        return;
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &Runner::shutdown);
        d->quitHooked = true;
    }
}

void Runner::post(QObject* context, std::function<void(const RunResult&)> done,
                  const RunResult& result, const QString& abandonedOutput)
{
    // Delivered from the event loop, and only while the caller still exists;
    // an output file nobody will read is removed instead.
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, guard, hasContext, done = std::move(done), result, abandonedOutput] {
            if (hasContext && !guard) {
                removeUnreadOutput(abandonedOutput);
                return;
            }
            if (done)
                done(result);
        },
        Qt::QueuedConnection);
}

void Runner::removeUnreadOutput(const QString& outputFile)
{
    if (outputFile.isEmpty() || outputFileNameProblem(outputFile))
        return;
    for (const auto& other : d->runs) {
        if (other->outputFile == outputFile)
            return; // a later run writes the same file now
    }
    QFile::remove(outputFile);
}

void Runner::RunCommand(const CommandLine& givenLine, QObject* context,
                        std::function<void(const RunResult&)> done, OutputTo output)
{
    // Output kept in memory touches no file: not the line's, nor one of that name.
    CommandLine line = withKeyFile(givenLine);
    if (output == OutputTo::Memory)
        line.outputFile.clear();
    const auto refuse = [&](const QString& reason) {
        // No client writes the output file now; one left over from an
        // earlier run must not pass for this run's answer.
        removeUnreadOutput(line.outputFile);
        RunResult result;
        result.reason = reason;
        post(context, std::move(done), result, QString());
    };
    if (!line.problem.isEmpty())
        return refuse(line.problem);
    if (!line.outputFile.isEmpty()) {
        if (auto problem = outputFileNameProblem(line.outputFile))
            return refuse(*problem);
    }
    if (auto problem = passwordFileProblem(line.password))
        return refuse(*problem);
    const QString executable = QStandardPaths::findExecutable(line.program);
    if (executable.isEmpty())
        return refuse(QStringLiteral("%1 not found").arg(line.program));
    hookApplicationQuit();
    // The runner makes the output file itself, so that a folder it cannot be
    // made in is named as the cause rather than reported as a failed start.
    const CreatedOutput created =
        line.outputFile.isEmpty() ? CreatedOutput{} : createOutputFile(line.outputFile);
    if (!created.problem.isEmpty())
        return refuse(created.problem);
    // No password, no pipe: the client logs in with the agent or the key file.
    const PasswordPipe password =
        line.password.isEmpty() ? PasswordPipe{} : writePasswordPipe(line.password);
    if (!password.problem.isEmpty()) {
        ::close(created.fd);
        return refuse(password.problem);
    }

    Run* run = d->runs.emplace_back(std::make_unique<Run>()).get();
    run->context = context;
    run->hasContext = context != nullptr;
    run->done = std::move(done);
    run->programName = line.program;
    run->outputFile = line.outputFile;
    run->ways = loginWays(line);
    // No parent: it goes to the starter thread and back.
    run->process = new QProcess;

    QProcess* process = run->process;
    process->setProgram(executable);
    process->setArguments(
        line.arguments(password.readFd < 0 ? QString() : inheritedFilePath(password.readFd)));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessEnvironment(ClientEnvironment::waitedClients());
    run->captureOutput = output == OutputTo::Memory;
    if (!run->captureOutput)
        process->setStandardOutputFile(QProcess::nullDevice()); // created.fd replaces it
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setChildProcessModifier([parent = ::getpid(), outputFd = created.fd,
                                      passwordFd = password.readFd, niceness = d->clientNiceness] {
        setUpWaitedChild(parent, outputFd, passwordFd, niceness);
    });

    if (run->captureOutput) {
        connect(process, &QProcess::readyReadStandardOutput, this,
                [run] { keepOutput(run, run->process->readAllStandardOutput()); });
    }
    connect(process, &QProcess::readyReadStandardError, this, [run] {
        run->standardError += run->process->readAllStandardError();
        if (run->standardError.size() > MaxStandardError)
            run->standardError = run->standardError.right(MaxStandardError);
    });
    connect(process, &QProcess::finished, this,
            [this, run](int exitCode, QProcess::ExitStatus status) {
                finish(run, exitCode, status == QProcess::CrashExit);
            });
    connect(process, &QProcess::errorOccurred, this, [this, run](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failToStart(run);
    });
    if (context) {
        // Nobody will read the output of a caller that went away: stop its client.
        run->contextGone = connect(context, &QObject::destroyed, this, [this, run] {
            if (!run->ended)
                endRun(run);
        });
    }
    run->deadline = d->deadline;
    run->serial = ++d->lastSerial;
    run->starting = true;

    // QProcess::start returns only once the child has exec'd (vfork): on busy
    // cores its child waits for a core, a hundred milliseconds and more, and
    // the event loop would wait with it. The starter thread waits instead and
    // hands the process back; its signals are held until then.
    process->blockSignals(true);
    process->moveToThread(starter()->thread());
    QMetaObject::invokeMethod(
        starter(),
        [this, process, home = thread(), serial = run->serial, outputFd = created.fd,
         passwordFd = password.readFd] {
            process->start();
            // The child has its own copies now (or never started): ours go.
            if (outputFd >= 0)
                ::close(outputFd);
            if (passwordFd >= 0)
                ::close(passwordFd);
            process->moveToThread(home);
            QMetaObject::invokeMethod(
                this, [this, serial] { started(serial); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void Runner::started(quint64 serial)
{
    const auto entry = std::find_if(d->runs.begin(), d->runs.end(),
                                    [serial](const auto& run) { return run->serial == serial; });
    if (entry == d->runs.end())
        return; // shutdown took it
    Run* run = entry->get();
    run->starting = false;
    QProcess* process = run->process;
    process->blockSignals(false);
    run->deadlineTimer = new QTimer(process);
    run->deadlineTimer->setSingleShot(true);
    connect(run->deadlineTimer, &QTimer::timeout, this, [this, run] {
        run->timedOut = true;
        endRun(run);
    });
    run->deadlineTimer->start(run->deadline);
    if (process->state() == QProcess::NotRunning) {
        // It failed, or already ended, while its signals were held.
        if (process->error() == QProcess::FailedToStart)
            failToStart(run);
        else
            finish(run, process->exitCode(), process->exitStatus() == QProcess::CrashExit);
        return;
    }
    if (run->endWhenStarted)
        endRun(run);
}

void Runner::endRun(Run* run)
{
    if (run->starting) {
        run->endWhenStarted = true;
        return;
    }
    QProcess* process = run->process;
    if (process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    QTimer::singleShot(KillGrace, process, [process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
}

void Runner::failToStart(Run* run)
{
    if (run->ended)
        return;
    RunResult result;
    result.reason = QStringLiteral("%1 could not be started: %2")
                        .arg(run->programName, run->process->errorString());
    complete(run, result);
}

void Runner::finish(Run* run, int exitCode, bool crashed)
{
    if (run->ended)
        return;
    run->standardError += run->process->readAllStandardError();
    RunResult result;
    if (run->captureOutput) {
        keepOutput(run, run->process->readAllStandardOutput());
        result.output = run->output;
    }
    result.started = true;
    result.exitCode = crashed ? -1 : exitCode;
    result.standardError = run->standardError;
    result.timedOut = run->timedOut;
    result.terminated = run->terminated;
    result.tooLarge = run->tooLarge || (crashed && exitCode == SIGXFSZ);
    if (result.tooLarge)
        result.reason = AnswerTooLargeReason;
    else if (run->timedOut)
        result.reason = deadlineText(run->deadline);
    else if (run->terminated)
        result.reason = StoppedReason;
    else
        result.reason =
            clientFailureReason(run->programName, run->standardError, exitCode, crashed, run->ways);
    complete(run, result);
}

void Runner::complete(Run* run, const RunResult& result)
{
    run->ended = true;
    if (run->deadlineTimer)
        run->deadlineTimer->stop();
    // Out of the list before its output file is cleared away below (a run in
    // the list still writes it); freed when this returns.
    const auto entry = std::find_if(d->runs.begin(), d->runs.end(),
                                    [run](const auto& owned) { return owned.get() == run; });
    std::unique_ptr<Run> owned = std::move(*entry);
    d->runs.erase(entry);
    disconnect(run->contextGone);
    run->process->disconnect(this);
    run->process->deleteLater();
    if (run->hasContext && !run->context)
        removeUnreadOutput(run->outputFile);
    else
        post(run->hasContext ? run->context.data() : nullptr, std::move(run->done), result,
             run->outputFile);
}

bool Runner::startDetached(const CommandLine& givenLine, QString* reason)
{
    const CommandLine line = withKeyFile(givenLine);
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!line.problem.isEmpty())
        return fail(line.problem);
    if (auto problem = passwordFileProblem(line.password))
        return fail(*problem);
    const QString executable = QStandardPaths::findExecutable(line.program);
    if (executable.isEmpty())
        return fail(QStringLiteral("%1 not found").arg(line.program));

    QString program = executable;
    QStringList prefix;
    if (line.windowStyle == WindowStyle::Normal && isConsoleClient(line.program)) {
        program = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(QStringLiteral("xterm"));
        if (program.isEmpty())
            return fail(QStringLiteral("no terminal window program found (x-terminal-emulator "
                                       "or xterm)"));
        // -T titles the window; -e takes the rest as the command and its
        // arguments, each one word (both are what Debian asks of every
        // x-terminal-emulator).
        prefix = {QStringLiteral("-T"), line.title.isEmpty() ? line.program : line.title,
                  QStringLiteral("-e")};
        // xterm leaves PuTTY's variables out of what it runs: without PUTTYDIR
        // the client would trust, and store, host keys elsewhere than the checks.
        const QString env = QStandardPaths::findExecutable(QStringLiteral("env"));
        const QString puttyDir = qEnvironmentVariable("PUTTYDIR");
        if (!puttyDir.isEmpty() && !env.isEmpty())
            prefix << env << QStringLiteral("PUTTYDIR=") + puttyDir;
        // Without a shell, our own small program keeps the window open when
        // the client fails; without it the window closes with the client.
        if (const QString holder = terminalHolder(); !holder.isEmpty())
            prefix << holder;
        prefix << executable;
    }

    hookApplicationQuit();
    const PasswordFiles::Written password =
        line.password.isEmpty() ? PasswordFiles::Written{} : d->passwords.write(line.password);
    if (!password.problem.isEmpty())
        return fail(password.problem);

    QProcess process;
    process.setProgram(program);
    process.setArguments(prefix + line.arguments(password.path));
    if (prefix.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(line.outputFile.isEmpty() ? QProcess::nullDevice()
                                                            : line.outputFile);
    if (!process.startDetached()) {
        if (!password.path.isEmpty())
            d->passwords.remove(password.path);
        return fail(QStringLiteral("%1 could not be started: %2")
                        .arg(QFileInfo(program).fileName(), process.errorString()));
    }
    // The client reads the file while it starts; it goes after a grace period,
    // or with the program if that ends first.
    const QString file = password.path;
    if (!file.isEmpty())
        QTimer::singleShot(d->detachedGrace, this, [this, file] { d->passwords.remove(file); });
    return true;
}

void Runner::TerminateProcesses(const QString& text)
{
    for (const auto& run : d->runs) {
        if (run->ended ||
            !QFileInfo(run->programName).fileName().contains(text, Qt::CaseInsensitive))
            continue;
        run->terminated = true;
        endRun(run.get());
    }
}

void Runner::setClientNiceness(int steps)
{
    d->clientNiceness = std::clamp(steps, 0, 19);
}

int Runner::clientNiceness() const
{
    return d->clientNiceness;
}

void Runner::setDeadline(std::chrono::milliseconds deadline)
{
    d->deadline = deadline;
}

std::chrono::milliseconds Runner::deadline() const
{
    return d->deadline;
}

void Runner::setKeyFile(const QString& keyFile)
{
    d->keyFile = keyFile;
}

QString Runner::keyFile() const
{
    return d->keyFile;
}

CommandLine Runner::withKeyFile(const CommandLine& line) const
{
    CommandLine keyed = line;
    if (keyed.keyFile.isEmpty())
        keyed.keyFile = d->keyFile;
    return keyed;
}

void Runner::setDetachedPasswordGrace(std::chrono::milliseconds grace)
{
    d->detachedGrace = grace;
}

int Runner::runningCount() const
{
    return int(d->runs.size());
}

QList<qint64> Runner::runningPids() const
{
    QList<qint64> pids;
    pids.reserve(d->runs.size());
    for (const auto& run : d->runs) {
        if (!run->starting && run->process->state() == QProcess::Running && !run->ended)
            pids << run->process->processId();
    }
    return pids;
}

QString Runner::passwordFolder() const
{
    return d->passwords.folder();
}
