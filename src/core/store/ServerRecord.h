#pragma once

#include <QByteArray>
#include <QString>

// One row of the table Server. A missing value reads as an empty text.
struct ServerRecord {
    qint64 id = 0; // the row's key in the file; 0 for a record not yet saved
    QString domain;
    QString serverHost;
    QString sshPort;
    QByteArray serverPassword; // the scrambled single-byte codes, stored verbatim
    QString raidStatus;

    bool operator==(const ServerRecord&) const = default;
};
