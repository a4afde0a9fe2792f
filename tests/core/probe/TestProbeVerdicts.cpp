// The probe parser: from a server check's output text and the stored RAID
// reference to the four cells of the server's row.
#include "probe/ProbeVerdicts.h"

#include <QtTest>

namespace
{

// How serious a cell is: no level (its colours kept), good, alarm or not verified.
enum Paint { Keep, Good, Alarm, Unverified };

CellVerdict cell(const QString& text, Paint paint)
{
    const Level levels[] = {Level::None, Level::Ok, Level::Critical, Level::Warning};
    return {text, levels[paint]};
}

const QString Mdstat =
    QStringLiteral("Personalities : [raid1]\nmd0 : active raid1 sdb1[1] sda1[0]\n"
                   "      1048512 blocks [2/2] [UU]\n\nunused devices: <none>\n");

} // namespace

class TestProbeVerdicts : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void uptime_data();
    void uptime();
};

void TestProbeVerdicts::parse_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("raidStatus");
    QTest::addColumn<QString>("uptime");
    QTest::addColumn<QString>("backup");
    QTest::addColumn<int>("backupPaint");
    QTest::addColumn<QString>("raid");
    QTest::addColumn<int>("raidPaint");

    QTest::newRow("healthy, verified RAID")
        << "123456\n0\n2026-12-08 03:00\n" + Mdstat << Mdstat << "1d,10h,17m"
        << "2026-12-08 03:00\n " << int(Good) << "Clean" << int(Good);
    QTest::newRow("failed backup count, no success file")
        << "90061\n3\n" + Mdstat << Mdstat << "1d,1h,1m"
        << "Time Unknown " << int(Alarm) << "Clean" << int(Good);
    QTest::newRow("no report files") << "3599\n" + Mdstat << Mdstat << "59m"
                                     << "N/A" << int(Keep) << "Clean" << int(Good);
    QTest::newRow("report starts with a letter")
        << "0\nfailed\n2026-12-08\n" + Mdstat << Mdstat << "0m"
        << "N/A" << int(Keep) << "Clean" << int(Good);
    QTest::newRow("several time lines are all shown")
        << "60\n1\nstarted 01:00\nended 03:00\n" + Mdstat << QString() << "1m"
        << "started 01:00\nended 03:00\n " << int(Alarm) << "Not Verified" << int(Unverified);
    QTest::newRow("count with trailing text is read by its number")
        << "60\n12 errors\nmonday\n" + Mdstat << Mdstat << "1m"
        << "monday\n " << int(Alarm) << "Clean" << int(Good);
    QTest::newRow("count 00 is zero") << "60\n00\nmonday\n" + Mdstat << Mdstat << "1m"
                                      << "monday\n " << int(Good) << "Clean" << int(Good);
    QTest::newRow("count 0.5 is not zero") << "60\n0.5\nmonday\n" + Mdstat << Mdstat << "1m"
                                           << "monday\n " << int(Alarm) << "Clean" << int(Good);
    QTest::newRow("count beyond double range is not zero")
        << "60\n" + QString(400, QLatin1Char('9')) + "\nmonday\n" + Mdstat << Mdstat << "1m"
        << "monday\n " << int(Alarm) << "Clean" << int(Good);
    QTest::newRow("count with a sign is not a count")
        << "60\n-1\nmonday\n" + Mdstat << Mdstat << "1m"
        << "N/A" << int(Keep) << "Clean" << int(Good);

    // A capital P in a report moves the cut: the RAID text starts there.
    QTest::newRow("capital P in a report, reference stored")
        << "60\n0\nPassed 03:00\n" + Mdstat << Mdstat << "1m"
        << "Time Unknown " << int(Good) << "DIRTY!!!" << int(Alarm);
    QTest::newRow("capital P in a report, nothing stored")
        << "60\n0\nPassed 03:00\n" + Mdstat << QString() << "1m"
        << "Time Unknown " << int(Good) << "Not Verified" << int(Unverified);
    QTest::newRow("lower-case p does not cut")
        << "60\n0\npassed 03:00\n" + Mdstat << Mdstat << "1m"
        << "passed 03:00\n " << int(Good) << "Clean" << int(Good);

    QTest::newRow("no mdstat, reference stored")
        << "60\n0\nmonday\n"
        << Mdstat << "1m"
        << "monday\n " << int(Good) << "DIRTY!!!" << int(Alarm);
    // The reference of a server without software RAID: none read is clean, arrays are not.
    QTest::newRow("no mdstat, no RAID accepted")
        << "60\n0\nmonday\n"
        << NoRaidReference << "1m"
        << "monday\n " << int(Good) << "Clean" << int(Good);
    QTest::newRow("arrays appear where no RAID was accepted")
        << "60\n0\nmonday\n" + Mdstat << NoRaidReference << "1m"
        << "monday\n " << int(Good) << "DIRTY!!!" << int(Alarm);
    QTest::newRow("no mdstat, nothing stored")
        << "60\n0\nmonday\n"
        << QString() << "1m"
        << "monday\n " << int(Good) << "Not Verified" << int(Unverified);
    QTest::newRow("mdstat changed")
        << "60\n0\nmonday\n" + Mdstat << QString(Mdstat).replace("[UU]", "[U_]") << "1m"
        << "monday\n " << int(Good) << "DIRTY!!!" << int(Alarm);
    QTest::newRow("reference lacks the last LF")
        << "60\n0\nmonday\n" + Mdstat << Mdstat.chopped(1) << "1m"
        << "monday\n " << int(Good) << "DIRTY!!!" << int(Alarm);
    QTest::newRow("comparison is case-sensitive")
        << "60\n0\nmonday\n" + Mdstat << Mdstat.toUpper() << "1m"
        << "monday\n " << int(Good) << "DIRTY!!!" << int(Alarm);

    // Uptime digits alone: U, R, B, C and W are all that text.
    QTest::newRow("uptime digits alone")
        << "123456" << QString() << "1d,10h,17m"
        << "123456 " << int(Alarm) << "Not Verified" << int(Unverified);
    QTest::newRow("uptime zero alone") << "0" << Mdstat << "0m"
                                       << "0 " << int(Good) << "DIRTY!!!" << int(Alarm);
    QTest::newRow("empty uptime line") << "\n0\nmonday\n" + Mdstat << Mdstat << "0m"
                                       << "monday\n " << int(Good) << "Clean" << int(Good);
    QTest::newRow("uptime not a number") << "up\n" + Mdstat << Mdstat << "0m"
                                         << "N/A" << int(Keep) << "Clean" << int(Good);
    QTest::newRow("empty text") << "" << Mdstat << "0m"
                                << "N/A" << int(Keep) << "DIRTY!!!" << int(Alarm);
}

