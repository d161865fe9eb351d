// The publications of one second reach the main thread as one batch: applied together just
// after the whole second, in the order they came, each sample still applied (no merging),
// and never into a monitor that is gone.
#include "fakes/FakeClock.h"
#include "monitors/Publish.h"
#include "support/ParamNames.h"
#include "support/QuietWaits.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

using namespace corvane;

namespace {

struct Applied {
    QString monitor;
    int value;
    bool onMainThread;
};

// Stands in for a monitor: publish() records what it applied into a log the test owns.
class Probe : public QObject {
public:
    Probe(QString name, std::vector<Applied> *log) : m_name(std::move(name)), m_log(log) {}
    void publish(int value) { m_log->push_back({m_name, value, QThread::currentThread() == qApp->thread()}); }

private:
    QString m_name;
    std::vector<Applied> *m_log;
};

// Lets every queued handover reach the main thread without reaching a flush point.
void deliverQueued()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QStringList names(const std::vector<Applied> &log)
{
    QStringList out;
    for (const Applied &a : log)
        out << QStringLiteral("%1=%2").arg(a.monitor).arg(a.value);
    return out;
}

// ---- When the batch is applied ---------------------------------------------------------

struct FlushCase {
    double now;
    double settle;
    double delay;
    double period = 1.0; // the refresh period, a second unless set shorter
};
class FlushPoint : public ::testing::TestWithParam<FlushCase> {};
TEST_P(FlushPoint, IsTheNextWholePeriodPlusTheSettleTime)
{
    const FlushCase c = GetParam();
    EXPECT_NEAR(PublicationBatch::delayToFlush(c.now, c.settle, c.period), c.delay, 1e-6);
}
INSTANTIATE_TEST_SUITE_P(PublicationBatch, FlushPoint, ::testing::Values(
    FlushCase{100.0, 0.25, 0.25},          // on the second: its own flush point is ahead
    FlushCase{100.1, 0.25, 0.15},          // a prompt sampler joins this second's batch
    FlushCase{100.25, 0.25, 0.0},          // exactly on the flush point
    FlushCase{100.3, 0.25, 0.95},          // a late one waits for the next second's batch
    FlushCase{100.999, 0.25, 0.251},
    FlushCase{1'765'000'000.1, 0.25, 0.15}, // today's epoch seconds keep their fraction
    FlushCase{-0.5, 0.25, 0.75},           // a clock before the epoch still aligns
    FlushCase{NAN, 0.25, 0.0},             // a broken clock flushes at once, never waits forever
    FlushCase{INFINITY, 0.25, 0.0},
    FlushCase{100.1, 0.25, 0.15, 0.5},     // half-second refresh: flushes at .25 and .75
    FlushCase{100.3, 0.25, 0.45, 0.5},
    FlushCase{100.8, 0.25, 0.45, 0.5},
    FlushCase{100.1, 0.1, 0.0, 0.2}),      // exactly on a point of a 0.2 s period
    [](const auto &i) {
        return "At" + test::numberName(i.param.now)
            + (i.param.period != 1.0 ? "Every" + test::numberName(i.param.period) : std::string());
    });

// ---- The batch on the main thread ------------------------------------------------------

struct PublicationBatchQueue : ::testing::Test {
    test::FakeClock clock;
    std::vector<Applied> log;
    std::unique_ptr<PublicationBatch> batch;
    void SetUp() override
    {
        clock.setWall(1'700'000'000.10); // 0.15 s before the flush point
        batch = std::make_unique<PublicationBatch>(clock);
        batch->install();
    }
};

TEST_F(PublicationBatchQueue, SamplerThreadsOfOneSecondApplyTogetherInArrivalOrder)
{
    Probe cpu("cpu", &log), net("net", &log), disk("disk", &log);
    std::thread sampler([&] {
        handOver(&cpu, 1);
        handOver(&net, 2);
        handOver(&disk, 3);
    });
    sampler.join();
    deliverQueued();
    EXPECT_TRUE(log.empty()) << "applied before the flush point";
    EXPECT_EQ(batch->pending(), 3u);

    QTRY_COMPARE_WITH_TIMEOUT(log.size(), size_t(3), 2000);
    EXPECT_EQ(names(log), (QStringList{"cpu=1", "net=2", "disk=3"}));
    EXPECT_EQ(batch->flushCount(), 1u);
    for (const Applied &a : log)
        EXPECT_TRUE(a.onMainThread) << a.monitor.toStdString();
}

TEST_F(PublicationBatchQueue, TwoSamplesOfOneMonitorAreBothAppliedInOrder)
{
    // A listener counting every sample (through updated()) must see both.
    Probe cpu("cpu", &log);
    handOver(&cpu, 1);
    handOver(&cpu, 2);
    deliverQueued();
    batch->flush();
    EXPECT_EQ(names(log), (QStringList{"cpu=1", "cpu=2"}));
}

TEST_F(PublicationBatchQueue, AMonitorGoneWhileQueuedIsSkippedAndTheRestApplies)
{
    Probe net("net", &log);
    auto cpu = std::make_unique<Probe>("cpu", &log);
    handOver(cpu.get(), 1);
    handOver(&net, 2);
    deliverQueued();
    ASSERT_EQ(batch->pending(), 2u);
    cpu.reset();
    batch->flush();
    EXPECT_EQ(names(log), (QStringList{"net=2"}));
}

TEST_F(PublicationBatchQueue, AMonitorGoneBeforeTheFlushIsNeverApplied)
{
    auto cpu = std::make_unique<Probe>("cpu", &log);
    handOver(cpu.get(), 1);
    cpu.reset();
    deliverQueued();
    batch->flush();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(batch->flushCount(), 0u); // an empty flush repaints nothing
}

TEST_F(PublicationBatchQueue, WhatAnApplyQueuesWaitsForTheNextSecond)
{
    Probe cpu("cpu", &log);
    QObject owner;
    batch->add(&owner, [&] {
        log.push_back({"first", 0, true});
        batch->add(&owner, [&] { log.push_back({"second", 0, true}); });
    });
    batch->flush();
    EXPECT_EQ(names(log), (QStringList{"first=0"}));
    EXPECT_EQ(batch->pending(), 1u);
    QTRY_COMPARE_WITH_TIMEOUT(log.size(), size_t(2), 2000);
    EXPECT_EQ(batch->flushCount(), 2u);
}

TEST_F(PublicationBatchQueue, EachSecondIsOneFlush)
{
    Probe cpu("cpu", &log), net("net", &log);
    for (int second = 0; second < 3; ++second) {
        handOver(&cpu, second);
        handOver(&net, second);
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), size_t(2 * (second + 1)), 2000);
        clock.advance(1.0);
    }
    EXPECT_EQ(batch->flushCount(), 3u);
}

TEST_F(PublicationBatchQueue, AnArrivalJustAfterAnEarlyFlushWaitsForTheNextSecond)
{
    // The flush timer fired a hair before the flush point; a sampler's snapshot landing in
    // that sliver must not make a second frame right after the first.
    Probe cpu("cpu", &log), net("net", &log);
    clock.setWall(1'700'000'000.249);
    handOver(&cpu, 1);
    deliverQueued();
    batch->flush();
    handOver(&net, 2);
    deliverQueued();
    // A flush armed for the sliver left would have come before a tenth of a second.
    ASSERT_TRUE(test::passTimersDueWithin(100));
    EXPECT_EQ(names(log), (QStringList{"cpu=1"}));
    EXPECT_EQ(batch->pending(), 1u);
    EXPECT_EQ(batch->flushCount(), 1u);
}

// Counts the queued calls the main thread is woken for.
struct MetaCallCounter : QObject {
    int calls = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::MetaCall)
            ++calls;
        return false;
    }
};

