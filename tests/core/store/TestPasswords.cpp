#include "store/Passwords.h"

#include <QTest>

class TestPasswords : public QObject
{
    Q_OBJECT
private slots:
    void scrambleRoundTripsEveryLengthAndCode();
    void scrambleKnownValues();
    void shorthand_data();
    void shorthand();
    void portAndHostFallbacks_data();
    void portAndHostFallbacks();
    void entryCheck_data();
    void entryCheck();
    void storedFormRoundTripsThroughCodePage();
};

void TestPasswords::scrambleRoundTripsEveryLengthAndCode()
{
    for (int length = 1; length <= 255; ++length) {
        for (int code = 0; code <= 255; ++code) {
            QByteArray plain(length, 'a');
            plain[(code * 7 + length) % length] = char(code);
            const QByteArray stored = ScramblePassword(plain);
            QCOMPARE(stored.size(), plain.size());
            if (ScramblePassword(stored) != plain)
                QFAIL(qPrintable(QStringLiteral("length %1, code %2").arg(length).arg(code)));
        }
    }
}

void TestPasswords::scrambleKnownValues()
{
    QCOMPARE(ScramblePassword(""), QByteArray());
    QCOMPARE(ScramblePassword("xyz"), QByteArray("{zy"));
    QCOMPARE(ScramblePassword("{zy"), QByteArray("xyz"));
    // The key is the length: a one-character password flips the lowest bit.
    QCOMPARE(ScramblePassword("a"), QByteArray("`"));
    // A character whose code equals the length is stored as code 0.
    const QByteArray withLength("ab\x03", 3);
    const QByteArray stored = ScramblePassword(withLength);
    QCOMPARE(stored.at(2), '\0');
    QCOMPARE(ScramblePassword(stored), withLength);
}

void TestPasswords::shorthand_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("hash alone") << "#"
                                << "quillfernmonitor";
    QTest::newRow("two hashes keep the second") << "##x"
                                                << "quillfe#xrnmonitor";
    QTest::newRow("hash inside") << "a#b"
                                 << "a#b";
    QTest::newRow("plain") << "secret"
                           << "secret";
    QTest::newRow("latin-1 kept") << QString::fromUtf8("pässwörd") << QString::fromUtf8("pässwörd");
}

void TestPasswords::shorthand()
{
    QFETCH(QString, plain);
    QFETCH(QString, resolved);
    ServerRecord record;
    record.serverPassword = ScramblePassword(passwordToCodePage(plain));
    QCOMPARE(ResolveConnectionPassword(record), resolved);
}

void TestPasswords::portAndHostFallbacks_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("expectedHost");
    QTest::addColumn<QString>("expectedPort");
    QTest::newRow("both empty") << ""
                                << ""
                                << "example.org"
                                << "22";
    QTest::newRow("both missing") << QString() << QString() << "example.org"
                                  << "22";
    QTest::newRow("set") << "10.0.0.1"
                         << "2222"
                         << "10.0.0.1"
                         << "2222";
    QTest::newRow("lone zero port") << "h"
                                    << "0"
                                    << "h"
                                    << "0";
    QTest::newRow("host equal to domain") << "example.org"
                                          << "22"
                                          << "example.org"
                                          << "22";
}

void TestPasswords::portAndHostFallbacks()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, expectedHost);
    QFETCH(QString, expectedPort);
    ServerRecord record;
    record.domain = "example.org";
    record.serverHost = host;
    record.sshPort = port;
    QCOMPARE(ResolveSshHost(record), expectedHost);
    QCOMPARE(ResolveSshPort(record), expectedPort);
}

void TestPasswords::entryCheck_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("one char") << "x" << true;
    QTest::newRow("255 chars") << QString(255, 'p') << true;
    QTest::newRow("256 chars") << QString(256, 'p') << false;
    QTest::newRow("latin-1") << QString::fromUtf8("ÿé£") << true;
    QTest::newRow("euro sign") << QString::fromUtf8("pay€") << false;
    QTest::newRow("cjk") << QString::fromUtf8("密码") << false;
    QTest::newRow("line feed") << "a\nb" << false;
    QTest::newRow("carriage return") << "a\rb" << false;
    QTest::newRow("blanks and quotes") << "a b\"'$`;|&" << true;
}

void TestPasswords::entryCheck()
{
    QFETCH(QString, plain);
    QFETCH(bool, accepted);
    const auto problem = passwordEntryProblem(plain);
    QCOMPARE(!problem.has_value(), accepted);
    if (problem)
        QVERIFY(!problem->isEmpty());
}

void TestPasswords::storedFormRoundTripsThroughCodePage()
{
    QString every;
    for (int code = 1; code <= 255; ++code)
        every.append(QChar(code));
    QVERIFY(!passwordEntryProblem(QString(every).remove('\r').remove('\n')).has_value());
    const QByteArray codes = passwordToCodePage(every);
    QCOMPARE(codes.size(), 255);
    QCOMPARE(passwordFromCodePage(ScramblePassword(ScramblePassword(codes))), every);
}

QTEST_GUILESS_MAIN(TestPasswords)
#include "TestPasswords.moc"
