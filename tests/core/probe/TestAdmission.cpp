// Which clients hold a place: fed a fake clock and fake CPU readings.
#include "platform/ProcessCpu.h"
#include "probe/Admission.h"

#include <QtTest>
#include <ctime>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{

// A client over one 100 ms sample: CPU it used in ms, and whether it is runnable.
struct Use {
    int cpuMs = 0;
    bool runnable = false;
};

} // namespace

Q_DECLARE_METATYPE(QList<Use>)

class TestAdmission : public QObject
{
    Q_OBJECT
private slots:
    void room_data();
    void room();
    void endedClientsFreeTheirPlaces();
    void readsARealProcess();
};

void TestAdmission::room_data()
{
    QTest::addColumn<int>("clients");
    QTest::addColumn<Use>("use");
    QTest::addColumn<int>("busy");
    QTest::addColumn<int>("room");
    // 8 busy places, at most 20 clients; each line: clients, their use over
    // the second sample, busy, room.
    QTest::newRow("CPU-bound: every client computes") << 8 << Use{50, false} << 8 << 0;
    QTest::newRow("CPU-bound: runnable, starved of CPU") << 6 << Use{0, true} << 6 << 2;
    QTest::newRow("network-bound: a tick in a while") << 12 << Use{3, false} << 0 << 8;
    QTest::newRow("silent hosts: none of the CPU") << 15 << Use{0, false} << 0 << 5;
    QTest::newRow("the bound on clients at once") << 20 << Use{0, false} << 0 << 0;
    QTest::newRow("share just at the mark") << 4 << Use{5, false} << 4 << 4;
}

void TestAdmission::room()
{
    QFETCH(int, clients);
    QFETCH(Use, use);
    QFETCH(int, busy);
    QFETCH(int, room);
    Admission admission({8, 20, 5});
    const Admission::Clock::time_point start{};
    QList<qint64> pids;
    QHash<qint64, Admission::Reading> first, second;
    for (qint64 pid = 100; pid < 100 + clients; ++pid) {
        pids << pid;
        first.insert(pid, {10ms, false});
        second.insert(pid, {10ms + std::chrono::milliseconds(use.cpuMs), use.runnable});
    }
    // Until a client was sampled twice nothing says it waits: it is busy.
    QCOMPARE(admission.busy(pids), clients);
    admission.sample(first, start);
    QCOMPARE(admission.busy(pids), clients);
    admission.sample(second, start + 100ms);
    QCOMPARE(admission.busy(pids), busy);
    QCOMPARE(admission.room(pids), room);
    // A client the samples have not seen yet is busy.
    QCOMPARE(admission.busy(pids + QList<qint64>{1}), busy + 1);
}

void TestAdmission::endedClientsFreeTheirPlaces()
{
    Admission admission({2, 10, 5});
    const Admission::Clock::time_point start{};
    admission.sample({{1, {0ms, true}}, {2, {0ms, true}}}, start);
    admission.sample({{1, {0ms, true}}, {2, {0ms, true}}}, start + 100ms);
    QCOMPARE(admission.room({1, 2}), 0);
    // Client 2 ended; 1 went on to wait for its server.
    admission.sample({{1, {0ms, false}}}, start + 200ms);
    QCOMPARE(admission.room({1}), 2);
    // A new client under an ended one's number starts afresh: busy.
    admission.sample({{1, {0ms, false}}, {2, {500ms, false}}}, start + 300ms);
    QCOMPARE(admission.busy({1, 2}), 1);
}

void TestAdmission::readsARealProcess()
{
    const std::optional<ProcessCpu> before = readProcessCpu(::getpid());
    QVERIFY(before);
    QVERIFY(before->runnable); // it is running while it reads itself
    // A quarter of a second of this thread's CPU, however busy the machine:
    // the kernel's reading, in ticks of 10 ms, grows by about as much.
    const auto threadCpu = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    const auto start = threadCpu();
    volatile unsigned spin = 0;
    while (threadCpu() - start < 250ms)
        spin = spin + 1;
    const std::optional<ProcessCpu> after = readProcessCpu(::getpid());
    QVERIFY(after);
    QVERIFY2(after->cpu - before->cpu >= 200ms, "the CPU time did not grow");
    QVERIFY(!readProcessCpu(0));
}

QTEST_GUILESS_MAIN(TestAdmission)
#include "TestAdmission.moc"
