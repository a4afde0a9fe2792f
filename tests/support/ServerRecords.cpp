#include "support/ServerRecords.h"

#include "store/Servers.h"

QByteArray scrambledForm(const QString& plain)
{
    QByteArray codes = plain.toLatin1();
    const auto key = static_cast<char>(codes.size());
    for (char& c : codes)
        c = static_cast<char>(c ^ key);
    return codes;
}

ServerRecord serverRecord(const QString& domain, const QString& host, const QString& port,
                          const QString& plain, const QString& raid)
{
    ServerRecord record;
    record.domain = domain;
    record.serverHost = host;
    record.sshPort = port;
    record.serverPassword = scrambledForm(plain);
    record.raidStatus = raid;
    return record;
}

StoreStatus addServer(Servers& view, const ServerRecord& record)
{
    const StoreStatus added = view.AddNew();
    if (!added.ok())
        return added;
    view.buffer() = record;
    view.buffer().id = 0;
    return view.Update();
}

bool addServers(const QList<ServerRecord>& records, const QString& fileName)
{
    Servers view(fileName);
    if (!view.openStatus().ok())
        return false;
    for (const ServerRecord& record : records) {
        if (!addServer(view, record).ok())
            return false;
    }
    return true;
}
