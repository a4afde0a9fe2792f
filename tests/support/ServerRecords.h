#pragma once

// Server records for tests, written through the program's own view.

#include "store/ServerRecord.h"
#include "store/StoreStatus.h"

#include <QList>
#include <QString>

class Servers;

// The stored form of a plain Latin-1 password, worked out here on its own:
// every code XOR the length.
QByteArray scrambledForm(const QString& plain);

// A record with the password given in plain.
ServerRecord serverRecord(const QString& domain, const QString& host = {}, const QString& port = {},
                          const QString& plain = QStringLiteral("pw"), const QString& raid = {});

// Adds the record as a new one through view.
StoreStatus addServer(Servers& view, const ServerRecord& record);
// Adds the records to a servers file (default: Servers.mdb in the working
// folder; created when missing); true when all were saved.
bool addServers(const QList<ServerRecord>& records,
                const QString& fileName = QStringLiteral("Servers.mdb"));
