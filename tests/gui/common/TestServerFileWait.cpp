#include "common/ServerFileWait.h"
#include "store/Servers.h"
#include "support/FileLock.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

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

    QString shown;
    bool stillOpenAfterRetries = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || !shown.isEmpty())
            return;
        shown = box->text();
        // A few retries go by with the lock still held: the box stays.
        QTimer::singleShot(800, box, [&, box] {
            stillOpenAfterRetries = box->isVisible();
            if (giveUp)
                box->button(QMessageBox::Cancel)->click();
            else
                lock.reset();
        });
    });
    watch.start(10);
    const StoreStatus status = openServerFileWaitingForLock(file, QStringLiteral("title"));

    QVERIFY2(shown.contains("is locked by another program"), qPrintable(shown));
    QVERIFY(stillOpenAfterRetries);
    QCOMPARE(status.error, giveUp ? StoreError::Locked : StoreError::None);
}

QTEST_MAIN(TestServerFileWait)
#include "TestServerFileWait.moc"
