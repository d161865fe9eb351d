#include "fakes/FakeClock.h"
#include "monitors/SamplerScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <set>

#include <atomic>
#include <mutex>

using namespace corvane;

TEST(Cadence, FirstDelays)
{
    const Cadence ws = Cadence::wholeSecond();
    EXPECT_DOUBLE_EQ(ws.firstDelay(1000.25), 0.75);
    EXPECT_DOUBLE_EQ(ws.firstDelay(1000.0), 1.0); // standing on a whole second: a full second
    EXPECT_NEAR(ws.firstDelay(1000.999), 0.001, 1e-9);

    const Cadence off = Cadence::offsetThenEvery(0.2, 2.5);
    EXPECT_DOUBLE_EQ(off.firstDelay(12345.678), 0.2);

    const Cadence al = Cadence::alignedTo(3.0);
    EXPECT_DOUBLE_EQ(al.firstDelay(9.0), 3.0);
    EXPECT_DOUBLE_EQ(al.firstDelay(10.0), 2.0);
    EXPECT_DOUBLE_EQ(Cadence::alignedTo(12.0).firstDelay(25.0), 11.0);
}

TEST(Cadence, ReArmsFromTheScheduleNotFromNow)
{
    const Cadence ws = Cadence::wholeSecond();
    // A tick that ran 300 ms late still aims at the next whole second.
    EXPECT_DOUBLE_EQ(ws.nextDeadline(1001.0, 1001.3), 1002.0);
    // A tick that fired a hair early does not tick twice in one second.
    EXPECT_DOUBLE_EQ(ws.nextDeadline(1001.0, 1000.999), 1002.0);
    // Missed a whole interval (suspend): re-align to the next whole second.
    EXPECT_DOUBLE_EQ(ws.nextDeadline(1001.0, 1005.4), 1006.0);
    // Wall clock stepped back a minute: re-align instead of waiting a minute.
    EXPECT_DOUBLE_EQ(ws.nextDeadline(1001.0, 941.5), 942.0);

    const Cadence off = Cadence::offsetThenEvery(0.2, 2.5);
    EXPECT_DOUBLE_EQ(off.nextDeadline(10.2, 10.25), 12.7);
}

TEST(SamplerScheduler, TicksOnItsNamedThreadAndStops)
{
    test::FakeClock clock; // monotonic only matters for the offset cadence
    std::atomic<int> ticks{0};
    std::mutex m;
    QString threadName;
    SamplerScheduler s(
        QStringLiteral("corvane.test-sampler"), Cadence::offsetThenEvery(0.01, 0.02),
        [&] {
            ++ticks;
            std::lock_guard<std::mutex> g(m);
            threadName = QThread::currentThread()->objectName();
        },
        SamplerScheduler::Placement::OwnThread, Clock::system());
    s.start();
    s.start(); // restarting leaves one timer
    QThread::msleep(230);
    s.stop();
    const int afterStop = ticks.load();
    QThread::msleep(100);
    EXPECT_GE(afterStop, 5);
    EXPECT_LE(afterStop, 13); // two timers would give ~22
    EXPECT_LE(ticks.load(), afterStop + 1);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(threadName, QStringLiteral("corvane.test-sampler"));
}

