// The /proc/mdstat parser against samples of what the kernel writes.
#include "probe/Mdstat.h"

#include <QtTest>

class TestMdstat : public QObject
{
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void fieldsOfOneArray();
};

void TestMdstat::samples_data()
{
    QTest::addColumn<QString>("mdstat");
    QTest::addColumn<QStringList>("summary");
    QTest::addColumn<Level>("level");

    QTest::newRow("healthy raid1")
        << "Personalities : [raid1] [linear] [multipath] [raid0] [raid6] [raid5] [raid4] "
           "[raid10]\n"
           "md0 : active raid1 sdb1[1] sda1[0]\n"
           "      1048512 blocks super 1.2 [2/2] [UU]\n"
           "      bitmap: 0/1 pages [0KB], 65536KB chunk\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid1: 2 of 2 members, healthy"} << Level::Ok;
    QTest::newRow("degraded raid1") << "Personalities : [raid1]\n"
                                       "md0 : active raid1 sda1[0]\n"
                                       "      1048512 blocks [2/1] [U_]\n\n"
                                       "unused devices: <none>\n"
                                    << QStringList{"md0 raid1: 1 of 2 members"} << Level::Critical;
    QTest::newRow("raid1 recovering")
        << "Personalities : [raid1]\n"
           "md2 : active raid1 sdc3[2] sda3[0]\n"
           "      1048512 blocks [2/1] [U_]\n"
           "      [>....................]  recovery =  3.6% (37888/1048512) finish=260.3min "
           "speed=64K/sec\n\n"
           "unused devices: <none>\n"
        << QStringList{"md2 raid1: 1 of 2 members, recovery 3.6%, about 4 h 20 min left"}
        << Level::Critical;
    QTest::newRow("raid5 with a failed member")
        << "Personalities : [raid6] [raid5] [raid4]\n"
           "md0 : active raid5 sdd1[3](F) sdc1[2] sdb1[1]\n"
           "      2093056 blocks super 1.2 level 5, 512k chunk, algorithm 2 [3/2] [UU_]\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid5: 2 of 3 members, sdd1 failed"} << Level::Critical;
    QTest::newRow("raid6 and raid1 side by side")
        << "Personalities : [raid1] [raid6] [raid5] [raid4]\n"
           "md1 : active raid6 sde1[4] sdd1[3] sdc1[2] sdb1[1] sda1[0]\n"
           "      3142656 blocks super 1.2 level 6, 512k chunk, algorithm 2 [5/5] [UUUUU]\n"
           "      \n"
           "md0 : active raid1 sdg1[1](W) sdf1[0]\n"
           "      1048512 blocks super 1.2 [2/2] [UU]\n\n"
           "unused devices: sdh1 sdi1\n"
        << QStringList{"md1 raid6: 5 of 5 members, healthy", "md0 raid1: 2 of 2 members, healthy"}
        << Level::Ok;
    QTest::newRow("raid10 with a spare")
        << "Personalities : [raid10]\n"
           "md0 : active raid10 sde1[4](S) sdd1[3] sdc1[2] sdb1[1] sda1[0]\n"
           "      2095104 blocks super 1.2 512K chunks 2 near-copies [4/4] [UUUU]\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid10: 4 of 4 members, sde1 spare, healthy"} << Level::Ok;
    QTest::newRow("resync pending, read-only")
        << "Personalities : [raid1]\n"
           "md127 : active (auto-read-only) raid1 sdb[1] sda[0]\n"
           "      1048512 blocks super 1.2 [2/2] [UU]\n"
           "        resync=PENDING\n\n"
           "unused devices: <none>\n"
        << QStringList{"md127 raid1 (auto-read-only): 2 of 2 members, resync pending"} << Level::Ok;
    QTest::newRow("resync running")
        << "Personalities : [raid1]\n"
           "md0 : active raid1 sdb1[1] sda1[0]\n"
           "      1048512 blocks [2/2] [UU]\n"
           "      [=====>...............]  resync = 28.1% (294976/1048512) finish=0.3min "
           "speed=36872K/sec\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid1: 2 of 2 members, resync 28.1%, less than a minute left"}
        << Level::Warning;
    QTest::newRow("reshape")
        << "Personalities : [raid6] [raid5] [raid4]\n"
           "md0 : active raid5 sdd1[3] sdc1[2] sdb1[1] sda1[0]\n"
           "      2095104 blocks super 1.2 level 5, 512k chunk, algorithm 2 [4/4] [UUUU]\n"
           "      [==>..................]  reshape = 12.6% (132096/1047552) finish=61.6min "
           "speed=247K/sec\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid5: 4 of 4 members, reshape 12.6%, about 1 h 2 min left"}
        << Level::Warning;
    QTest::newRow("check in progress")
        << "Personalities : [raid1]\n"
           "md0 : active raid1 sdb1[1] sda1[0]\n"
           "      1048512 blocks [2/2] [UU]\n"
           "      [===>.................]  check = 15.5% (162560/1048512) finish=120.0min "
           "speed=27093K/sec\n\n"
           "unused devices: <none>\n"
        << QStringList{"md0 raid1: 2 of 2 members, check 15.5%, about 2 h left"} << Level::Ok;
    QTest::newRow("inactive container with spares")
        << "Personalities : \n"
           "md127 : inactive sdb[1](S) sda[0](S)\n"
           "      10402 blocks super external:imsm\n\n"
           "unused devices: <none>\n"
        << QStringList{"md127 (inactive): 2 members, sdb and sda spares"} << Level::Ok;
    QTest::newRow("no arrays") << "Personalities : \nunused devices: <none>\n"
                               << QStringList{"no md arrays"} << Level::None;
    QTest::newRow("no md at all") << "cat: /proc/mdstat: No such file or directory\n"
                                  << QStringList{"no md arrays"} << Level::None;
    QTest::newRow("unknown lines skipped")
        << "Personalities : [raid1]\nsomething new : 42\n"
           "md0 : active raid1 sdb1[1] sda1[0]\n"
           "      1048512 blocks [2/2] [UU]\n"
           "      future: 1 2 3\n\nunused devices: <none>\n"
        << QStringList{"md0 raid1: 2 of 2 members, healthy"} << Level::Ok;
}

