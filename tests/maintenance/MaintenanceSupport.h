#pragma once

// Helpers of the maintenance window tests: a private workspace (HOME,
// PUTTYDIR, working folder with its own Servers.mdb, stand-in terminal and
// plink on PATH), direct reads of the servers file, scripted message boxes
// and a way to act inside a modal dialog while it runs.

#include "app/MessageBox.h"
#include "store/ServerRecord.h"

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

// The stored form of a plain Latin-1 password, worked out here on its own:
// every code XOR the length.
QByteArray scrambledForm(const QString& plain);

// A record with the password given in plain.
ServerRecord serverRecord(const QString& domain, const QString& host, const QString& port,
                          const QString& plain, const QString& raid = {});

// The objectNames of the widgets that Tab visits, starting with first.
QStringList tabOrder(QWidget* first, int count);

class Workspace
{
public:
    enum class Terminal { Present, Missing };
    // Own: a temporary HOME, PUTTYDIR and working folder of its own. Kept:
    // those of the caller (a FixtureServers made before), only PATH changes.
    enum class Folders { Own, Kept };
    // StandIn: a plink that records what it was given and contacts nothing.
    // Real: the installed plink, for runs against fixture servers on loopback.
    enum class Client { StandIn, Real };
    explicit Workspace(Terminal terminal = Terminal::Present, Folders folders = Folders::Own,
                       Client client = Client::StandIn);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    QString serversFile() const; // Servers.mdb in the working folder
    // Writes the records into Servers.mdb (created when missing).
    bool seed(const QList<ServerRecord>& records);
    // Every record as it lies in the file, in table order, read with SQLite
    // directly; nullopt when the file cannot be read.
    std::optional<QList<ServerRecord>> stored() const;
    QByteArray fileBytes() const;

    // What the stand-in plink was started with, once it (and the terminal
    // around it) has ended: its arguments, and the content of the file given
    // after -pwfile.
    bool waitForPlink(int timeoutMs = 15000) const;
    QStringList plinkArguments() const;
    QByteArray plinkPasswordFile() const;
    QStringList terminalArguments() const;
    // What the client printed in the stand-in terminal, once it has ended.
    bool waitForTerminal(int timeoutMs = 15000) const;
    QByteArray terminalOutput() const;

private:
    bool writeScript(const QString& name, const QByteArray& body);

    QTemporaryDir home_, puttyDir_, work_, bin_, record_;
    QString previousDir_, serversFile_;
    bool restoreFolders_ = false;
    bool terminal_ = true;
    QByteArray previousHome_, previousPuttyDir_, previousPath_;
    QString error_;
};

// Answers message boxes from a script and keeps what was asked.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    void answerNext(int answer) { answers_.append(answer); }
    const QList<MessageBox::Request>& requests() const { return requests_; }
    void clear() { requests_.clear(); }

private:
    QList<MessageBox::Request> requests_;
    QList<int> answers_;
    MessageBox::Handler previous_;
};

// Runs an action on the first visible modal dialog of type T once it shows
// (from inside its exec), then closes it with reject() if the action left it
// open. Watching stops when the watch is destroyed.
class ModalWatch
{
public:
    template <typename T> static std::unique_ptr<ModalWatch> on(std::function<void(T&)> action)
    {
        auto watch = std::unique_ptr<ModalWatch>(new ModalWatch);
        ModalWatch* self = watch.get();
        QObject::connect(&self->timer_, &QTimer::timeout, [self, action] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            self->timer_.stop();
            self->ran_ = true;
            action(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        self->timer_.start(10);
        return watch;
    }
    bool ran() const { return ran_; }

private:
    ModalWatch() = default;
    QTimer timer_;
    bool ran_ = false;
};
