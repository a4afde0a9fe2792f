// The report formats of vemo-check as a monitoring engine reads them, from
// results made here: no process, no servers.
#include "CheckReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace
{

ServerResult offline(const QString& domain, const QString& reason)
{
    return {domain, offlineVerdict(reason), {}, 0.5};
}

// A server that answered with this RAID text, against this reference.
ServerResult answered(const QString& domain, const QString& mdstat, const QString& reference)
{
    const QString output = "3600\n0\n2026-12-08 03:00\n" + mdstat;
    ServerResult result{domain, {}, probeNumbers(output), 0.5};
    result.verdict.online = true;
    result.verdict.cells = parseProbeOutput(output, reference);
    result.verdict.raidText = probeRaidText(output);
    result.md = parseMdstat(result.verdict.raidText);
    return result;
}

const QString FailedRaid5 = "Personalities : [raid5]\nmd0 : active raid5 sdd1[3](F) sdc1[2] "
                            "sdb1[1]\n      2093056 blocks [3/2] [UU_]\n";
const QString Resyncing = "Personalities : [raid1]\nmd1 : active raid1 sdb1[1] sda1[0]\n"
                          "      1048512 blocks [2/2] [UU]\n      [=>...]  resync = 28.1% "
                          "(294976/1048512) finish=0.3min speed=36872K/sec\n";

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void nagiosLeavesOutUnknownPerfValues();
    void nagiosNamesTheArraysWhateverTheReference();
    void prometheusHasTheMdSeries();
    void jsonCarriesTheArrays();
    void failureReasonLabelHoldsNoNumbers_data();
    void failureReasonLabelHoldsNoNumbers();
};

void TestFormats::nagiosLeavesOutUnknownPerfValues()
{
    // Offline: nothing is known, so no performance data at all.
    QCOMPARE(nagiosReport({offline("a.example", "Connection refused")}),
             QByteArray("VEMO CRITICAL - a.example: !!!Offline!!! (Connection refused)\n"));
    // Online without a backup report: that value alone is left out.
    ServerResult online{"b.example", {}, {}, 0.5};
    online.verdict.online = true;
    online.verdict.cells = parseProbeOutput("3600\nxyz\nP", "P");
    online.numbers = probeNumbers("3600\nxyz\nP");
    QVERIFY2(
        nagiosReport({online}).endsWith(" | uptime=3600s raid_clean=1 md_degraded=0 md_failed=0\n"),
        nagiosReport({online}).constData());
}

void TestFormats::nagiosNamesTheArraysWhateverTheReference()
{
    // Not verified, yet a failed member is CRITICAL; a resync against its own
    // accepted text is a WARNING.
    QCOMPARE(nagiosReport({answered("a.example", FailedRaid5, {})}),
             QByteArray("VEMO CRITICAL - a.example: Online, uptime 1h,0m, RAID Not Verified (md0 "
                        "raid5: 2 of 3 members, sdd1 failed), backup 2026-12-08 03:00 | "
                        "uptime=3600s backup_failed=0 raid_clean=0 md_degraded=1 md_failed=1\n"));
    QVERIFY(nagiosReport({answered("b.example", Resyncing, Resyncing)})
                .startsWith("VEMO WARNING - b.example: Online, uptime 1h,0m, RAID Clean (md1 "
                            "raid1: 2 of 2 members, resync 28.1%, less than a minute left)"));
}

void TestFormats::prometheusHasTheMdSeries()
{
    const QString text = QString::fromUtf8(prometheusReport(
        {answered("a.example", FailedRaid5, {}), answered("b.example", Resyncing, Resyncing)}, 1,
        true));
    for (const char* line : {
             R"(vemo_md_disks{domain="a.example",device="md0",state="active"} 2)",
             R"(vemo_md_disks{domain="a.example",device="md0",state="failed"} 1)",
             R"(vemo_md_disks{domain="a.example",device="md0",state="spare"} 0)",
             R"(vemo_md_disks{domain="a.example",device="md0",state="down"} 1)",
             R"(vemo_md_disks_required{domain="a.example",device="md0"} 3)",
             R"(vemo_md_state{domain="a.example",device="md0",state="active"} 1)",
             R"(vemo_md_state{domain="b.example",device="md1",state="resync"} 1)",
             R"(vemo_md_state{domain="b.example",device="md1",state="active"} 0)",
             R"(vemo_md_blocks{domain="b.example",device="md1"} 1048512)",
             R"(vemo_md_blocks_synced{domain="b.example",device="md1"} 294976)",
             R"(vemo_md_blocks_synced{domain="a.example",device="md0"} 2093056)",
         })
        QVERIFY2(text.contains(QLatin1String(line) + '\n'), line);
}

void TestFormats::jsonCarriesTheArrays()
{
    const QJsonArray servers =
        QJsonDocument::fromJson(jsonReport({answered("a.example", FailedRaid5, {})})).array();
    QCOMPARE(servers[0]["state"].toString(), QString("CRITICAL"));
    const QJsonObject md0 = servers[0]["md"][0].toObject();
    QCOMPARE(md0["device"].toString(), QString("md0"));
    QCOMPARE(md0["level"].toString(), QString("raid5"));
    QCOMPARE(md0["disks_required"].toInt(), 3);
    QCOMPARE(md0["disks_active"].toInt(), 2);
    QCOMPARE(md0["map"].toString(), QString("UU_"));
    QCOMPARE(md0["health"].toString(), QString("critical"));
    QCOMPARE(md0["summary"].toString(), QString("md0 raid5: 2 of 3 members, sdd1 failed"));
    QCOMPARE(md0["members"][0]["name"].toString(), QString("sdd1"));
    QVERIFY(md0["members"][0]["failed"].toBool());
    QVERIFY(md0["sync"].isNull());
}

void TestFormats::failureReasonLabelHoldsNoNumbers_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("label");
    QTest::newRow("deadline") << "timed out after 10 s"
                              << "timed out after N s";
    QTest::newRow("fraction") << "timed out after 2.5 s"
                              << "timed out after N s";
    QTest::newRow("size") << "answered more than 1 MiB"
                          << "answered more than N MiB";
    QTest::newRow("none") << "Access denied"
                          << "Access denied";
}

void TestFormats::failureReasonLabelHoldsNoNumbers()
{
    QFETCH(QString, reason);
    QFETCH(QString, label);
    const QString report =
        QString::fromUtf8(prometheusReport({offline("a.example", reason)}, 0, true));
    const QString series =
        QStringLiteral("vemo_check_failure_info{domain=\"a.example\",reason=\"%1\"} 1").arg(label);
    QVERIFY2(report.split('\n').contains(series), qPrintable(report));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "TestFormats.moc"
