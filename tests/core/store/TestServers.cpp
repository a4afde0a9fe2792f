#include "store/Passwords.h"
#include "store/ServerFile.h"
#include "store/ServerLookup.h"
#include "store/Servers.h"
#include "support/FileLock.h"
#include "support/Processes.h"
#include "support/ServerRecords.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace
{

// The file's bytes; nullopt when it cannot be read.
std::optional<QByteArray> fileBytes(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// What the thorough check of a servers file says, as the programs open it.
StoreStatus thoroughCheck(const QString& name)
{
    sqlite3* db = nullptr;
    const StoreStatus status = ServerFile::open(name, &db, ServerFile::Check::Thorough);
    sqlite3_close(db);
    return status;
}

StoreStatus addServer(Servers& view, const QString& domain, const QByteArray& plain = "pw",
                      const QString& host = {}, const QString& port = {})
{
    ServerRecord record = serverRecord(domain, host, port);
    record.serverPassword = ScramblePassword(plain);
    return ::addServer(view, record);
}

QStringList domains(Servers& view)
{
    QStringList result;
    if (!view.MoveFirst().ok())
        return result;
    for (; !view.Eof(); view.MoveNext())
        result << view.Domain();
    return result;
}

} // namespace

class TestServers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void missingFileIsCreatedEmpty();
    void fileIsPrivateWhateverTheUmask_data();
    void fileIsPrivateWhateverTheUmask();
    void readableFileIsMadePrivate_data();
    void readableFileIsMadePrivate();
    void recordsKeepTableOrderAndFieldsRoundTrip();
    void lookupComparesValues();
    void viewsSeeOthersChangesOnlyAfterRefresh();
    void duplicateDomainIsRefused();
    void editSavesTheEditedRecordWhereverTheViewMoved();
    void blankDomainIsRefused();
    void cancelledEditChangesNothing();
    void editOfRecordRemovedElsewhereFails();
    void foreignFilesAreRefusedUntouched_data();
    void foreignFilesAreRefusedUntouched();
    void danglingLinkIsRefusedAndNothingCreated();
    void killedWriterLosesNothingSaved();
    void lookupReadsTheOneRecordFresh();
    void lockIsReportedAsLockNotDamage();

private:
    QTemporaryDir* dir = nullptr;
    QString file;
};

void TestServers::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    file = dir->filePath("Servers.mdb");
}

void TestServers::cleanup()
{
    delete dir;
    dir = nullptr;
}

void TestServers::missingFileIsCreatedEmpty()
{
    QVERIFY(!QFile::exists(file));
    Servers view(file);
    QVERIFY2(view.openStatus().ok(), qPrintable(view.openStatus().message));
    QVERIFY(QFile::exists(file));
    QCOMPARE(view.MoveFirst().error, StoreError::NoCurrentRecord);
    QVERIFY(!view.hasCurrent());
    QVERIFY(view.Eof()); // a walk that starts here ends at once
    QCOMPARE(view.Domain(), QString());
    QCOMPARE(view.Edit().error, StoreError::NoCurrentRecord);
    QCOMPARE(view.Delete().error, StoreError::NoCurrentRecord);
}

void TestServers::fileIsPrivateWhateverTheUmask_data()
{
    QTest::addColumn<int>("mask");
    QTest::newRow("umask 022") << 022;
    QTest::newRow("umask 077") << 077;
    QTest::newRow("umask 277") << 0277;
}

// It holds every password: the file and its journal are the owner's alone.
void TestServers::fileIsPrivateWhateverTheUmask()
{
    QFETCH(int, mask);
    const mode_t previous = ::umask(mode_t(mask));
    {
        Servers view(file);
        QVERIFY2(view.openStatus().ok(), qPrintable(view.openStatus().message));
    }
    QCOMPARE(modeOf(file), 0600);
    // A write under way: SQLite's journal beside the file.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT INTO Server (Domain) VALUES ('x')", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
    QCOMPARE(modeOf(file + "-journal"), 0600);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ::umask(previous);
}

void TestServers::readableFileIsMadePrivate_data()
{
    QTest::addColumn<bool>("mine");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("said");
    QTest::newRow("mine") << true << 0600 << "is private now (mode 0600)";
    QTest::newRow("another user's") << false << 0644 << "it was left as it is";
}

