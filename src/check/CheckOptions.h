#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

enum class Format { Nagios, Prometheus, Json };

// What vemo-check was asked to do.
struct CheckOptions {
    Format format = Format::Nagios;
    QString file = QStringLiteral("Servers.mdb");
    QStringList domains; // empty: every server
    std::optional<std::chrono::milliseconds> timeout;
    std::optional<int> jobs;
    QString output; // empty: standard output
    bool help = false;
    bool version = false;
    QString error; // why the arguments cannot be used; empty when they can
};

// Reads the command line (the program's name first).
CheckOptions parseCheckOptions(const QStringList& arguments);

// The text of --help.
QString checkHelpText();