TEST_F(PublicationBatchQueue, SamplersHandOverWithoutWakingTheMainThreadWhileAFlushIsDue)
{
    Probe cpu("cpu", &log), net("net", &log), disk("disk", &log);
    MetaCallCounter counter;
    qApp->installEventFilter(&counter);
    // Quiet batch: the first hand-over has to start the flush timer on the main thread.
    std::thread([&] { handOver(&cpu, 1); }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 1);
    std::thread([&] {
        handOver(&net, 2);
        handOver(&disk, 3);
    }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 1) << "woken although a flush was already due";
    batch->flush();
    EXPECT_EQ(names(log), (QStringList{"cpu=1", "net=2", "disk=3"}));
    // Still due for the next second after a flush that applied something.
    clock.advance(1.0);
    std::thread([&] { handOver(&cpu, 4); }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 1);
    batch->flush();
    EXPECT_EQ(names(log).last(), QStringLiteral("cpu=4"));
    // An empty flush lets the batch go quiet: the next hand-over wakes it again.
    batch->flush();
    std::thread([&] { handOver(&cpu, 5); }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 2);
    qApp->removeEventFilter(&counter);
}

// With nothing on screen: what waited applies at once, main-thread arrivals apply in the
// call, a burst from a sampler thread costs one queued call, and an apply's own publication
// follows on the next pass. Back on screen, arrivals wait for the flush point again.
TEST_F(PublicationBatchQueue, ImmediateWhileNothingIsShown)
{
    Probe cpu("cpu", &log), net("net", &log), disk("disk", &log);
    handOver(&cpu, 1);
    EXPECT_TRUE(log.empty());
    batch->setImmediate(true);
    EXPECT_EQ(names(log), QStringList{"cpu=1"});

    handOver(&net, 2);
    EXPECT_EQ(names(log).last(), QStringLiteral("net=2"));

    MetaCallCounter counter;
    qApp->installEventFilter(&counter);
    std::thread([&] {
        handOver(&cpu, 3);
        handOver(&disk, 4);
    }).join();
    EXPECT_EQ(log.size(), 2u);
    deliverQueued();
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(names(log).mid(2), (QStringList{"cpu=3", "disk=4"}));
    qApp->removeEventFilter(&counter);

    applyInBatch(&cpu, [&] {
        log.push_back({"outer", 5, true});
        applyInBatch(&net, [&] { net.publish(6); });
    });
    EXPECT_EQ(names(log).last(), QStringLiteral("outer=5"));
    deliverQueued();
    EXPECT_EQ(names(log).last(), QStringLiteral("net=6"));

    batch->setImmediate(false);
    handOver(&disk, 7);
    deliverQueued();
    EXPECT_EQ(names(log).last(), QStringLiteral("net=6")) << "applied before the flush point";
    QTRY_COMPARE_WITH_TIMEOUT(names(log).last(), QStringLiteral("disk=7"), 2000);
}

