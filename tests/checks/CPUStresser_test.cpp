// The CPU soak engine: known digests, run bookkeeping over a hand-moved clock, and the
// lifetime of the workers against their counters.
#include "checks/CPUStresser.h"
#include "fakes/FakeClock.h"

#include <QDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

QString hex(const Sha256Chain::Digest &d) { return QByteArray(reinterpret_cast<const char *>(d.data()), 32).toHex(); }

struct KnownAnswer {
    const char *name;
    uint64_t seed;
    bool first; // the first digest of the batch, else the 128th
    const char *digest;
};
class ChainKnownAnswers : public ::testing::TestWithParam<KnownAnswer> {};
TEST_P(ChainKnownAnswers, MatchTheReference)
{
    Sha256Chain chain;
    Sha256Chain::Digest first;
    const auto last = chain.batch(GetParam().seed, &first);
    EXPECT_EQ(hex(GetParam().first ? first : last), QString::fromLatin1(GetParam().digest));
    // The context is reused: a second batch of the same seed gives the same digests.
    Sha256Chain::Digest again;
    EXPECT_EQ(chain.batch(GetParam().seed, &again), last);
    EXPECT_EQ(again, first);
}
INSTANTIATE_TEST_SUITE_P(
    Sha256, ChainKnownAnswers,
    ::testing::Values(
        KnownAnswer{"seed0_first", 0, true, "af5570f5a1810b7af78caf4bc70a660f0df51e42baf91d4de5b2328de0e83dfc"},
        KnownAnswer{"seed0_128th", 0, false, "4f83e561ba47ba020d8b204ac8b650efaf6881dbb9ad91cabfbfb0d1df449ffc"},
        KnownAnswer{"seed1_first", 1, true, "7c9fa136d4413fa6173637e883b6998d32e1d675f88cddff9dcbcf331820f4b8"}),
    [](const auto &info) { return std::string(info.param.name); });

int threadCount() { return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); }

struct Engine : ::testing::Test {
    test::FakeClock clock;
    int processors = 4;
    std::unique_ptr<CPUStresser> s = std::make_unique<CPUStresser>(clock, [this] { return processors; });
    // One ticker step: the clock moves a quarter second and the engine samples.
    void step(double seconds = 0.25)
    {
        clock.advance(seconds);
        s->tick();
    }
};

TEST_F(Engine, StartsWithAFreshBlockAndEmptyFigures)
{
    EXPECT_EQ(s->threads(), 4); // all processors by default
    EXPECT_EQ(s->phaseText(), QStringLiteral("Standby"));
    s->setThreads(8);
    s->start();
    ASSERT_TRUE(s->currentRun());
    EXPECT_EQ(s->currentRun()->counters.size(), 8u);
    EXPECT_EQ(s->liveWorkers(), 8u);
    EXPECT_TRUE(s->hashHistory().isEmpty());
    EXPECT_TRUE(s->utilizationHistory().isEmpty());
    EXPECT_EQ(s->elapsed(), 0);
    EXPECT_EQ(s->totalHashes(), 0u);
    EXPECT_EQ(s->hashesPerSecond(), 0);
    EXPECT_EQ(s->phaseText(), QStringLiteral("În execuție"));
    step();
    EXPECT_EQ(s->utilizationHistory(), QList<double>{2.0}); // 8 threads on 4 processors
}

TEST_F(Engine, SecondStartWhileRunningChangesNothing)
{
    s->setThreads(2);
    s->start();
    const auto run = s->currentRun();
    clock.advance(1);
    s->setThreads(3);
    s->start();
    EXPECT_EQ(s->currentRun(), run);
    EXPECT_EQ(s->liveWorkers(), 2u);
    step();
    EXPECT_NEAR(s->elapsed(), 1.25, 1e-9); // still measured from the first start
}

TEST_F(Engine, EndsAtTheFirstTickPastTheDurationAndStopsItsWorkers)
{
    s->setThreads(2);
    s->setDurationSec(10);
    s->start();
    int ticks = 0;
    while (s->running() && ticks < 100) {
        step();
        ++ticks;
    }
    EXPECT_EQ(ticks, 40);
    EXPECT_EQ(s->phaseText(), QStringLiteral("Finalizat"));
    EXPECT_FALSE(s->tickerActive());
    EXPECT_EQ(s->liveWorkers(), 0u);
    // Every flush of the stopped run is a whole number of batches.
    EXPECT_EQ(s->currentRun()->sum() % Sha256Chain::kBatch, 0u);
}

