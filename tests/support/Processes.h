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

// The permission bits of path, or -1 when it does not exist.
int modeOf(const QString& path);

// The password files the runner keeps now: each start writes one at once.
QStringList passwordFiles();
// Those of now that are not in before.
QStringList passwordFilesSince(const QStringList& before);
