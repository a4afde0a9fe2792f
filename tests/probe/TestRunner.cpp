#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/ProbeVerdicts.h"
#include "probe/Runner.h"
#include "support/FixtureServers.h"

#include <QSignalSpy>
#include <QtTest>

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void checkGivesVerdicts();
};

void TestRunner::checkGivesVerdicts()
{
    FixtureServers servers;
    FixtureServer& s = servers.start();
    QVERIFY2(servers.ok(), qPrintable(servers.error()));
    s.setUptime(123456);
    RunResult got;
    bool done = false;
    QObject context;
    Runner::instance().RunCommand(ServerCheckLine(s.portText(), s.password(), s.host(), "a.org"),
                                  &context, [&](const RunResult& r) {
                                      got = r;
                                      done = true;
                                  });
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
    QVERIFY(got.started);
    const OutputRead out = readOutputFile(CheckTempFileName("a.org"));
    QVERIFY(out.hasText);
    qDebug() << out.text << got.reason;
}

QTEST_GUILESS_MAIN(TestRunner)
#include "TestRunner.moc"
