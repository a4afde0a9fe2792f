#pragma once

// Helpers of the maintenance window tests: a workspace (a sandbox with a
// stand-in terminal and plink on PATH) with direct reads of its servers file.

#include "store/ServerRecord.h"
#include "support/MessageLog.h"
#include "support/ModalWatch.h"
#include "support/Sandbox.h"
#include "support/ServerRecords.h"

#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>
#include <optional>

// The objectNames of the widgets that Tab visits, starting with first.
QStringList tabOrder(QWidget* first, int count);

// The texts of the list's items, top to bottom.
QStringList listed(const QListWidget* list);

// Types into the add/edit dialog's domain, host, port and password boxes, key
// by key; empty texts are skipped.
void typeEntries(QWidget& dialog, const QString& domain, const QString& host, const QString& port,
                 const QString& password);

// The add/edit dialog as it shows: "<title> | <save caption>, enabled or
// disabled | <domain>, <host>, <port>, <password>".
QString dialogState(const QWidget& dialog);

class Workspace
{
public:
    enum class Terminal { Present, Missing };
    // StandIn: a plink that records what it was given and contacts nothing.
    // Real: the installed plink, for runs against fixture servers on loopback.
    enum class Client { StandIn, Real };
    // A sandbox of its own, or the stand-ins put into a given one (that of a
    // FixtureServers made before). Without a terminal the stand-ins are all
    // there is on PATH.
    explicit Workspace(Terminal terminal = Terminal::Present, Sandbox* shared = nullptr,
                       Client client = Client::StandIn);

    bool ok() const { return sandbox_.ok(); }
    const QString& error() const { return sandbox_.error(); }

    QString serversFile() const; // Servers.mdb in the working folder
    // Writes the records into Servers.mdb (created when missing).
    bool seed(const QList<ServerRecord>& records) { return addServers(records, serversFile()); }
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
    int plinkCalls() const { return int(sandbox_.calls(QStringLiteral("plink")).size()); }
    QStringList terminalArguments() const;
    // What the client printed in the stand-in terminal, once it has ended.
    bool waitForTerminal(int timeoutMs = 15000) const;
    QByteArray terminalOutput() const;

private:
    std::unique_ptr<Sandbox> own_;
    Sandbox& sandbox_;
    bool terminal_ = true;
};

// The base of the tests of the maintenance window and its dialog: each test
// function gets a fresh workspace and message log, dropped after it. A test
// class that needs more in cleanup() declares its own and calls this one.
class MaintenanceTest : public QObject
{
    Q_OBJECT
protected slots:
    void init()
    {
        workspace_ = std::make_unique<Workspace>();
        QVERIFY2(workspace_->ok(), qPrintable(workspace_->error()));
        messages_ = std::make_unique<MessageLog>();
    }
    void cleanup()
    {
        messages_.reset();
        workspace_.reset();
    }

protected:
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<MessageLog> messages_;
};