// With nothing on screen, a riding reading (battery, displays) costs the main thread no
// wake-up of its own: it applies with the main thread's next flush, ahead of what that
// brings, or with a prompt arrival (the privacy listeners), or on the next show.
TEST_F(PublicationBatchQueue, ARidingReadingWaitsForTheMainThreadsNextFlushWhileNothingIsShown)
{
    using D = PublicationBatch::Delivery;
    Probe cpu("cpu", &log), battery("battery", &log), display("display", &log), camera("camera", &log);
    batch->setImmediate(true);
    MetaCallCounter counter;
    qApp->installEventFilter(&counter);
    std::thread([&] {
        handOver(&battery, 1, D::Riding);
        handOver(&display, 2, D::Riding);
    }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 0) << "woke the main thread for a riding reading";
    EXPECT_TRUE(log.empty());
    handOver(&cpu, 3); // the system figures' tick, on the main thread
    EXPECT_EQ(names(log), (QStringList{"battery=1", "display=2", "cpu=3"}));

    std::thread([&] {
        handOver(&battery, 4, D::Riding);
        handOver(&camera, 5);
    }).join();
    deliverQueued();
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(names(log).mid(3), (QStringList{"battery=4", "camera=5"}));
    qApp->removeEventFilter(&counter);

    // Shown again before the next tick: the waiting reading goes with the first flush.
    std::thread([&] { handOver(&display, 6, D::Riding); }).join();
    batch->setImmediate(false);
    EXPECT_EQ(log.size(), 5u) << "applied before the flush point";
    QTRY_COMPARE_WITH_TIMEOUT(names(log).last(), QStringLiteral("display=6"), 2000);
}

TEST(PublicationBatchInstall, WithoutABatchAHandoverAppliesOnTheNextPass)
{
    std::vector<Applied> log;
    Probe cpu("cpu", &log);
    {
        PublicationBatch gone;
        gone.install();
    } // a destroyed batch uninstalls itself
    ASSERT_EQ(PublicationBatch::current(), nullptr);
    std::thread([&] { handOver(&cpu, 7); }).join();
    deliverQueued();
    EXPECT_EQ(names(log), (QStringList{"cpu=7"}));
}

} // namespace
