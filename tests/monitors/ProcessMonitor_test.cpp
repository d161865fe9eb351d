#include "fakes/FakeClock.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/ProcessMonitor.h"

#include <QCoreApplication>
#include <QSemaphore>

#include <gtest/gtest.h>

#include <atomic>

using namespace corvane;
using namespace corvane::test;

struct ProcFixture : ::testing::Test {
    FakeClock clock;
    FakeProcessTable *table = new FakeProcessTable;
    std::unique_ptr<ProcessMonitor> mon;
    void make() { mon = std::make_unique<ProcessMonitor>(std::unique_ptr<ProcessTable>(table), clock, false); }
    void pass() { mon->publish(mon->sampler().sample()); }
    static QList<int> pids(const QList<ProcSnap> &l)
    {
        QList<int> out;
        for (const auto &p : l)
            out << p.pid;
        return out;
    }
};

TEST_F(ProcFixture, FirstPassShowsZeroCpuAndRanksMemory)
{
    table->add(1, "init", 100, 10);
    table->add(2, "big", 100, 300);
    table->add(3, "mid", 100, 200);
    make();
    pass();
    for (const auto &p : mon->topByCPU())
        EXPECT_EQ(p.cpuPercent, 0.0);
    EXPECT_EQ(pids(mon->topByRAM()), (QList<int>{2, 3, 1}));
    EXPECT_EQ(pids(mon->topByCPU()), (QList<int>{1, 2, 3})); // ties keep the listing order
    EXPECT_EQ(mon->totalProcesses(), 3);
}

TEST_F(ProcFixture, PercentOfOneCoreOverTheInterval)
{
    table->tb = {1, 1}; // units are nanoseconds
    table->add(10, "half", 0, 1);
    table->add(11, "twoCores", 0, 1);
    make();
    pass();
    clock.advance(2.5);
    table->info[10].userTime = 1'250'000'000; // 1.25 s of CPU in 2.5 s
    table->info[11].userTime = 2'500'000'000;
    table->info[11].systemTime = 2'500'000'000;
    table->add(12, "newcomer", 9'000'000'000, 1); // started between passes
    pass();
    ASSERT_EQ(mon->topByCPU().size(), 3);
    EXPECT_EQ(mon->topByCPU()[0].pid, 11);
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 200.0);
    EXPECT_DOUBLE_EQ(mon->topByCPU()[1].cpuPercent, 50.0);
    EXPECT_EQ(mon->topByCPU()[2].cpuPercent, 0.0);
    clock.advance(2.5);
    table->info[12].userTime += 250'000'000;
    pass();
    EXPECT_EQ(mon->topByCPU()[0].pid, 12);
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 10.0);
}

TEST_F(ProcFixture, NineEqualProcessesKeepTheFirstEight)
{
    for (int i = 1; i <= 9; ++i)
        table->add(100 + i, QStringLiteral("p%1").arg(i), 0, 4096);
    make();
    pass();
    clock.advance(2.5);
    for (int i = 1; i <= 9; ++i)
        table->info[100 + i].userTime = 1000;
    pass();
    EXPECT_EQ(pids(mon->topByCPU()), (QList<int>{101, 102, 103, 104, 105, 106, 107, 108}));
    EXPECT_EQ(mon->topByRAM().size(), 8);
    EXPECT_EQ(mon->totalProcesses(), 9);
}

TEST_F(ProcFixture, UnreadableAndOddProcesses)
{
    table->tb = {10'000'000, 0}; // a zero denominator counts as 1
    table->add(5, "ticks", 0, 1);
    table->pids.push_back(0);   // never listed
    table->pids.push_back(-3);  // never listed
    table->pids.push_back(77);  // vanished: no task info
    table->add(6, "noname", 0, 1);
    table->info[6].name.reset();
    table->add(7, "kworker/0:1-events", 0, 0); // a kernel thread: nothing to terminate
    table->info[7].kernelThread = true;
    table->info[5].startTime = 4711;
    make();
    pass();
    EXPECT_EQ(mon->totalProcesses(), 2);
    EXPECT_EQ(pids(mon->topByCPU()), (QList<int>{5, 6}));
    EXPECT_EQ(mon->topByRAM()[1].name, QStringLiteral("?"));
    EXPECT_EQ(mon->topByCPU()[0].startTime, 4711u); // the row names its process, not just the pid
    clock.advance(2.5);
    table->info[5].userTime = 125; // 125 ticks of 10 ms = 1.25 s
    pass();
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 50.0);
}

