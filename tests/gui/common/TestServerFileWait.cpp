#include "common/ServerFileWait.h"
#include "store/Servers.h"
#include "support/FileLock.h"
#include "support/ModalWatch.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include <sys/inotify.h>
#include <unistd.h>

namespace
{

// Counts the opens of one file, as the kernel reports them: each attempt to
// open the servers file opens it at least once.
class FileOpens
{
public:
    explicit FileOpens(const QString& file) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        watching_ =
            fd_ >= 0 && ::inotify_add_watch(fd_, QFile::encodeName(file).constData(), IN_OPEN) >= 0;
    }
    ~FileOpens() { ::close(fd_); }
    FileOpens(const FileOpens&) = delete;
    FileOpens& operator=(const FileOpens&) = delete;

    bool watching() const { return watching_; }
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                count_ += (event->mask & IN_OPEN) ? 1 : 0;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return count_;
    }

private:
    int fd_;
    bool watching_ = false;
    int count_ = 0;
};

} // namespace

// The start-up check of a servers file that another program holds locked.
class TestServerFileWait : public QObject
{
    Q_OBJECT
private slots:
    void waitsUntilReleasedOrGivenUp_data();
    void waitsUntilReleasedOrGivenUp();
};

void TestServerFileWait::waitsUntilReleasedOrGivenUp_data()
{
    QTest::addColumn<bool>("giveUp");
    QTest::newRow("released") << false;
    QTest::newRow("given up") << true;
}

void TestServerFileWait::waitsUntilReleasedOrGivenUp()
{
    QFETCH(bool, giveUp);
    QTemporaryDir dir;
    const QString file = dir.filePath("Servers.mdb");
    {
        Servers create(file);
        QVERIFY(create.openStatus().ok());
    }
    auto lock = std::make_unique<ExclusiveLock>(file);
    QVERIFY(lock->held());
    FileOpens opens(file);
    QVERIFY(opens.watching());

    QString shown;
    bool openAfterRetries = false;
    bool closedByItself = false;
    auto watch = ModalWatch::on<QMessageBox>([&](QMessageBox& box) {
        shown = box.text();
        // Two tries or more go by with the lock still held: the box stays.
        const int before = opens.count();
        QTRY_VERIFY_WITH_TIMEOUT(opens.count() >= before + 3, 20000);
        openAfterRetries = box.isVisible();
        if (giveUp) {
            box.button(QMessageBox::Cancel)->click();
            return;
        }
        lock.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), 20000);
        closedByItself = true;
    });
    const StoreStatus status = openServerFileWaitingForLock(file, QStringLiteral("title"));

    QVERIFY(watch->ran());
    QVERIFY2(shown.contains("is locked by another program"), qPrintable(shown));
    QVERIFY(openAfterRetries);
    QCOMPARE(closedByItself, !giveUp);
    QCOMPARE(status.error, giveUp ? StoreError::Locked : StoreError::None);
}

QTEST_MAIN(TestServerFileWait)
#include "TestServerFileWait.moc"
