#include "fakes/FakeClock.h"
#include "fakes/FakeDisplayLink.h"
#include "monitors/FPSMonitor.h"
#include "monitors/Publish.h"

#include <QSignalSpy>
#include <QTest>

#include "support/ParamNames.h"
#include "support/QuietWaits.h"
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace corvane;
using namespace corvane::test;

namespace {

struct Rig {
    FakeClock clock;
    std::shared_ptr<FakeDisplayLink::Shared> link = std::make_shared<FakeDisplayLink::Shared>();
    bool linkAvailable = true;
    std::unique_ptr<FPSMonitor> make(bool autoStart = true)
    {
        return std::make_unique<FPSMonitor>(
            [this]() -> std::unique_ptr<DisplayLink> {
                return linkAvailable ? std::make_unique<FakeDisplayLink>(link) : nullptr;
            },
            clock, autoStart);
    }
    void frames(int n) { FakeDisplayLink::frames(*link, n); }
};

} // namespace

struct RateCase {
    int frames;
    double seconds;
    double fps;
};

class FPSRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(FPSRate, CountsFramesOverTheElapsedInterval)
{
    const auto c = GetParam();
    Rig r;
    auto m = r.make();
    r.frames(c.frames);
    r.clock.advance(c.seconds);
    m->publish();
    EXPECT_NEAR(m->currentFPS(), c.fps, 0.01);
    // The count starts again from zero.
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FPSRate,
                         ::testing::Values(RateCase{120, 1.0, 120.0}, RateCase{59, 1.02, 57.84},
                                           RateCase{0, 1.0, 0.0}, RateCase{30, 0.5, 60.0}),
    [](const auto &i) { return std::to_string(i.param.frames) + "FramesIn" + corvane::test::numberName(i.param.seconds) + "s"; });

TEST(FPSMonitorTest, NoElapsedTimeKeepsTheFigure)
{
    Rig r;
    auto m = r.make();
    r.frames(60);
    r.clock.advance(1.0);
    m->publish();
    QSignalSpy spy(m.get(), &FPSMonitor::currentFPSChanged);
    r.frames(10);
    m->publish(); // same instant
    EXPECT_EQ(spy.count(), 0);
    EXPECT_DOUBLE_EQ(m->currentFPS(), 60.0);
}

TEST(FPSMonitorTest, NominalRefreshComesFromTheLinkWhenItKnowsOne)
{
    Rig r;
    r.link->nominal = 60000.0 / 1001.0;
    auto m = r.make();
    EXPECT_NEAR(m->refreshNominalHz(), 59.94, 0.001);
    m->stop();
    for (double bad : {0.0, std::nan(""), -60.0}) {
        r.link->nominal = bad;
        m->start();
        EXPECT_NEAR(m->refreshNominalHz(), 59.94, 0.001) << bad;
        m->stop();
    }
    r.link->nominal = std::nullopt;
    m->start();
    EXPECT_NEAR(m->refreshNominalHz(), 59.94, 0.001);
}

TEST(FPSMonitorTest, WithoutALinkItStaysStoppedAtZero)
{
    Rig r;
    r.linkAvailable = false;
    auto m = r.make();
    EXPECT_FALSE(m->isRunning());
    EXPECT_FALSE(m->scheduler()->isActive());
    EXPECT_EQ(m->currentFPS(), 0.0);
    EXPECT_EQ(m->refreshNominalHz(), 0.0);
}

TEST(FPSMonitorTest, StoppedCountsNothingAndPublishesNothing)
{
    Rig r;
    auto m = r.make();
    r.frames(5);
    m->stop();
    EXPECT_FALSE(m->isRunning());
    EXPECT_FALSE(m->scheduler()->isActive());
    r.frames(100); // the link is stopped: not counted
    QSignalSpy spy(m.get(), &FPSMonitor::currentFPSChanged);
    ASSERT_TRUE(test::passTicks(m->scheduler()->cadence(), 1, r.clock));
    EXPECT_EQ(spy.count(), 0);

    // Frames from before the stop count in the first publication after start(), over the
    // time since start().
    m->start();
    EXPECT_TRUE(m->isRunning());
    r.frames(5);
    r.clock.advance(1.0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 2500);
    EXPECT_DOUBLE_EQ(m->currentFPS(), 10.0);
}

