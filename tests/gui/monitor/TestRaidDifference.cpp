#include "monitor/RaidDifference.h"

#include <QtTest>

// The line-by-line details of the RAID question.
class TestRaidDifference : public QObject
{
    Q_OBJECT
private slots:
    void difference_data();
    void difference();
};

void TestRaidDifference::difference_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString healthy = "Personalities : [raid1]\n"
                            "md0 : active raid1 sdb1[1] sda1[0]\n"
                            "      1048512 blocks [2/2] [UU]\n";
    const QString degraded = "Personalities : [raid1]\n"
                             "md0 : active raid1 sda1[0]\n"
                             "      1048512 blocks [2/1] [U_]\n";
    QTest::newRow("no reference") << "" << healthy
                                  << "No RAID text has been accepted for this server yet.";
    QTest::newRow("declined before")
        << "Dirty!!!" << healthy
        << "The first RAID text read was not accepted, so there is no accepted text to "
           "compare with.";
    QTest::newRow("same") << healthy << healthy << "The text is the accepted one.";
    QTest::newRow("a disk gone") << healthy << degraded
                                 << "Compared with the accepted RAID text:\n"
                                    "  Personalities : [raid1]\n"
                                    "- md0 : active raid1 sdb1[1] sda1[0]\n"
                                    "-       1048512 blocks [2/2] [UU]\n"
                                    "+ md0 : active raid1 sda1[0]\n"
                                    "+       1048512 blocks [2/1] [U_]";
    QTest::newRow("an array added")
        << "Personalities : [raid1]\nmd0 : active\nunused devices: <none>\n"
        << "Personalities : [raid1]\nmd0 : active\nmd1 : active\nunused devices: <none>\n"
        << "Compared with the accepted RAID text:\n"
           "  Personalities : [raid1]\n"
           "  md0 : active\n"
           "+ md1 : active\n"
           "  unused devices: <none>";
    QTest::newRow("an array removed") << "a\nb\nc\n"
                                      << "a\nc\n"
                                      << "Compared with the accepted RAID text:\n  a\n- b\n  c";
    QTest::newRow("final line break only") << "a\nb\n"
                                           << "a\nb"
                                           << "The texts differ only in their final line break.";
    // A server's answer is not trusted to be small: no table of n x m lines.
    QString manyOld, manyNew;
    for (int line = 0; line < 20000; ++line) {
        manyOld += QStringLiteral("old %1\n").arg(line);
        manyNew += QStringLiteral("new %1\n").arg(line);
    }
    QTest::newRow("too long to compare")
        << manyOld << manyNew
        << "The texts are too long to compare line by line (20000 and 20000 lines).";
    QTest::newRow("blank line kept apart") << "a\n\nb\n"
                                           << "a\nb\n"
                                           << "Compared with the accepted RAID text:\n  a\n- \n  b";
}

void TestRaidDifference::difference()
{
    QFETCH(QString, reference);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(raidDifference(reference, text), expected);
}

QTEST_APPLESS_MAIN(TestRaidDifference)
#include "TestRaidDifference.moc"
