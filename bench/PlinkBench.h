#pragma once

// What a benchmark of plink runs against fixture servers sets up first:
// plink's path, the servers (all with one password) and that password in a
// file for the bare runs.

#include "probe/PasswordFiles.h"
#include "support/FixtureServers.h"

#include <QStandardPaths>

#include <vector>

struct PlinkBench {
    QString plink;
    FixtureServers fixtures;
    std::vector<FixtureServer*> servers;
    PasswordFiles passwords;
    QString passwordFile;

    // Empty when all is ready, else what is missing.
    QString start(int count, const QString& password)
    {
        plink = QStandardPaths::findExecutable(QStringLiteral("plink"));
        if (plink.isEmpty())
            return QStringLiteral("plink not found");
        servers = fixtures.startMany(count, FixtureOptions{.password = password});
        if (!fixtures.ok())
            return fixtures.error();
        const auto written = passwords.write(password);
        passwordFile = written.path;
        return written.problem;
    }
};