void TestServers::readableFileIsMadePrivate()
{
    QFETCH(bool, mine);
    QFETCH(int, mode);
    QFETCH(QString, said);
    QVERIFY(addServers({}, file));
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    constexpr uid_t Nobody = 65534; // any other user: root may give the file away
    if (!mine)
        QCOMPARE(::chown(QFile::encodeName(file).constData(), Nobody, gid_t(-1)), 0);
    const QString line = ServerFile::makePrivate(file);
    QVERIFY2(line.contains(said) && line.contains(QFileInfo(file).absoluteFilePath()),
             qPrintable(line));
    QCOMPARE(modeOf(file), mode);
    if (mine)
        QCOMPARE(ServerFile::makePrivate(file), QString()); // once
}

void TestServers::recordsKeepTableOrderAndFieldsRoundTrip()
{
    QByteArray everyCode;
    for (int code = 0; code <= 255; ++code)
        everyCode.append(char(code));
    QString raid;
    for (int line = 0; line < 40; ++line)
        raid += QStringLiteral("md%1 : active raid1 sdb1[1] sda1[0]\n").arg(line);
    // A client passes NUL through to the output file; the text keeps it.
    raid += QChar(0) + QStringLiteral("after a NUL\n");
    QVERIFY(raid.size() > 255);
    {
        Servers view(file);
        QVERIFY(addServer(view, "zeta.example", "z").ok());
        QVERIFY(addServer(view, "alpha.example", "a", "10.1.1.1", "2200").ok());
        QVERIFY(view.FindFirst("alpha.example"));
        QVERIFY(view.Edit().ok());
        view.buffer().serverPassword = everyCode;
        view.buffer().raidStatus = raid;
        QVERIFY(view.Update().ok());
    }
    Servers fresh(file);
    QCOMPARE(domains(fresh), (QStringList{"zeta.example", "alpha.example"}));
    QVERIFY(fresh.FindFirst("alpha.example"));
    QCOMPARE(fresh.ServerHost(), QString("10.1.1.1"));
    QCOMPARE(fresh.SSHPort(), QString("2200"));
    QCOMPARE(fresh.ServerPassword(), everyCode);
    QCOMPARE(fresh.RAID_Status(), raid);
    QVERIFY(fresh.FindFirst("zeta.example"));
    QCOMPARE(fresh.ServerHost(), QString());
    QCOMPARE(fresh.RAID_Status(), QString());
}

void TestServers::lookupComparesValues()
{
    Servers view(file);
    const QString hostile = "x' OR '1'='1";
    QVERIFY(addServer(view, "plain.example").ok());
    QVERIFY(addServer(view, hostile, "h").ok());
    QVERIFY(addServer(view, "o'brien.example", "o").ok());

    QVERIFY(view.FindFirst(hostile));
    QCOMPARE(view.Domain(), hostile);
    QCOMPARE(view.ServerPassword(), ScramblePassword("h"));
    QVERIFY(view.FindFirst("o'brien.example"));
    QCOMPARE(view.ServerPassword(), ScramblePassword("o"));

    // A miss never lands on another record.
    QVERIFY(view.FindFirst("plain.example"));
    QVERIFY(!view.FindFirst("PLAIN.example"));
    QVERIFY(!view.hasCurrent());
    QCOMPARE(view.Domain(), QString());
    QCOMPARE(view.Edit().error, StoreError::NoCurrentRecord);
    QVERIFY(!view.FindFirst("' OR 1=1 --"));
    QVERIFY(!view.hasCurrent());
}

void TestServers::viewsSeeOthersChangesOnlyAfterRefresh()
{
    Servers first(file);
    Servers second(file);
    QVERIFY(addServer(first, "one.example").ok());
    QVERIFY(domains(second).isEmpty());
    QVERIFY(second.Refresh().ok());
    QCOMPARE(domains(second), QStringList{"one.example"});

    QVERIFY(first.FindFirst("one.example"));
    QVERIFY(first.Edit().ok());
    first.buffer().raidStatus = "accepted";
    QVERIFY(first.Update().ok());
    QVERIFY(second.FindFirst("one.example"));
    QCOMPARE(second.RAID_Status(), QString());
    second.Refresh();
    QVERIFY(second.FindFirst("one.example"));
    QCOMPARE(second.RAID_Status(), QString("accepted"));

    // A save through a view loaded before another view's save keeps the
    // fields it did not change as the other view saved them.
    QVERIFY(second.Edit().ok());
    second.buffer().sshPort = "2222";
    QVERIFY(first.FindFirst("one.example"));
    QVERIFY(first.Edit().ok());
    first.buffer().raidStatus = "accepted again";
    QVERIFY(first.Update().ok());
    QVERIFY(second.Update().ok());
    {
        Servers fresh(file);
        QVERIFY(fresh.FindFirst("one.example"));
        QCOMPARE(fresh.RAID_Status(), QString("accepted again"));
        QCOMPARE(fresh.SSHPort(), QString("2222"));
    }

    QVERIFY(first.FindFirst("one.example"));
    QVERIFY(first.Delete().ok());
    QVERIFY(!first.hasCurrent());
    QCOMPARE(domains(second), QStringList{"one.example"});
    second.Refresh();
    QVERIFY(domains(second).isEmpty());
}

