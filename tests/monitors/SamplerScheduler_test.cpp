#include "fakes/FakeClock.h"
#include "monitors/SamplerScheduler.h"
#include "support/QuietWaits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <set>

#include <atomic>
#include <mutex>
#include <pthread.h>

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
    std::atomic<int> ticks{0};
    std::mutex m;
    QString threadName;
    char kernelName[32] = {};
    const Cadence cadence = Cadence::offsetThenEvery(0.01, 0.02);
    SamplerScheduler s(
        QStringLiteral("corvane.test-sampler"), cadence,
        [&] {
            ++ticks;
            std::lock_guard<std::mutex> g(m);
            threadName = QThread::currentThread()->objectName();
            pthread_getname_np(pthread_self(), kernelName, sizeof kernelName);
        },
        SamplerScheduler::Placement::OwnThread, Clock::system());
    QElapsedTimer t;
    t.start();
    s.start();
    s.start(); // restarting leaves one timer
    for (int waited = 0; ticks.load() < 5 && waited < 20000; ++waited)
        QThread::msleep(1);
    s.stop();
    const qint64 ms = t.elapsed();
    const int afterStop = ticks.load();
    ASSERT_GE(afterStop, 5);
    // A rate, not a time: a slow machine only gives fewer ticks; two timers would give twice
    // one per 20 ms.
    EXPECT_LE(afterStop, ms / 20 + 2);
    // Stopped: a witness on the same cadence ticks thrice while at most the tick under way lands.
    ASSERT_TRUE(test::passTicks(cadence, 3));
    EXPECT_LE(ticks.load(), afterStop + 1);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(threadName, QStringLiteral("corvane.test-sampler"));
    // The kernel keeps 15 characters: the label goes without its prefix, not cut short.
    EXPECT_STREQ(kernelName, "test-sampler");
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
    for (int waited = 0; !inSlowTick && waited < 20000; ++waited)
        QThread::msleep(1);
    ASSERT_TRUE(inSlowTick);
    slow.reset(); // mid-tick: returns only once that tick is over
    slowSamplerGone = true;
    EXPECT_FALSE(inSlowTick);
    const int before = quickTicks.load();
    for (int waited = 0; quickTicks.load() <= before && waited < 20000; ++waited)
        QThread::msleep(1);
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
    std::atomic<int> running{0}, overlaps{0}, onMain{0}, onShared{0}, slowOnShared{0};
    std::atomic<bool> slow{false};
    const Cadence cadence = Cadence::offsetThenEvery(0.0, 0.01);
    SamplerScheduler s(QStringLiteral("quick"), cadence,
                       [&] {
                           if (++running > 1)
                               ++overlaps;
                           const bool main = QThread::currentThread() == qApp->thread();
                           ++(main ? onMain : onShared);
                           if (slow) {
                               if (!main)
                                   ++slowOnShared;
                               QThread::msleep(60);
                           }
                           --running;
                       },
                       SamplerScheduler::Placement::SharedThread);
    s.start();
    slow = true;
    QTRY_VERIFY(slowOnShared.load() > 0 && running.load() > 0); // a slow tick is under way on the shared thread
    s.tickOnCreatingThread(true);
    EXPECT_TRUE(s.ticksOnCreatingThread());
    EXPECT_TRUE(s.isActive());
    QTRY_VERIFY(onMain.load() >= 2); // they wait for it, then go on here
    slow = false;
    EXPECT_EQ(overlaps.load(), 0);

    // Back: none here from the switch on (this thread's timer goes at once), the shared thread
    // ticks again, and by its third tick this thread's would have come too.
    s.tickOnCreatingThread(false);
    const int main = onMain.load(), shared = onShared.load();
    QTRY_VERIFY(onShared.load() >= shared + 3);
    EXPECT_EQ(onMain.load(), main);

    s.stop();
    s.tickOnCreatingThread(true);
    EXPECT_FALSE(s.isActive());
    ASSERT_TRUE(test::passTicks(cadence, 3)); // a tick under way on the shared thread lands
    const int total = onMain.load() + onShared.load();
    ASSERT_TRUE(test::passTicks(cadence, 3));
    EXPECT_EQ(onMain.load() + onShared.load(), total);
    EXPECT_EQ(s.tickCount(), quint64(total));
}