void TestProbeVerdicts::parse()
{
    QFETCH(QString, output);
    QFETCH(QString, raidStatus);
    QFETCH(QString, uptime);
    QFETCH(QString, backup);
    QFETCH(int, backupPaint);
    QFETCH(QString, raid);
    QFETCH(int, raidPaint);

    const ProbeVerdicts v = parseProbeOutput(output, raidStatus);
    QCOMPARE(v.status, cell(QStringLiteral("Online"), Good));
    QCOMPARE(v.uptime, cell(uptime, Keep));
    QCOMPARE(v.backup, cell(backup, Paint(backupPaint)));
    QCOMPARE(v.raid, cell(raid, Paint(raidPaint)));
}

void TestProbeVerdicts::uptime_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("text");

    QTest::newRow("1 d 10 h 17 min 36 s") << "123456"
                                          << "1d,10h,17m";
    QTest::newRow("1 d 1 h 1 min 1 s") << "90061"
                                       << "1d,1h,1m";
    QTest::newRow("59 min 59 s") << "3599"
                                 << "59m";
    QTest::newRow("zero") << "0"
                          << "0m";
    QTest::newRow("empty") << ""
                           << "0m";
    QTest::newRow("59 s") << "59"
                          << "0m";
    QTest::newRow("two days") << "172800"
                              << "2d,0h,0m";
    QTest::newRow("one day") << "86400"
                             << "1d,0h,0m";
    QTest::newRow("one hour") << "3600"
                              << "1h,0m";
    QTest::newRow("digits then text") << "3599 seconds"
                                      << "59m";
    QTest::newRow("leading blank is no number") << " 3599"
                                                << "0m";
    QTest::newRow("fraction kept in the arithmetic") << "3599.99"
                                                     << "59m";
    // The divisions in double precision round below whole minutes for some
    // values; the cell shows what that arithmetic gives.
    QTest::newRow("27 min reads 26m") << "1620"
                                      << "26m";
    QTest::newRow("1 h 1 min reads 1h,0m") << "3660"
                                           << "1h,0m";
    QTest::newRow("5 h 3 min reads 5h,2m") << "18180"
                                           << "5h,2m";
    QTest::newRow("huge uptime") << "100000000000000000000"
                                 << "1157407407407407d,12h,0m";
    QTest::newRow("beyond double range is no number") << QString(400, QLatin1Char('9')) << "0m";
}

void TestProbeVerdicts::uptime()
{
    QFETCH(QString, line);
    QFETCH(QString, text);
    QCOMPARE(uptimeText(line), text);
    // The parser's Uptime cell is the same text for the same first line.
    QCOMPARE(parseProbeOutput(line + "\n0\n", QString()).uptime.text, text);
}

QTEST_GUILESS_MAIN(TestProbeVerdicts)
#include "TestProbeVerdicts.moc"
