#include "fakes/FakeClock.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/MetricHistory.h"
#include "monitors/SystemMonitor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

TEST(MetricHistory, KeepsTheLastNinetyInOrder)
{
    MetricHistory h;
    int announced = 0;
    QObject::connect(&h, &MetricHistory::samplesChanged, [&] { ++announced; });
    for (int i = 0; i < 90; ++i)
        h.push(i);
    EXPECT_EQ(h.samples().size(), 90);
    h.push(90); // the 91st drops the first
    EXPECT_EQ(h.samples().size(), 90);
    EXPECT_EQ(h.samples().front(), 1.0);
    for (int i = 91; i < 200; ++i)
        h.push(i);
    ASSERT_EQ(h.samples().size(), 90);
    for (int i = 0; i < 90; ++i)
        EXPECT_EQ(h.samples()[i], 110.0 + i);
    EXPECT_EQ(announced, 200);
}

struct SystemFixture : ::testing::Test {
    FakeClock clock;
    FakeHostStats *host = new FakeHostStats;
    SystemMonitor mon{std::unique_ptr<HostStats>(host), clock, false};
    void tick() { mon.publish(mon.sampler().sample()); }
};

TEST_F(SystemFixture, FirstTickPublishesMemoryButNoCpu)
{
    host->cpu = CpuLoadInfo{100, 50, 800, 10};
    host->vm = VmCounters{1000, 200, 50};
    host->physical = 16ULL << 30;
    host->uptime = 1234.5;
    tick();
    EXPECT_EQ(mon.cpuUsage(), 0.0);
    EXPECT_TRUE(mon.cpuHistory()->samples().isEmpty());
    EXPECT_EQ(mon.ramUsedBytes(), 4096ULL * 1250);
    EXPECT_EQ(mon.ramTotalBytes(), 16ULL << 30);
    EXPECT_DOUBLE_EQ(mon.ramPressure(), 4096.0 * 1250 / double(16ULL << 30));
    EXPECT_EQ(mon.ramHistory()->samples().size(), 1);
    EXPECT_EQ(mon.uptimeSeconds(), 1234.5);

    host->cpu = CpuLoadInfo{130, 60, 850, 20}; // busy 50 of 100
    tick();
    EXPECT_DOUBLE_EQ(mon.cpuUsage(), 0.5);
    EXPECT_EQ(mon.cpuHistory()->samples(), QList<double>{0.5});
}

TEST_F(SystemFixture, CpuEdgeCases)
{
    host->cpu = CpuLoadInfo{100, 100, 100, 100};
    tick();
    tick(); // no tick elapsed at all: a figure of 0, not an absent one
    EXPECT_EQ(mon.cpuUsage(), 0.0);
    EXPECT_EQ(mon.cpuHistory()->samples(), QList<double>{0.0});

    // A 32-bit counter that wrapped still yields its true increase.
    host->cpu = CpuLoadInfo{0xFFFFFFF0u, 100, 100, 100};
    tick();
    host->cpu = CpuLoadInfo{0x10u, 100, 132, 100}; // user +32, idle +32
    tick();
    EXPECT_DOUBLE_EQ(mon.cpuUsage(), 0.5);

    // A failed reading keeps the baseline; the next figure spans both intervals.
    host->cpu.reset();
    tick();
    EXPECT_DOUBLE_EQ(mon.cpuUsage(), 0.5);
    EXPECT_EQ(mon.cpuHistory()->samples().size(), 3);
    host->cpu = CpuLoadInfo{0x10u + 30, 100, 132 + 10, 100};
    tick();
    EXPECT_DOUBLE_EQ(mon.cpuUsage(), 0.75);
}

TEST_F(SystemFixture, MemoryFailuresGiveZero)
{
    host->physical = 8ULL << 30;
    host->vm.reset();
    tick();
    EXPECT_EQ(mon.ramUsedBytes(), 0u);
    EXPECT_EQ(mon.ramPressure(), 0.0);
    EXPECT_EQ(mon.ramTotalBytes(), 8ULL << 30);
    EXPECT_EQ(mon.ramHistory()->samples(), QList<double>{0.0});

    host->physical = 0;
    host->vm = VmCounters{10, 0, 0};
    tick();
    EXPECT_EQ(mon.ramPressure(), 0.0);
}

TEST(SystemMonitorLifetime, SnapshotForADestroyedMonitorIsDropped)
{
    FakeClock clock;
    auto *host = new FakeHostStats;
    host->physical = 1 << 20;
    host->vm = VmCounters{1, 0, 0};
    auto *mon = new SystemMonitor(std::unique_ptr<HostStats>(host), clock, false);
    int published = 0;
    QObject::connect(mon, &SystemMonitor::ramTotalBytesChanged, [&] { ++published; });
    const auto s = mon->sampler().sample();
    QMetaObject::invokeMethod(mon, [mon, s] { mon->publish(s); }, Qt::QueuedConnection);
    delete mon;
    QCoreApplication::processEvents();
    EXPECT_EQ(published, 0);
}

// While nothing is shown the ticks run on the main thread, and back on their own thread
// after; the CPU baseline carries over, so the first figure after a move is a real one.
TEST(SystemMonitorPlacement, TicksMoveToTheMainThreadAndBack)
{
    struct ThreadRecordingHost final : HostStats {
        std::atomic<QThread *> lastThread{nullptr};
        std::atomic<uint32_t> idle{0};
        std::optional<CpuLoadInfo> cpuLoad() override
        {
            lastThread = QThread::currentThread();
            idle += 100;
            return CpuLoadInfo{idle.load(), 0, idle.load(), 0}; // half busy
        }
        std::optional<VmCounters> vmCounters() override { return VmCounters{1, 0, 0}; }
        uint64_t pageSize() override { return 4096; }
        uint64_t physicalMemory() override { return 1 << 20; }
        double uptimeSeconds() override { return 1; }
    };
    auto *host = new ThreadRecordingHost;
    SystemMonitor mon(std::unique_ptr<HostStats>(host), Clock::system(), true);
    QTRY_VERIFY_WITH_TIMEOUT(host->lastThread.load() != nullptr, 2500);
    EXPECT_NE(host->lastThread.load(), qApp->thread());

    mon.tickOnMainThread(true);
    EXPECT_TRUE(mon.scheduler()->isActive());
    host->lastThread = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(host->lastThread.load() != nullptr, 2500);
    EXPECT_EQ(host->lastThread.load(), qApp->thread());
    QTRY_COMPARE_WITH_TIMEOUT(mon.cpuUsage(), 0.5, 2500);

    mon.tickOnMainThread(false);
    host->lastThread = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(host->lastThread.load() != nullptr, 2500);
    EXPECT_NE(host->lastThread.load(), qApp->thread());
}