// A pid handed to a new process between two passes: that pass has no figure for it, whether
// the newcomer has less CPU time than the old process or more; the next pass measures it.
TEST(ProcessReusedPid, ShowsZeroThenMeasuresAgain)
{
    struct Case {
        const char *what;
        uint64_t newCpuNs;
        uint64_t newStartTime;
    };
    const Case cases[] = {
        {"less CPU time, new start", 1'000'000, 900},
        {"more CPU time, new start", 9'000'000'000, 900},
        {"more CPU time, start unreadable", 9'000'000'000, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeClock clock;
        auto *table = new FakeProcessTable;
        table->add(42, "old", 5'000'000'000, 1);
        table->info[42].startTime = 100;
        ProcessMonitor mon(std::unique_ptr<ProcessTable>(table), clock, false);
        const auto pass = [&] { mon.publish(mon.sampler().sample()); };
        pass();
        clock.advance(2.5);
        table->info[42] = ProcessTaskInfo{1, c.newCpuNs, 0, QStringLiteral("new"), c.newStartTime};
        pass();
        ASSERT_EQ(mon.topByCPU().size(), 1);
        EXPECT_EQ(mon.topByCPU()[0].cpuPercent, 0.0);
        clock.advance(2.5);
        table->info[42].userTime += 250'000'000;
        pass();
        EXPECT_DOUBLE_EQ(mon.topByCPU()[0].cpuPercent, 10.0);
    }
}

TEST_F(ProcFixture, EmptyListingForgetsEveryone)
{
    table->add(1, "a", 100, 1);
    make();
    pass();
    auto saved = table->pids;
    table->pids.clear();
    clock.advance(2.5);
    pass();
    EXPECT_TRUE(mon->topByCPU().isEmpty());
    EXPECT_EQ(mon->totalProcesses(), 0);
    table->pids = saved;
    table->info[1].userTime = 999'999;
    clock.advance(2.5);
    pass();
    EXPECT_EQ(mon->topByCPU()[0].cpuPercent, 0.0);
}

// The listing's memory figure lags the exact one: the processes that can be shown are
// ranked and shown by the exact figure, whichever list they are in.
TEST_F(ProcFixture, ShownMemoryIsTheExactFigure)
{
    for (int pid = 1; pid <= 12; ++pid)
        table->add(pid, QStringLiteral("p%1").arg(pid), 100, 1000 - uint64_t(pid) * 10);
    table->add(13, "busy", 100, 5);
    table->exact[10] = 2000; // ninth by the listing, first in fact
    table->exact[1] = 990;
    make();
    pass();
    table->info[13].userTime += 1'000'000'000; // a whole second busy
    clock.advance(1.0);
    table->exact[13] = 7;
    pass();
    const auto ram = mon->topByRAM();
    ASSERT_EQ(ram.size(), 8);
    EXPECT_EQ(ram[0].pid, 10);
    EXPECT_EQ(ram[0].memoryBytes, 2000u);
    EXPECT_EQ(ram[1].memoryBytes, 990u);
    EXPECT_EQ(mon->topByCPU().first().pid, 13);
    EXPECT_EQ(mon->topByCPU().first().memoryBytes, 7u);
}

// Watched, the lists are sampled every 2.5 s, with a pass at once when the last one is stale
// so the screen opens on fresh shares; unwatched, every 15 s. The scheduler's first real
// tick is seconds away: every pass here is the one the mode change makes.
TEST_F(ProcFixture, CadenceFollowsWhetherTheListsAreWatched)
{
    table->add(7, "busy", 0, 1);
    make();
    pass(); // the last background pass
    mon->start();
    const auto offsetAndInterval = [&] {
        const Cadence c = mon->scheduler()->cadence();
        return std::pair{c.offset, c.interval};
    };
    EXPECT_EQ(offsetAndInterval(), (std::pair{15.0, 15.0}));

    clock.advance(5);
    table->info[7].userTime = 1'000'000'000; // a second of CPU since that pass
    mon->setWatched(true);
    QTRY_COMPARE(mon->topByCPU().value(0).cpuPercent, 20.0); // shared over the five seconds
    EXPECT_EQ(offsetAndInterval(), (std::pair{2.5, 2.5}));
    EXPECT_TRUE(mon->scheduler()->isActive());

    // Left and opened again within a second: the last pass still stands.
    clock.advance(0.5);
    mon->setWatched(false);
    EXPECT_EQ(offsetAndInterval(), (std::pair{14.5, 15.0}));
    table->info[7].userTime = 2'000'000'000;
    mon->setWatched(true);
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 20.0);
    EXPECT_EQ(offsetAndInterval(), (std::pair{2.0, 2.5}));

    // Stopped (nothing on screen), watching changes only the cadence it resumes with.
    mon->stop();
    clock.advance(30);
    mon->setWatched(false);
    mon->setWatched(true);
    EXPECT_FALSE(mon->scheduler()->isActive());
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 20.0);
    mon->start();
    EXPECT_EQ(offsetAndInterval(), (std::pair{0.2, 2.5})); // long overdue: shortly
    mon->stop();
}

// A reader (the report) gets a pass made for it unless the last one is fresh; a monitor that
// is not running keeps the lists it has; an older pass arriving late does not overwrite it.
TEST_F(ProcFixture, EnsureFreshPassesForAReader)
{
    table->add(7, "busy", 0, 1);
    make();
    int ready = 0;
    mon->ensureFresh([&] { ++ready; }); // not running: nothing read
    EXPECT_EQ(mon->totalProcesses(), 0);
    EXPECT_EQ(ready, 1);

    const ProcessSnapshot old = mon->sampler().sample();
    mon->publish(old);
    mon->start();
    clock.advance(0.5);
    table->add(8, "newcomer", 0, 1);
    mon->ensureFresh([&] { ++ready; });
    EXPECT_EQ(ready, 2); // fresh enough: at once
    QCoreApplication::processEvents();
    EXPECT_EQ(mon->totalProcesses(), 1);

    clock.advance(10);
    table->info[7].userTime = 5'250'000'000;
    mon->ensureFresh([&] { ++ready; });
    mon->ensureFresh([&] { ready += 10; }); // a second reader waits for the same pass
    EXPECT_EQ(ready, 2);
    QTRY_COMPARE(ready, 13);
    EXPECT_EQ(mon->totalProcesses(), 2);
    EXPECT_DOUBLE_EQ(mon->topByCPU()[0].cpuPercent, 50.0);
    EXPECT_TRUE(mon->scheduler()->isActive());

    mon->publish(old);
    EXPECT_EQ(mon->totalProcesses(), 2);
    mon->publish({{}, {}, 3}); // lists made by hand always apply
    EXPECT_EQ(mon->totalProcesses(), 3);
    mon->stop();
}

// The samplers' thread may be in another sampler's slow tick (a sysfs read that hangs): a
// reader's fresh pass waits for it there, not on the GUI thread, which keeps showing the
// last lists until the new ones land.
TEST_F(ProcFixture, AFreshPassNeverHoldsTheCallerBehindASlowTick)
{
    table->add(7, "busy", 0, 1);
    make();
    pass();
    mon->start();
    QSemaphore entered, gate;
    std::atomic<bool> heldToTheLimit{false};
    SamplerScheduler slow(
        QStringLiteral("test.slow"), Cadence::offsetThenEvery(0, 3600),
        [&] {
            entered.release();
            if (!gate.tryAcquire(1, 10'000))
                heldToTheLimit = true;
        },
        SamplerScheduler::Placement::SharedThread, clock);
    slow.start();
    ASSERT_TRUE(entered.tryAcquire(1, 10'000));
    clock.advance(5);
    table->add(8, "newcomer", 0, 1);
    mon->ensureFresh();
    EXPECT_EQ(mon->totalProcesses(), 1); // the last lists meanwhile
    gate.release();
    EXPECT_FALSE(heldToTheLimit.load());
    QTRY_COMPARE(mon->totalProcesses(), 2);
    slow.stop();
    mon->stop();
}
