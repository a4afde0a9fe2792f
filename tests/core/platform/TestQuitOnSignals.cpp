// The programs' handler of the termination signals, installed in this process.
#include "platform/QuitOnSignals.h"

#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>

class TestQuitOnSignals : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void handlerKeepsErrno();
};

void TestQuitOnSignals::initTestCase()
{
    quitOnTerminationSignals();
}

// The handler writes a byte to a pipe that the event loop empties. Without a
// loop running the pipe fills up and the handler's write fails; the code a
// signal interrupts still reads its own errno afterwards.
void TestQuitOnSignals::handlerKeepsErrno()
{
    constexpr int Signals = 1 << 18; // more than a pipe holds bytes
    for (int i = 0; i < Signals; ++i) {
        errno = EDOM;
        ::raise(SIGHUP);
        if (errno != EDOM)
            QFAIL(qPrintable(QStringLiteral("errno is \"%1\" after signal %2")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))
                                 .arg(i + 1)));
    }
}

QTEST_GUILESS_MAIN(TestQuitOnSignals)
#include "TestQuitOnSignals.moc"