// An own-thread scheduler's ticks join the shared thread and go back; a slow tick on one
// thread is never overlapped by one on the other; destroying it while it ticks on the shared
// thread waits for that tick.
TEST(SamplerScheduler, OwnThreadTicksJoinTheSharedThreadAndGoBack)
{
    std::atomic<int> running{0}, overlaps{0}, onOwn{0}, onShared{0};
    std::atomic<bool> slow{false}, inTick{false};
    const Cadence cadence = Cadence::offsetThenEvery(0.0, 0.01);
    const QString shared = QString::fromLatin1(SamplerScheduler::kSharedThreadName);
    auto s = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.own"), cadence,
        [&] {
            inTick = true;
            if (++running > 1)
                ++overlaps;
            ++(QThread::currentThread()->objectName() == shared ? onShared : onOwn);
            if (slow)
                QThread::msleep(60);
            --running;
            inTick = false;
        },
        SamplerScheduler::Placement::OwnThread);
    s->start();
    slow = true;
    QTRY_VERIFY(onOwn.load() > 0 && running.load() > 0); // a slow tick on its own thread
    s->tickOnSharedThread(true);
    EXPECT_TRUE(s->ticksOnSharedThread());
    EXPECT_FALSE(s->ticksOnCreatingThread());
    QTRY_VERIFY(onShared.load() >= 2);
    EXPECT_EQ(overlaps.load(), 0);

    s->tickOnSharedThread(false);
    const int own = onOwn.load();
    QTRY_VERIFY(onOwn.load() >= own + 2);
    EXPECT_EQ(overlaps.load(), 0);

    s->tickOnSharedThread(true);
    QTRY_VERIFY(inTick.load() && onShared.load() > 0);
    s.reset(); // returns once the tick under way is over
    EXPECT_FALSE(inTick.load());
    slow = false;
}

TEST(SamplerScheduler, CallerThreadPlacementAndCadenceChange)
{
    int ticks = 0;
    const Cadence quick = Cadence::offsetThenEvery(0.01, 0.01);
    SamplerScheduler s(QStringLiteral("main"), quick, [&] { ++ticks; }, SamplerScheduler::Placement::CallerThread);
    s.start();
    QTRY_VERIFY(ticks >= 3);
    s.setCadence(Cadence::offsetThenEvery(10, 10)); // restarts with the slow cadence
    const int before = ticks;
    ASSERT_TRUE(test::passTicks(quick, 3)); // the quick cadence would have ticked by now
    EXPECT_EQ(ticks, before);
    EXPECT_TRUE(s.isActive());
}

TEST(SamplerScheduler, WholeSecondTickLandsOnTheSecond)
{
    std::atomic<double> at{0};
    SamplerScheduler s(QStringLiteral("corvane.ws"), Cadence::wholeSecond(),
                       [&] { at = Clock::system().wallSeconds(); });
    const double started = Clock::system().wallSeconds();
    s.start();
    for (int waited = 0; at.load() == 0 && waited < 20000; ++waited)
        QThread::msleep(1);
    ASSERT_NE(at.load(), 0.0);
    // Never before the top of the next second (how late a loaded machine runs it is not ours to say).
    EXPECT_GE(at.load(), std::floor(started) + 1.0);
}

// On the way out a tick that never returns (a read stuck in the kernel) doesn't hold the
// process: destroying its scheduler gives up at the deadline and hands over to `abandon`,
// which ends the process in the app (here it lets the tick go, so the test can end).
namespace {
struct StuckCase {
    const char *name;
    SamplerScheduler::Placement placement;
};

void PrintTo(const StuckCase &c, std::ostream *os) { *os << c.name; }
} // namespace

class StuckTickAtTheEnd : public ::testing::TestWithParam<StuckCase> {};

TEST_P(StuckTickAtTheEnd, IsAbandonedAtTheDeadline)
{
    std::atomic<bool> inTick{false}, release{false};
    std::atomic<int> abandoned{0};
    auto stuck = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.stuck"), Cadence::offsetThenEvery(0.0, 0.01),
        [&] {
            inTick = true;
            while (!release)
                QThread::msleep(1);
        },
        GetParam().placement);
    stuck->start();
    for (int waited = 0; !inTick && waited < 20000; ++waited)
        QThread::msleep(1);
    ASSERT_TRUE(inTick);
    SamplerScheduler::boundJoins(std::chrono::steady_clock::now() + std::chrono::milliseconds(50), [&] {
        ++abandoned;
        release = true;
    });
    stuck.reset();
    SamplerScheduler::boundJoins({}, nullptr);
    // In the app the first call ends the process; here the waits after it may give up too.
    EXPECT_GE(abandoned.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Placements, StuckTickAtTheEnd,
                         ::testing::Values(StuckCase{"OwnThread", SamplerScheduler::Placement::OwnThread},
                                           StuckCase{"SharedThread", SamplerScheduler::Placement::SharedThread}),
                         [](const auto &info) { return std::string(info.param.name); });
