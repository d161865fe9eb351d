#include "fakes/FakeClock.h"
#include "fakes/FakeGpuStats.h"
#include "monitors/GPUMonitor.h"
#include "monitors/Publish.h"

#include <QSignalSpy>
#include <QTest>

#include "support/ParamNames.h"
#include "support/QuietWaits.h"
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

struct Rig {
    FakeClock clock;
    std::shared_ptr<FakeGpuStats::Shared> shared = std::make_shared<FakeGpuStats::Shared>();
    std::unique_ptr<GPUMonitor> make(bool autoStart)
    {
        return std::make_unique<GPUMonitor>(std::make_unique<FakeGpuStats>(shared), clock, autoStart);
    }
    void set(FakeGpuStats::Figures f)
    {
        std::lock_guard l(shared->lock);
        shared->figures = std::move(f);
    }
};

} // namespace

TEST(GPUMonitorTest, StartsEmptyAndSamplesAtOnceOnItsThread)
{
    Rig r;
    r.set({GpuDeviceInfo{QStringLiteral("AMD/ATI Navi 21"), 16ull << 30}, 512ull << 20, {{accel({42})}}});
    auto m = r.make(true);
    EXPECT_EQ(m->gpuName(), QStringLiteral("—"));
    // The immediate sample comes long before the first whole-second tick.
    QTRY_COMPARE_WITH_TIMEOUT(m->history()->samples().size(), 1, 2000);
    EXPECT_EQ(m->vramUsedBytes(), 512ull << 20);
    EXPECT_EQ(m->vramRecommendedMaxBytes(), 16ull << 30);
    EXPECT_EQ(m->gpuName(), QStringLiteral("AMD/ATI Navi 21"));
    EXPECT_DOUBLE_EQ(m->utilization(), 0.42);
    std::lock_guard l(r.shared->lock);
    EXPECT_EQ(r.shared->lastThread, QStringLiteral("corvane.gpu-sampler"));
}

struct UtilCase {
    const char *what;
    std::optional<std::vector<GpuAcceleratorReading>> accelerators;
    std::optional<double> expected;
};

class GPUReadUtilization : public ::testing::TestWithParam<UtilCase> {};

