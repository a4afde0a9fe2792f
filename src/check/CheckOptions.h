#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

enum class Format { Nagios, Prometheus, Json };

// Nagios and Icinga end a check after 60 s and then keep none of its output:
// a run ends well before, with room for the program's start, its report and
// a busy machine.
inline constexpr std::chrono::milliseconds DefaultRunBudget{50000};

// What vemo-check was asked to do.
struct CheckOptions {
    Format format = Format::Nagios;
    QString file = QStringLiteral("Servers.mdb");
    QStringList domains; // empty: every server
    // The time the whole run may take; each client gets what is left of it,
    // never more than the runner's deadline.
    std::chrono::milliseconds timeout = DefaultRunBudget;
    std::optional<int> jobs;
    QString output;  // empty: standard output
    QString keyFile; // the clients' private key (-i); empty: the agent or passwords only
    bool help = false;
    bool version = false;
    QString error; // why the arguments cannot be used; empty when they can
};

// Reads the command line (the program's name first).
CheckOptions parseCheckOptions(const QStringList& arguments);

// The text of --help.
QString checkHelpText();