void TestServers::duplicateDomainIsRefused()
{
    Servers view(file);
    QVERIFY(addServer(view, "dup.example", "first", "host1", "22").ok());
    const StoreStatus status = addServer(view, "dup.example", "second", "host2", "23");
    QCOMPARE(status.error, StoreError::DuplicateKey);
    // The refused record stays pending with what was typed, and can be corrected.
    QCOMPARE(view.editMode(), Servers::EditMode::Adding);
    QCOMPARE(view.buffer().serverHost, QString("host2"));
    view.buffer().domain = "other.example";
    QVERIFY(view.Update().ok());

    // Renaming into an existing domain is refused too.
    QVERIFY(view.FindFirst("other.example"));
    QVERIFY(view.Edit().ok());
    view.buffer().domain = "dup.example";
    QCOMPARE(view.Update().error, StoreError::DuplicateKey);
    view.CancelUpdate();

    Servers fresh(file);
    QCOMPARE(domains(fresh), (QStringList{"dup.example", "other.example"}));
    QVERIFY(fresh.FindFirst("dup.example"));
    QCOMPARE(fresh.ServerHost(), QString("host1"));
    QCOMPARE(fresh.ServerPassword(), ScramblePassword("first"));
}

void TestServers::editSavesTheEditedRecordWhereverTheViewMoved()
{
    Servers view(file);
    QVERIFY(addServer(view, "a.example").ok());
    QVERIFY(addServer(view, "b.example").ok());
    QVERIFY(view.FindFirst("b.example"));
    QVERIFY(view.Edit().ok());
    view.buffer().raidStatus = "for b";
    QVERIFY(view.FindFirst("a.example"));
    QVERIFY(view.Update().ok());

    Servers fresh(file);
    QVERIFY(fresh.FindFirst("a.example"));
    QCOMPARE(fresh.RAID_Status(), QString());
    QVERIFY(fresh.FindFirst("b.example"));
    QCOMPARE(fresh.RAID_Status(), QString("for b"));
    QVERIFY(view.FindFirst("a.example"));
    QCOMPARE(view.RAID_Status(), QString());
    QVERIFY(view.FindFirst("b.example"));
    QCOMPARE(view.RAID_Status(), QString("for b"));

    // A walk begun after a missed lookup reaches the end instead of standing still.
    QVERIFY(!view.FindFirst("none.example"));
    int steps = 0;
    for (; !view.Eof() && steps < 10; view.MoveNext())
        ++steps;
    QVERIFY(view.Eof());
}

void TestServers::blankDomainIsRefused()
{
    Servers view(file);
    QCOMPARE(addServer(view, "   ").error, StoreError::Failed);
    view.CancelUpdate();
    QCOMPARE(addServer(view, "").error, StoreError::Failed);
    view.CancelUpdate();
    Servers fresh(file);
    QCOMPARE(fresh.recordCount(), 0);
}

void TestServers::cancelledEditChangesNothing()
{
    {
        Servers view(file);
        QVERIFY(addServer(view, "keep.example", QByteArray("p\0w\x04x", 5), "h", "2222").ok());
    }
    const std::optional<QByteArray> before = fileBytes(file);
    QVERIFY(before);
    Servers view(file);
    QVERIFY(view.FindFirst("keep.example"));
    QVERIFY(view.Edit().ok());
    view.buffer().domain = "changed.example";
    view.buffer().serverHost = "other";
    view.buffer().sshPort = "1";
    view.buffer().serverPassword = ScramblePassword("new");
    view.buffer().raidStatus = "x";
    view.CancelUpdate();
    QCOMPARE(view.Update().error, StoreError::Failed); // nothing pending any more
    view.AddNew();
    view.buffer().domain = "new.example";
    view.CancelUpdate();

    QCOMPARE(fileBytes(file), before);
    Servers fresh(file);
    QVERIFY(fresh.FindFirst("keep.example"));
    QCOMPARE(fresh.ServerPassword(), ScramblePassword(QByteArray("p\0w\x04x", 5)));
    QCOMPARE(fresh.ServerHost(), QString("h"));
    QCOMPARE(fresh.recordCount(), 1);
}