TEST(SamplerScheduler, SharedPlacementTicksEveryoneOnOneThreadAndWaitsForATickOnDestruction)
{
    std::mutex m;
    std::set<QString> threads;
    std::atomic<int> quickTicks{0};
    std::atomic<bool> inSlowTick{false}, slowSamplerGone{false}, usedAfterGone{false};
    auto record = [&] {
        std::lock_guard<std::mutex> g(m);
        threads.insert(QThread::currentThread()->objectName());
    };
    SamplerScheduler quick(QStringLiteral("corvane.quick"), Cadence::offsetThenEvery(0.0, 0.01),
                           [&] { record(); ++quickTicks; }, SamplerScheduler::Placement::SharedThread);
    auto slow = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.slow"), Cadence::offsetThenEvery(0.0, 0.01),
        [&] {
            record();
            inSlowTick = true;
            QThread::msleep(150); // a slow read
            if (slowSamplerGone)
                usedAfterGone = true;
            inSlowTick = false;
        },
        SamplerScheduler::Placement::SharedThread);
    quick.start();
    slow->start();
    QElapsedTimer t;
    t.start();
    while (!inSlowTick && t.elapsed() < 2000)
        QThread::msleep(1);
    ASSERT_TRUE(inSlowTick);
    slow.reset(); // mid-tick: returns only once that tick is over
    slowSamplerGone = true;
    EXPECT_FALSE(inSlowTick);
    const int before = quickTicks.load();
    QThread::msleep(60);
    EXPECT_GT(quickTicks.load(), before) << "the shared thread stopped with the scheduler that left";
    EXPECT_FALSE(usedAfterGone);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(threads, (std::set<QString>{QString::fromLatin1(SamplerScheduler::kSharedThreadName)}));
}

// A shared-thread scheduler's ticks move to the thread that made it and back; a slow tick
// still running on the shared thread is never overlapped by one here; a stopped scheduler
// stays stopped across a move.
TEST(SamplerScheduler, SharedTicksMoveToTheCreatingThreadAndBack)
{
    std::atomic<int> running{0}, overlaps{0}, onMain{0}, onShared{0};
    std::atomic<bool> slow{false};
    SamplerScheduler s(QStringLiteral("quick"), Cadence::offsetThenEvery(0.0, 0.01),
                       [&] {
                           if (++running > 1)
                               ++overlaps;
                           ++(QThread::currentThread() == qApp->thread() ? onMain : onShared);
                           if (slow)
                               QThread::msleep(60);
                           --running;
                       },
                       SamplerScheduler::Placement::SharedThread);
    const auto spin = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    s.start();
    slow = true;
    spin(30); // a slow tick is under way on the shared thread
    s.tickOnCreatingThread(true);
    EXPECT_TRUE(s.ticksOnCreatingThread());
    EXPECT_TRUE(s.isActive());
    spin(150);
    slow = false;
    spin(60);
    EXPECT_GT(onMain.load(), 0);
    EXPECT_EQ(overlaps.load(), 0);

    s.tickOnCreatingThread(false);
    spin(30);
    const int main = onMain.load(), shared = onShared.load();
    spin(60);
    EXPECT_EQ(onMain.load(), main);
    EXPECT_GT(onShared.load(), shared);

    s.stop();
    s.tickOnCreatingThread(true);
    EXPECT_FALSE(s.isActive());
    spin(30);
    const int total = onMain.load() + onShared.load();
    spin(60);
    EXPECT_EQ(onMain.load() + onShared.load(), total);
    EXPECT_EQ(s.tickCount(), quint64(total));
}

TEST(SamplerScheduler, CallerThreadPlacementAndCadenceChange)
{
    int ticks = 0;
    SamplerScheduler s(QStringLiteral("main"), Cadence::offsetThenEvery(0.01, 0.01), [&] { ++ticks; },
                       SamplerScheduler::Placement::CallerThread);
    s.start();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 80)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(ticks, 3);
    s.setCadence(Cadence::offsetThenEvery(10, 10)); // restarts with the slow cadence
    const int before = ticks;
    t.restart();
    while (t.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(ticks, before);
    EXPECT_TRUE(s.isActive());
}

TEST(SamplerScheduler, WholeSecondTickLandsOnTheSecond)
{
    std::atomic<double> at{0};
    SamplerScheduler s(QStringLiteral("corvane.ws"), Cadence::wholeSecond(),
                       [&] { at = Clock::system().wallSeconds(); });
    s.start();
    QElapsedTimer t;
    t.start();
    while (at.load() == 0 && t.elapsed() < 2500)
        QThread::msleep(5);
    ASSERT_NE(at.load(), 0.0);
    const double frac = at.load() - std::floor(at.load());
    EXPECT_LT(frac, 0.05); // at or just after the top of the second
}