TEST_P(GPUReadUtilization, TakesTheHighestFigureOfAnyAccelerator)
{
    const auto &c = GetParam();
    const auto got = GPUSampler::readUtilization(c.accelerators);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.what;
    if (c.expected) {
        EXPECT_DOUBLE_EQ(*got, *c.expected) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GPUReadUtilization,
    ::testing::Values(UtilCase{"two accelerators, 30 and 70", {{accel({30}), accel({70})}}, 0.7},
                      UtilCase{"several figures on one accelerator", {{accel({12, 88, 40})}}, 0.88},
                      UtilCase{"one silent accelerator beside a busy one", {{accel({}), accel({5})}}, 0.05},
                      UtilCase{"idle is a figure too", {{accel({0})}}, 0.0},
                      UtilCase{"no figure anywhere", {{accel({}), accel({})}}, std::nullopt},
                      UtilCase{"no accelerator", std::nullopt, std::nullopt}),
    [](const auto &i) { return corvane::test::textName(i.param.what); });

TEST(GPUMonitorTest, MissingFigureKeepsAndPushesTheOldValue)
{
    Rig r;
    auto m = r.make(false);
    r.set({GpuDeviceInfo{QStringLiteral("X"), std::nullopt}, 100, {{accel({60})}}});
    m->publish(m->sampler().sample());
    r.set({GpuDeviceInfo{QStringLiteral("X"), std::nullopt}, 200, {{accel({})}}});
    QSignalSpy util(m.get(), &GPUMonitor::utilizationChanged);
    m->publish(m->sampler().sample());
    EXPECT_EQ(util.count(), 0);
    EXPECT_DOUBLE_EQ(m->utilization(), 0.6);
    EXPECT_TRUE(m->utilizationKnown()); // the figure held is a measured one
    EXPECT_EQ(m->history()->samples(), (QList<double>{0.6, 0.6}));
    EXPECT_EQ(m->vramUsedBytes(), 200u);
}

// With nothing to read, the ticks share the other samplers' thread; once a device appears
// they go back to a thread of their own. One sample a tick throughout.
TEST(GPUMonitorTest, NothingToReadSharesTheSamplersThreadUntilADeviceAppears)
{
    Rig r;
    r.shared->mayBlock = false;
    r.set({std::nullopt, std::nullopt, std::nullopt});
    auto m = r.make(true);
    const auto lastThread = [&] {
        std::lock_guard l(r.shared->lock);
        return r.shared->lastThread;
    };
    QTRY_COMPARE_WITH_TIMEOUT(lastThread(), QString::fromLatin1(SamplerScheduler::kSharedThreadName), 5000);
    EXPECT_TRUE(m->scheduler()->ticksOnSharedThread());

    r.shared->mayBlock = true;
    r.set({std::nullopt, std::nullopt, {{accel({25})}}});
    QTRY_COMPARE_WITH_TIMEOUT(lastThread(), QStringLiteral("corvane.gpu-sampler"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m->utilization(), 0.25, 5000);
    EXPECT_FALSE(m->scheduler()->ticksOnSharedThread());
}

TEST(GPUMonitorTest, NoDeviceLeavesTheAbsentValues)
{
    Rig r;
    r.set({std::nullopt, 123, std::nullopt});
    auto m = r.make(false);
    QSignalSpy name(m.get(), &GPUMonitor::gpuNameChanged);
    m->publish(m->sampler().sample());
    m->publish(m->sampler().sample());
    EXPECT_EQ(m->gpuName(), QStringLiteral("—"));
    EXPECT_EQ(m->vramUsedBytes(), 0u);
    EXPECT_EQ(m->vramRecommendedMaxBytes(), 0u);
    EXPECT_FALSE(m->utilizationKnown());
    EXPECT_EQ(name.count(), 0);
    EXPECT_EQ(m->history()->samples(), (QList<double>{0.0, 0.0}));
}

TEST(GPUMonitorTest, DeviceIsReadOnceAndAnnouncedOnce)
{
    Rig r;
    r.set({GpuDeviceInfo{QStringLiteral("A"), 8}, 1, {{accel({1})}}});
    auto m = r.make(false);
    QSignalSpy name(m.get(), &GPUMonitor::gpuNameChanged);
    m->publish(m->sampler().sample());
    r.set({GpuDeviceInfo{QStringLiteral("B"), 9}, 1, {{accel({1})}}});
    m->publish(m->sampler().sample());
    EXPECT_EQ(name.count(), 1);
    EXPECT_EQ(m->gpuName(), QStringLiteral("A"));
    EXPECT_EQ(m->vramRecommendedMaxBytes(), 8u);
}

TEST(GPUMonitorTest, PauseStopsTicksAndStartSamplesAgainAtOnce)
{
    Rig r;
    r.set({std::nullopt, std::nullopt, {{accel({10})}}});
    auto m = r.make(true);
    QTRY_COMPARE_WITH_TIMEOUT(m->history()->samples().size(), 1, 2000);
    m->stop();
    EXPECT_FALSE(m->isRunning());
    const Cadence cadence = m->scheduler()->cadence();
    ASSERT_TRUE(test::passTicks(cadence)); // a tick already under way may still land
    const auto seen = m->history()->samples().size();
    ASSERT_TRUE(test::passTicks(cadence, 2));
    EXPECT_EQ(m->history()->samples().size(), seen);
    m->start();
    EXPECT_TRUE(m->isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(m->history()->samples().size(), seen + 1, 500);
}

// Its samples reach the screens with the other monitors' of the same second, not on their own.
TEST(GPUMonitorTest, SamplesWaitForTheSecondsBatch)
{
    Rig r;
    r.set({GpuDeviceInfo{QStringLiteral("AMD/ATI Navi 21"), 16ull << 30}, 512ull << 20, {{accel({42})}}});
    FakeClock batchClock;
    batchClock.setWall(1'700'000'000.30); // the batch's next flush point is a second away
    PublicationBatch batch(batchClock);
    batch.install();
    auto m = r.make(true);
    QSignalSpy updated(m.get(), &GPUMonitor::updated);
    QTRY_COMPARE_WITH_TIMEOUT(batch.pending(), size_t(1), 2000);
    EXPECT_EQ(updated.count(), 0);
    // The next, steady tick goes into the batch from the sampler thread: no queued call.
    struct MetaCalls : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            count += e->type() == QEvent::MetaCall;
            return false;
        }
    } calls;
    m->installEventFilter(&calls);
    QTRY_COMPARE_WITH_TIMEOUT(batch.pending(), size_t(2), 2500);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(calls.count, 0);
    m->stop();
    batch.flush();
    EXPECT_EQ(updated.count(), 2);
    EXPECT_EQ(m->vramUsedBytes(), 512ull << 20);
}
