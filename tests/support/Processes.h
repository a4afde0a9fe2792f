#pragma once

// Reads of /proc and of file modes for tests.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// /proc/<pid>/<entry>, empty when it cannot be read.
QByteArray procEntry(qint64 pid, const char* entry);

// The live (not zombie) children of parent whose command name is name. A child
// caught in the middle of its exec, with its new name but no arguments yet,
// counts once they are there.
QList<qint64> childProcesses(qint64 parent, const QByteArray& name);
// ... of this test process.
QList<qint64> childProcesses(const QByteArray& name);

QStringList commandLineOf(qint64 pid);
bool isRunning(qint64 pid); // alive and not a zombie
// The id of a process that ran and is gone (reaped) now; 0 when none could run.
qint64 endedProcessId();
// When pid started (field 22 of its stat, clock ticks since boot), which
// tells it from a later process given the same id; empty when none runs.
QString processStartTime(qint64 pid);

// The permission bits of path, or -1 when it does not exist.
int modeOf(const QString& path);

// The password files the runner keeps now: a detached start writes one before
// it returns. A waited client reads its password from a pipe and leaves none.
QStringList passwordFiles();
// Those of now that are not in before.
QStringList passwordFilesSince(const QStringList& before);

// What shows of the clients this process starts, waited or detached: its live
// children (a waited client is one once the runner's starter thread started
// it, soon after RunCommand returns, even before it runs the client's program)
// and the runner's password files.
struct ClientTrace {
    QList<qint64> children;
    QStringList passwordFiles;
};
ClientTrace clientTrace();
// What is new since before: "child <pid>: <its command line>" and "password
// file <name>"; empty when nothing started.
QStringList clientsSince(const ClientTrace& before);