void TestMdstat::samples()
{
    QFETCH(QString, mdstat);
    QFETCH(QStringList, summary);
    QFETCH(Level, level);
    const Mdstat md = parseMdstat(mdstat);
    QCOMPARE(mdSummary(md), summary);
    QCOMPARE(mdLevel(md), level);
}

void TestMdstat::fieldsOfOneArray()
{
    const Mdstat md = parseMdstat(
        "Personalities : [raid1] [raid6] [raid5] [raid4]\n"
        "md0 : active raid5 sde1[4](S) sdd1[3](F) sdc1[2](W) sdb1[1] sda1[5](J)\n"
        "      2093056 blocks super 1.2 level 5, 512k chunk, algorithm 2 [3/2] [U_U]\n"
        "      [>....................]  recovery =  3.6% (37888/1048512) finish=260.3min "
        "speed=64K/sec\n"
        "      bitmap: 1/8 pages [4KB], 65536KB chunk\n\n"
        "unused devices: sdf1\n");
    QVERIFY(md.isMd);
    QCOMPARE(md.personalities, (QStringList{"raid1", "raid6", "raid5", "raid4"}));
    QCOMPARE(md.unusedDevices, QStringList{"sdf1"});
    QCOMPARE(md.arrays.size(), 1);
    const MdArray& a = md.arrays[0];
    QCOMPARE(a.name, QString("md0"));
    QCOMPARE(a.state, QString("active"));
    QCOMPARE(a.level, QString("raid5"));
    QCOMPARE(a.members.size(), 5);
    QVERIFY(a.members[0].spare && a.members[1].failed && a.members[2].writeMostly &&
            a.members[4].journal);
    QCOMPARE(a.members[4].slot, 5);
    QCOMPARE(a.required, 3);
    QCOMPARE(a.active, 2);
    QCOMPARE(a.map, QString("U_U"));
    QCOMPARE(a.blocks, 2093056);
    QCOMPARE(a.bitmap, QString("1/8 pages [4KB], 65536KB chunk"));
    QVERIFY(a.sync);
    QCOMPARE(a.sync->action, QString("recovery"));
    QCOMPARE(a.sync->percent, 3.6);
    QCOMPARE(a.sync->done, 37888);
    QCOMPARE(a.sync->total, 1048512);
    QCOMPARE(a.sync->finishMinutes, 260.3);
    QCOMPARE(a.sync->speed, QString("64K/sec"));
}

QTEST_GUILESS_MAIN(TestMdstat)
#include "TestMdstat.moc"