void TestServers::editOfRecordRemovedElsewhereFails()
{
    Servers first(file);
    Servers second(file);
    QVERIFY(addServer(first, "gone.example").ok());
    second.Refresh();
    QVERIFY(first.FindFirst("gone.example"));
    QVERIFY(first.Delete().ok());
    // A new server must not be mistaken for the removed one.
    QVERIFY(addServer(first, "new.example").ok());

    QVERIFY(second.FindFirst("gone.example"));
    QVERIFY(second.Edit().ok());
    second.buffer().raidStatus = "stale write";
    QCOMPARE(second.Update().error, StoreError::Failed);

    Servers fresh(file);
    QCOMPARE(domains(fresh), QStringList{"new.example"});
    QVERIFY(fresh.FindFirst("new.example"));
    QCOMPARE(fresh.RAID_Status(), QString());
}

void TestServers::foreignFilesAreRefusedUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray jet(4096, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QTest::newRow("access file") << jet;
    QTest::newRow("text file") << QByteArray("Domain,Host\nexample.org,1.2.3.4\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("sqlite header only") << QByteArray("SQLite format 3\0", 16);

    // A real database cut short in the middle.
    QTemporaryDir scratch;
    const QString good = scratch.filePath("good.mdb");
    {
        Servers view(good);
        for (int i = 0; i < 200; ++i)
            addServer(view, QStringLiteral("s%1.example").arg(i), QByteArray(200, 'p'));
    }
    const QByteArray whole = fileBytes(good).value_or(QByteArray());
    QTest::newRow("truncated database") << whole.left(whole.size() / 2);

    // A database of some other program.
    const QString other = scratch.filePath("other.mdb");
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(other).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE Customers (Name TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QTest::newRow("other sqlite database") << fileBytes(other).value_or(QByteArray());
}

void TestServers::foreignFilesAreRefusedUntouched()
{
    QFETCH(QByteArray, content);
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    const StoreStatus status = thoroughCheck(file);
    QCOMPARE(status.error, StoreError::Failed);
    QVERIFY2(status.message.contains(file), qPrintable(status.message));
    Servers view(file);
    QVERIFY(!view.openStatus().ok());
    QCOMPARE(view.AddNew().error, StoreError::Failed);

    QCOMPARE(fileBytes(file), std::optional(content));
    QVERIFY(!QFile::exists(file + "-journal"));
}

void TestServers::danglingLinkIsRefusedAndNothingCreated()
{
    QVERIFY(QDir(dir->path()).mkdir("elsewhere"));
    const QString target = dir->filePath("elsewhere/target.mdb");
    QVERIFY(QFile::link(target, file));
    const StoreStatus status = thoroughCheck(file);
    QCOMPARE(status.error, StoreError::Failed);
    QVERIFY2(status.message.contains(file) && status.message.contains(target) &&
                 status.message.contains("symbolic link"),
             qPrintable(status.message));
    Servers view(file);
    QVERIFY(!view.openStatus().ok());
    QCOMPARE(view.AddNew().error, StoreError::Failed);
    QCOMPARE(QDir(dir->filePath("elsewhere")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             (QStringList{"elsewhere", "Servers.mdb"}));
    QCOMPARE(QFileInfo(file).symLinkTarget(), target);
}

void TestServers::killedWriterLosesNothingSaved()
{
    const int saved = 4;
    {
        Servers view(file);
        QVERIFY(addServer(view, "saved1.example", "one", "h1", "2201").ok());
        QVERIFY(addServer(view, "saved2.example", "two").ok());
    }
    // The writer saves some records, then holds the next one in the middle of
    // writing the file; only then is it killed.
    QProcess writer;
    writer.start(STORE_WRITER, {file, QString::number(saved)});
    QVERIFY(writer.waitForStarted());
    QByteArray out;
    while (!out.endsWith("open\n") && writer.waitForReadyRead(20000))
        out += writer.readAllStandardOutput();
    QCOMPARE(out.split('\n').size(), saved + 2); // the numbers, "open" and the end
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished(10000));

    const StoreStatus status = thoroughCheck(file);
    QVERIFY2(status.ok(), qPrintable(status.message));
    Servers view(file);
    QVERIFY(view.FindFirst("saved1.example"));
    QCOMPARE(view.ServerPassword(), ScramblePassword("one"));
    QCOMPARE(view.SSHPort(), QString("2201"));
    QVERIFY(view.FindFirst("saved2.example"));
    QCOMPARE(view.ServerPassword(), ScramblePassword("two"));
    // Every record the writer saved is whole; the interrupted one is not there.
    QStringList writers;
    for (view.MoveFirst(); !view.Eof(); view.MoveNext()) {
        if (!view.Domain().startsWith("writer"))
            continue;
        writers << view.Domain();
        QCOMPARE(view.RAID_Status(), QString(200000, QChar('m')) + view.Domain().mid(6));
    }
    QStringList expected;
    for (int i = 0; i < saved; ++i)
        expected << QStringLiteral("writer%1").arg(i);
    QCOMPARE(writers, expected);
}

void TestServers::lookupReadsTheOneRecordFresh()
{
    {
        Servers view(file);
        QVERIFY(view.openStatus().ok());
    }
    // Many records, written in one go.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 3000) INSERT INTO Server (Domain, ServerHost, SSHPort, "
                          "ServerPassword, RAID_Status) SELECT 'd' || i || '.example', 'h' || i, "
                          "CAST(i AS TEXT), X'7071', 'r' || i FROM n",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);

    ServerLookup lookup(file);
    ServerLookup::Result found = lookup.find("d2345.example");
    QVERIFY2(found.status.ok(), qPrintable(found.status.message));
    QCOMPARE(found.record.domain, QStringLiteral("d2345.example"));
    QCOMPARE(found.record.serverHost, QStringLiteral("h2345"));
    QCOMPARE(found.record.sshPort, QStringLiteral("2345"));
    QCOMPARE(found.record.serverPassword, QByteArray("pq"));
    QCOMPARE(found.record.raidStatus, QStringLiteral("r2345"));
    QCOMPARE(lookup.find("d2345.exampl").status.error, StoreError::NoCurrentRecord);
    QCOMPARE(lookup.find("x' OR '1'='1").status.error, StoreError::NoCurrentRecord);

    // Each lookup reads the file as it is then: another connection's changes show at once.
    QCOMPARE(sqlite3_exec(db,
                          "UPDATE Server SET ServerHost = 'moved' WHERE Domain = 'd17.example';"
                          "DELETE FROM Server WHERE Domain = 'd2345.example'",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
    QCOMPARE(lookup.find("d17.example").record.serverHost, QStringLiteral("moved"));
    QCOMPARE(lookup.find("d2345.example").status.error, StoreError::NoCurrentRecord);
}

void TestServers::lockIsReportedAsLockNotDamage()
{
    Servers view(file);
    QVERIFY(addServer(view, "a.example").ok());
    QVERIFY(view.FindFirst("a.example"));
    QVERIFY(view.Edit().ok());
    view.buffer().serverHost = "typed";
    ServerLookup lookup(file);

    ExclusiveLock lock(file);
    QVERIFY(lock.held());
    const StoreStatus opened = thoroughCheck(file);
    QCOMPARE(opened.error, StoreError::Locked);
    QVERIFY2(opened.message.contains("is locked by another program"), qPrintable(opened.message));
    QCOMPARE(lookup.find("a.example").status.error, StoreError::Locked);
    const StoreStatus saved = view.Update();
    QCOMPARE(saved.error, StoreError::Locked);
    QCOMPARE(view.buffer().serverHost, QStringLiteral("typed")); // kept for another try
    // A view read again under the lock keeps what it had.
    QCOMPARE(view.Refresh().error, StoreError::Locked);
    QCOMPARE(domains(view), QStringList{"a.example"});

    lock.release();
    QVERIFY(view.FindFirst("a.example"));
    QVERIFY(view.Edit().ok());
    view.buffer().serverHost = "typed";
    QVERIFY(view.Update().ok());
    QCOMPARE(lookup.find("a.example").record.serverHost, QStringLiteral("typed"));
}

QTEST_GUILESS_MAIN(TestServers)
#include "TestServers.moc"
