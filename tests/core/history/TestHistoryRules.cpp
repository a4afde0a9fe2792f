// The rules of a server's history, as pure functions.
#include "history/HistoryRules.h"

#include <QtTest>

namespace
{

constexpr qint64 Min = 60'000, Hour = 60 * Min;

CheckVerdict online(Level raid, Level backup)
{
    CheckVerdict v;
    v.online = true;
    v.cells.raid = {"x", raid};
    v.cells.backup = {"03:00 ", backup};
    return v;
}

HistoryEvent status(qint64 at, const QString& state)
{
    return {"a", at, HistoryAspect::Status, state, {}};
}

} // namespace

class TestHistoryRules : public QObject
{
    Q_OBJECT
private slots:
    void onlyChangesAreEvents();
    void availabilityCountsOnlyWatchedTime_data();
    void availabilityCountsOnlyWatchedTime();
    void stripShowsTheWorstOfEachPart();
    void durations_data();
    void durations();
};

void TestHistoryRules::onlyChangesAreEvents()
{
    ServerPast past;
    // A first check records what it learnt; the same again records nothing.
    QCOMPARE(eventsOfCheck("a", 1, online(Level::Ok, Level::Ok), past),
             (QList<HistoryEvent>{{"a", 1, HistoryAspect::Status, "online", ""},
                                  {"a", 1, HistoryAspect::Raid, "clean", ""},
                                  {"a", 1, HistoryAspect::Backup, "good", "03:00"}}));
    QCOMPARE(eventsOfCheck("a", 2, online(Level::Ok, Level::Ok), past), QList<HistoryEvent>{});
    // Offline: the status with its reason; RAID and backup are not learnt.
    QCOMPARE(
        eventsOfCheck("a", 3, offlineVerdict("Connection refused"), past),
        (QList<HistoryEvent>{{"a", 3, HistoryAspect::Status, "offline", "Connection refused"}}));
    QCOMPARE(past.status.since, 3);
    QCOMPARE(past.raid.since, 1);
    // Back, with a dirty RAID; a backup without a report says nothing.
    QCOMPARE(eventsOfCheck("a", 4, online(Level::Critical, Level::None), past),
             (QList<HistoryEvent>{{"a", 4, HistoryAspect::Status, "online", ""},
                                  {"a", 4, HistoryAspect::Raid, "dirty", ""}}));
}

void TestHistoryRules::availabilityCountsOnlyWatchedTime_data()
{
    QTest::addColumn<QList<ObservedSpan>>("watched");
    QTest::addColumn<double>("percent"); // < 0: none
    QTest::addColumn<qint64>("counted");
    // Online from 0, offline from 6 h to 8 h; the window is 0 to 10 h.
    QTest::newRow("watched throughout") << QList<ObservedSpan>{{0, 10 * Hour}} << 80.0 << 10 * Hour;
    QTest::newRow("a gap while the monitor was closed")
        << QList<ObservedSpan>{{0, 2 * Hour}, {5 * Hour, 10 * Hour}} << 100.0 * 5 / 7 << 7 * Hour;
    QTest::newRow("watched only while offline")
        << QList<ObservedSpan>{{6 * Hour, 7 * Hour}} << 0.0 << Hour;
    QTest::newRow("never watched") << QList<ObservedSpan>{} << -1.0 << qint64(0);
}

void TestHistoryRules::availabilityCountsOnlyWatchedTime()
{
    QFETCH(QList<ObservedSpan>, watched);
    QFETCH(double, percent);
    QFETCH(qint64, counted);
    const QList<HistoryEvent> events{status(0, "online"), status(6 * Hour, "offline"),
                                     status(8 * Hour, "online")};
    const Availability a = availability(events, watched, 0, 10 * Hour);
    QCOMPARE(a.observedMs, counted);
    QCOMPARE(a.percent.has_value(), percent >= 0);
    if (a.percent)
        QVERIFY2(qAbs(*a.percent - percent) < 1e-9, qPrintable(QString::number(*a.percent)));
}

void TestHistoryRules::stripShowsTheWorstOfEachPart()
{
    const QList<HistoryEvent> events{
        status(0, "online"),
        {"a", Hour, HistoryAspect::Raid, "not_verified", {}},
        status(150 * Min, "offline"),
        status(160 * Min, "online"),
    };
    // Four hours in four parts; the monitor did not watch the last one.
    using C = StripColour;
    QCOMPARE(historyStrip(events, {{0, 3 * Hour}}, 0, 4 * Hour, 4),
             (QList<C>{C::Green, C::Yellow, C::Red, C::Unknown}));
}

void TestHistoryRules::durations_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("seconds") << qint64(59'000) << "less than a minute";
    QTest::newRow("minutes") << 45 * Min << "45 min";
    QTest::newRow("hours") << 3 * Hour + 12 * Min << "3 h 12 min";
    QTest::newRow("whole hours") << 2 * Hour << "2 h";
    QTest::newRow("days") << 53 * Hour + 59 * Min << "2 d 5 h";
}

void TestHistoryRules::durations()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(durationText(ms), text);
}

QTEST_GUILESS_MAIN(TestHistoryRules)
#include "TestHistoryRules.moc"
