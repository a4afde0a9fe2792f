// The history tables in a real servers file.
#include "history/HistoryStore.h"
#include "store/ServerFile.h"
#include "store/Servers.h"
#include "support/FileLock.h"
#include "support/ServerRecords.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace
{

QStringList tables(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                       &stmt, nullptr);
    QStringList names;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    names.removeAll("sqlite_sequence");
    return names;
}

QList<HistoryEvent> eventsOf(const QString& file, const QString& domain, qint64 since = 0)
{
    HistoryStore store(file);
    QList<HistoryEvent> events;
    QList<ObservedSpan> observed;
    store.read(domain, since, &events, &observed);
    return events;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void upgradeInPlaceKeepsTheServers();
    void pruneRemovalAndRename();
    void lockedFileKeepsTheWritesQueued();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString file_;
};

void TestHistoryStore::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    file_ = dir_->filePath("Servers.mdb");
    ServerRecord a;
    a.domain = "a.example";
    a.raidStatus = "ref";
    ServerRecord b;
    b.domain = "b.example";
    QVERIFY(addServers({a, b}, file_));
}

void TestHistoryStore::upgradeInPlaceKeepsTheServers()
{
    QCOMPARE(tables(file_), QStringList{"Server"}); // a file of an earlier version
    HistoryStore store(file_);
    HistoryStore::Loaded loaded;
    QVERIFY(store.load(&loaded).ok()); // no tables yet: nothing to carry on from
    QVERIFY(loaded.past.isEmpty());
    store.append({"a.example", 10, HistoryAspect::Status, "offline", "Connection refused"});
    store.saveAcknowledgement({"a.example", 10, 99, "rebuild"});
    store.markObserved(5, 20);
    QVERIFY(store.flush().ok());
    QCOMPARE(tables(file_),
             (QStringList{"MonitorRun", "Server", "ServerAcknowledgement", "ServerHistory"}));

    // The servers read as before, by a reader that knows only them.
    Servers servers(file_, Servers::Access::ReadOnly);
    QVERIFY(servers.openStatus().ok());
    QCOMPARE(servers.recordCount(), 2);
    QVERIFY(servers.FindFirst("a.example"));
    QCOMPARE(servers.RAID_Status(), QString("ref"));

    HistoryStore next(file_);
    QVERIFY(next.load(&loaded).ok());
    QCOMPARE(loaded.past["a.example"].status.state, QString("offline"));
    QCOMPARE(loaded.past["a.example"].status.since, 10);
    QCOMPARE(loaded.acknowledgements["a.example"],
             (Acknowledgement{"a.example", 10, 99, "rebuild"}));
}

void TestHistoryStore::pruneRemovalAndRename()
{
    {
        HistoryStore store(file_);
        for (const char* domain : {"a.example", "b.example"}) {
            store.append({domain, 100, HistoryAspect::Status, "online", {}});
            store.append({domain, 200, HistoryAspect::Status, "offline", "x"});
            store.append({domain, 300, HistoryAspect::Status, "online", {}});
        }
        store.prune(150);
        QVERIFY(store.flush().ok());
        store.prune(250);
        QVERIFY(store.flush().ok());
    }
    QCOMPARE(eventsOf(file_, "a.example").size(), 1);

    // A rename carries the history along; a removal takes it away.
    Servers servers(file_);
    QVERIFY(servers.FindFirst("a.example"));
    QVERIFY(servers.Edit().ok());
    servers.buffer().domain = "c.example";
    QVERIFY(servers.Update().ok());
    QCOMPARE(eventsOf(file_, "c.example").size(), 1);
    QCOMPARE(eventsOf(file_, "a.example").size(), 0);
    QVERIFY(servers.FindFirst("b.example"));
    QVERIFY(servers.Delete().ok());
    QCOMPARE(eventsOf(file_, "b.example").size(), 0);
    QCOMPARE(eventsOf(file_, "c.example").size(), 1);
}

void TestHistoryStore::lockedFileKeepsTheWritesQueued()
{
    HistoryStore store(file_);
    store.append({"a.example", 1, HistoryAspect::Status, "online", {}});
    {
        ExclusiveLock lock(file_);
        QVERIFY(lock.held());
        QCOMPARE(store.flush().error, StoreError::Locked);
        QCOMPARE(store.queued(), 1);
        store.append({"a.example", 2, HistoryAspect::Status, "offline", "y"});
    }
    QVERIFY(store.flush().ok());
    QCOMPARE(store.queued(), 0);
    QCOMPARE(eventsOf(file_, "a.example").size(), 2);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "TestHistoryStore.moc"