TEST(FPSMonitorTest, SecondStartReplacesTheRunningLink)
{
    Rig r;
    auto m = r.make();
    m->start();
    EXPECT_EQ(r.link->starts, 2);
    EXPECT_EQ(r.link->stops, 1);
    EXPECT_TRUE(m->isRunning());
}

TEST(FPSMonitorTest, FramesFromAnotherThreadAreAllCounted)
{
    Rig r;
    auto m = r.make();
    std::thread t([&] { r.frames(5000); });
    r.frames(5000);
    t.join();
    r.clock.advance(2.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 5000.0);
}

// A link that keeps the display's refresh count and is read once a second.
struct CountingRig : Rig {
    CountingRig() { link->counter = 5000; }
    void refreshes(uint64_t n) { *link->counter += n; }
};

TEST(FPSMonitorCountingLink, RateIsTheCounterStepOverTheInterval)
{
    CountingRig r;
    auto m = r.make();
    r.refreshes(144);
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 144.0);
    r.refreshes(59);
    r.clock.advance(1.02);
    m->publish();
    EXPECT_NEAR(m->currentFPS(), 57.84, 0.01);
    // One reading per publication, none per frame.
    EXPECT_EQ(r.link->counterReads, 3);
}

TEST(FPSMonitorCountingLink, AMissedReadingKeepsTheFigureAndTheNextCoversBoth)
{
    CountingRig r;
    auto m = r.make();
    r.refreshes(60);
    r.clock.advance(1.0);
    m->publish();
    ASSERT_DOUBLE_EQ(m->currentFPS(), 60.0);

    const uint64_t before = *r.link->counter;
    r.link->counter.reset();
    r.clock.advance(1.0);
    QSignalSpy updated(m.get(), &FPSMonitor::updated);
    m->publish();
    EXPECT_EQ(updated.count(), 1);
    EXPECT_DOUBLE_EQ(m->currentFPS(), 60.0); // not a second without frames

    r.link->counter = before + 120;
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 60.0); // 120 refreshes over two seconds, not 120 Hz
}

TEST(FPSMonitorCountingLink, ACounterThatGoesBackStartsAfreshInsteadOfWrapping)
{
    CountingRig r;
    auto m = r.make();
    r.link->counter = 12; // the window moved to an output whose counter is lower
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 0.0);
    r.refreshes(75);
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 75.0);
}

TEST(FPSMonitorCountingLink, RefreshesBeforeAStopCountOnceAndThoseWhileStoppedNever)
{
    CountingRig r;
    auto m = r.make();
    r.refreshes(30);
    m->stop();
    r.refreshes(600); // ten seconds hidden
    r.clock.advance(10.0);
    m->start();
    r.refreshes(60);
    r.clock.advance(1.0);
    m->publish();
    EXPECT_DOUBLE_EQ(m->currentFPS(), 90.0); // 30 before the stop, 60 since the start
}

// The figure is counted at the tick but shown with the other monitors' batch, so the
// screen redraws once for the second rather than once more for this monitor.
TEST(FPSMonitorInBatch, CountedAtTheTickShownOnlyWhenTheBatchFlushes)
{
    Rig r;
    r.clock.setWall(1'700'000'000.10);
    PublicationBatch batch(r.clock);
    batch.install();
    auto m = r.make();
    QSignalSpy changed(m.get(), &FPSMonitor::currentFPSChanged);
    QSignalSpy updated(m.get(), &FPSMonitor::updated);
    r.frames(60);
    r.clock.advance(1.0);
    m->publish();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(updated.count(), 0);
    EXPECT_DOUBLE_EQ(m->currentFPS(), 0.0) << "shown before the batch";
    r.frames(500); // frames after the tick belong to the next second
    batch.flush();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(updated.count(), 1);
    EXPECT_DOUBLE_EQ(m->currentFPS(), 60.0);
}

TEST(FPSMonitorInBatch, AMonitorGoneBeforeTheFlushIsSkipped)
{
    Rig r;
    r.clock.setWall(1'700'000'000.10);
    PublicationBatch batch(r.clock);
    batch.install();
    auto m = r.make();
    r.frames(30);
    r.clock.advance(1.0);
    m->publish();
    EXPECT_EQ(batch.pending(), 1u);
    m.reset();
    batch.flush(); // must not touch the destroyed monitor
    EXPECT_EQ(batch.pending(), 0u);
}
