// The GPU stress run over fake GPU figures and a hand-moved clock.
#include "checks/GPUStressSession.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeDisplayLink.h"
#include "fakes/FakeGpuStats.h"

#include <gtest/gtest.h>

using namespace corvane;
using test::accel;

namespace {

struct Run : ::testing::Test {
    test::FakeClock clock;
    std::shared_ptr<test::FakeGpuStats::Shared> gpu = std::make_shared<test::FakeGpuStats::Shared>();
    std::shared_ptr<test::FakeDisplayLink::Shared> link = std::make_shared<test::FakeDisplayLink::Shared>();
    std::unique_ptr<GPUStressSession> s;

    void SetUp() override
    {
        gpu->figures.device = GpuDeviceInfo{QStringLiteral("Radeon RX 6600"), 8ull << 30};
        gpu->figures.usedBytes = 512ull << 20;
        s = std::make_unique<GPUStressSession>(std::make_unique<test::FakeGpuStats>(gpu),
                                               [this] { return std::make_unique<test::FakeDisplayLink>(link); },
                                               clock, false);
    }
    // The GPU monitor's sample as its thread would take it.
    void sampleGpu(std::optional<std::vector<GpuAcceleratorReading>> readings)
    {
        gpu->figures.accelerators = std::move(readings);
        s->gpu()->publish(s->gpu()->sampler().sample());
    }
    int runToEnd()
    {
        int ticks = 0;
        while (s->running() && ticks < 1000) {
            clock.advance(0.2);
            s->tick();
            ++ticks;
        }
        return ticks;
    }
};

TEST_F(Run, ThirtySecondsEndAtTheFirstTickPastThem)
{
    sampleGpu(std::vector{accel({90})});
    s->start();
    EXPECT_TRUE(s->running());
    EXPECT_EQ(s->intensity(), 0.8);
    EXPECT_EQ(s->durationSec(), 30);
    EXPECT_EQ(runToEnd(), 150);
    EXPECT_TRUE(s->done());
    EXPECT_FALSE(s->tickerActive());
    EXPECT_EQ(s->utilSamples().size(), 150);
    EXPECT_EQ(s->subtitle(), QStringLiteral("OpenGL fragment shader · 30s"));
    const GpuRunFigures f = s->figures();
    EXPECT_TRUE(f.utilizationMeasured);
    EXPECT_EQ(f.gpuName, QStringLiteral("Radeon RX 6600"));
    EXPECT_EQ(f.vramUsedBytes, 512ull << 20);
    const auto lines = StressRules::gpuLines(f);
    EXPECT_EQ(lines[0].value, QStringLiteral("90%"));
}

TEST_F(Run, ShorterDurationEndsARunAlreadyPastIt)
{
    s->start();
    for (int i = 0; i < 60; ++i) {
        clock.advance(0.2);
        s->tick();
    }
    ASSERT_TRUE(s->running());
    s->setDurationSec(10);
    clock.advance(0.2);
    s->tick();
    EXPECT_TRUE(s->done());
}

TEST_F(Run, StopBeforeAnyTickGivesAnEmptyCard)
{
    sampleGpu(std::vector{accel({10})});
    s->start();
    s->stop();
    EXPECT_TRUE(s->done());
    EXPECT_FALSE(s->running());
    EXPECT_EQ(s->sampleCount(), 0);
    const auto lines = StressRules::gpuLines(s->figures());
    EXPECT_EQ(lines[0].value, QStringLiteral("—")); // no sample is no figure
    EXPECT_EQ(lines[2].value, QStringLiteral("—"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Slab / throttled"));
}

TEST_F(Run, AGpuWithoutUtilisationIsNotCalledThrottled)
{
    // An accelerator that lists no figure, as many drivers do.
    sampleGpu(std::vector{accel({})});
    EXPECT_FALSE(s->utilizationMeasured());
    s->start();
    runToEnd();
    const auto lines = StressRules::gpuLines(s->figures());
    EXPECT_EQ(lines[0].value, QStringLiteral("—"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Încărcare nemăsurabilă"));
    // No accelerator at all reads the same way.
    sampleGpu(std::nullopt);
    EXPECT_FALSE(s->utilizationMeasured());
}

TEST_F(Run, RerunStartsFromZero)
{
    s->start();
    runToEnd();
    s->start();
    EXPECT_FALSE(s->done());
    EXPECT_EQ(s->sampleCount(), 0);
    EXPECT_EQ(s->elapsed(), 0);
    s->halt(); // the sheet goes: no result, no ticker
    EXPECT_FALSE(s->running());
    EXPECT_FALSE(s->done());
    EXPECT_FALSE(s->tickerActive());
}

} // namespace