TEST_F(Engine, ShorterDurationDuringARunEndsItAtTheNextTick)
{
    s->setThreads(1);
    s->start();
    for (int i = 0; i < 60; ++i)
        step(); // 15 s
    ASSERT_TRUE(s->running());
    s->setDurationSec(10);
    step();
    EXPECT_FALSE(s->running());
}

TEST_F(Engine, RateHistoryKeepsTheLastSixtySeconds)
{
    s->setThreads(0); // no workers: every tick measures nothing
    s->setDurationSec(300);
    s->start();
    for (int i = 0; i < 400; ++i)
        step();
    EXPECT_EQ(s->hashHistory().size(), 240);
    EXPECT_EQ(s->utilizationHistory().size(), 400);
    EXPECT_EQ(s->hashesPerSecond(), 0);
    EXPECT_EQ(s->totalHashes(), 0u);
}

TEST_F(Engine, ThreadsChangedMidRunCountsTheRunsOwnSlots)
{
    s->setThreads(3);
    s->start();
    // Each worker's first batch takes a while on a loaded or instrumented machine.
    QTRY_VERIFY_WITH_TIMEOUT(s->currentRun()->sum() > 0, 10000);
    s->setThreads(1); // only the next start uses it
    step();
    EXPECT_EQ(s->currentRun()->counters.size(), 3u);
    s->stop();
    EXPECT_GT(s->currentRun()->sum(), 0u);
    EXPECT_EQ(s->currentRun()->sum() % Sha256Chain::kBatch, 0u);
    s->start();
    EXPECT_EQ(s->currentRun()->counters.size(), 1u);
}

TEST_F(Engine, RestartDiscardsTheEarlierRun)
{
    s->setThreads(2);
    s->start();
    QTRY_VERIFY_WITH_TIMEOUT(s->currentRun()->sum() > 0, 10000);
    step();
    s->stop();
    const auto previous = s->currentRun();
    ASSERT_FALSE(s->hashHistory().isEmpty());
    s->start();
    EXPECT_NE(s->currentRun(), previous);
    EXPECT_TRUE(previous->cancelled);
    // The new run's workers may already have landed a batch: its sum is theirs alone.
    EXPECT_FALSE(s->currentRun()->cancelled);
    EXPECT_TRUE(s->hashHistory().isEmpty());
    EXPECT_EQ(s->totalHashes(), 0u);
}

TEST_F(Engine, StopOutsideARunOnlyMarksItDone)
{
    s->stop();
    EXPECT_EQ(s->phaseText(), QStringLiteral("Finalizat"));
    step(); // no run, no block: nothing happens
    EXPECT_TRUE(s->hashHistory().isEmpty());
}

TEST(Worker, CancelledBeforeItsFirstBatchAddsNothing)
{
    auto run = std::make_shared<StressRun>(1);
    run->cancelled = true;
    StressRun::work(run, 0, 7);
    EXPECT_EQ(run->sum(), 0u);
}

TEST(Worker, CancelledMidRunFlushesWholeBatches)
{
    auto run = std::make_shared<StressRun>(1);
    std::thread t(&StressRun::work, run, 0, 42);
    // Cancelled once a batch has landed, however slow the build (sanitizers) or the machine.
    for (int waited = 0; run->sum() == 0 && waited < 20000; ++waited)
        QThread::msleep(1);
    run->cancelled = true;
    t.join();
    EXPECT_GT(run->sum(), 0u);
    EXPECT_EQ(run->sum() % Sha256Chain::kBatch, 0u);
}

TEST(EngineLifetime, ClosingMidRunJoinsEveryWorker)
{
    const int before = threadCount();
    {
        CPUStresser s;
        s.setThreads(4);
        s.start();
        QTRY_COMPARE(threadCount(), before + 4);
    }
    EXPECT_EQ(threadCount(), before);
}

TEST(EngineLifetime, MeasuresARealRate)
{
    CPUStresser s;
    s.setThreads(1);
    s.start();
    // Until a real tick has measured hashes.
    const auto measured = [&] {
        const auto &h = s.hashHistory();
        return !h.isEmpty() && *std::max_element(h.begin(), h.end()) > 0.0 && s.totalHashes() > 4096u;
    };
    QTRY_VERIFY_WITH_TIMEOUT(measured(), 20000);
    s.stop();
    EXPECT_TRUE(measured());
}

} // namespace
