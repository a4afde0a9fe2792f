// The report formats of vemo-check as a monitoring engine reads them, from
// results made here: no process, no servers.
#include "CheckReport.h"

#include <QtTest>

namespace
{

ServerResult offline(const QString& domain, const QString& reason)
{
    return {domain, offlineVerdict(reason), {}, 0.5};
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void nagiosLeavesOutUnknownPerfValues();
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
    QVERIFY2(nagiosReport({online}).endsWith(" | uptime=3600s raid_clean=1\n"),
             nagiosReport({online}).constData());
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
