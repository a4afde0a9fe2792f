#include "store/Passwords.h"

#include <QTest>

class TestPasswords : public QObject
{
    Q_OBJECT
private slots:
    void scrambleKnownValues_data();
    void scrambleKnownValues();
    void shorthand_data();
    void shorthand();
    void portAndHostFallbacks_data();
    void portAndHostFallbacks();
    void entryCheck_data();
    void entryCheck();
    void storedFormRoundTripsThroughCodePage();
};

// The stored bytes of known passwords, worked out by hand: every code is
// XORed with the length of the password, so scrambling the stored form gives
// the password back.
void TestPasswords::scrambleKnownValues_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("one character flips the lowest bit") << QByteArray("a") << QByteArray("`");
    QTest::newRow("three characters") << QByteArray("xyz") << QByteArray("{zy");
    QTest::newRow("code equal to the length is stored as 0")
        << QByteArray("ab\x03", 3) << QByteArray("ba\0", 3);
    QTest::newRow("code 0 and 255") << QByteArray("\0\xff", 2) << QByteArray("\x02\xfd", 2);
    QTest::newRow("sixteen characters")
        << QByteArray("0123456789abcdef") << QByteArray(" !\"#$%&'()qrstuv");
    QTest::newRow("128: the high bit")
        << QByteArray(127, '\x80') + '\x7f' << QByteArray(127, '\0') + '\xff';
    QTest::newRow("255: every bit") << QByteArray(255, 'p') << QByteArray(255, '\x8f');
}

void TestPasswords::scrambleKnownValues()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, stored);
    QCOMPARE(ScramblePassword(plain), stored);
    QCOMPARE(ScramblePassword(stored), plain);
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
    QTest::newRow("empty: key login") << "" << true;
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
    QByteArray expectedCodes, expectedStored;
    for (int code = 1; code <= 255; ++code) {
        expectedCodes.append(char(code));
        expectedStored.append(char(255 - code)); // XOR with the length 255 complements each code
    }
    QCOMPARE(codes, expectedCodes);
    const QByteArray stored = ScramblePassword(codes);
    QCOMPARE(stored, expectedStored);
    QCOMPARE(passwordFromCodePage(ScramblePassword(stored)), every);
}

QTEST_GUILESS_MAIN(TestPasswords)
#include "TestPasswords.moc"
