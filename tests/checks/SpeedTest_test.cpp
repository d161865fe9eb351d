// The speed test: the aggregators' arithmetic on a hand-moved clock, the probe and report
// texts, and the engine against a loopback TLS server that can misbehave.
#include "checks/NetworkSpeedTester.h"
#include "checks/SpeedTransportEngine.h"
#include "fakes/FakeClock.h"
#include "support/LoopbackSpeedServer.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::LoopbackSpeedServer;

namespace {

// ---- Aggregators --------------------------------------------------------------------------

struct Collected {
    QList<double> samples;
    QStringList errors;
    TransferAggregator::SampleFn sample() { return [this](double v) { samples << v; }; }
    TransferAggregator::ErrorFn error() { return [this](const QString &e) { errors << e; }; }
};

TEST(Aggregators, SamplesOnlyAfterMoreThanATenthOfASecond)
{
    FakeClock clock;
    Collected c;
    ParallelDownloadAggregator agg(c.sample(), c.error(), clock);
    agg.didReceiveData(1000); // opens the first window
    clock.advance(0.05);
    agg.didReceiveData(1000);
    EXPECT_TRUE(c.samples.isEmpty());
    clock.advance(0.05); // exactly 0.1 s: still no sample
    agg.didReceiveData(1000);
    EXPECT_TRUE(c.samples.isEmpty());
    clock.advance(0.025); // 0.125 s since the window opened
    agg.didReceiveData(1'250'000 - 3000);
    ASSERT_EQ(c.samples.size(), 1);
    EXPECT_NEAR(c.samples[0], 80.0, 1e-6); // 1.25 MB over 0.125 s
}

TEST(Aggregators, AverageRunsFromTheFirstBytes)
{
    FakeClock clock;
    Collected c;
    ParallelDownloadAggregator agg(c.sample(), c.error(), clock);
    EXPECT_EQ(agg.averageMbps(), 0.0); // nothing arrived
    agg.didReceiveData(99'000'000);
    clock.advance(0.04);
    EXPECT_EQ(agg.averageMbps(), 0.0);
    clock.advance(7.96);
    EXPECT_NEAR(agg.averageMbps(), 99.0, 1e-9);
}

TEST(Aggregators, AverageRunsToTheLastStreamsEndHoweverLateItIsAsked)
{
    FakeClock clock;
    Collected c;
    ParallelDownloadAggregator agg(c.sample(), c.error(), clock);
    agg.expectedStreams = 2;
    agg.didReceiveData(50'000'000);
    clock.advance(4.0);
    agg.didReceiveData(50'000'000);
    agg.complete(std::nullopt);
    agg.complete(std::nullopt);
    clock.advance(0.12); // the engine's thread was busy before it asked
    EXPECT_NEAR(agg.averageMbps(), 200.0, 1e-9);
}

TEST(Aggregators, CompletionFiresOnceAndCountsFailures)
{
    Collected c;
    ParallelDownloadAggregator agg(c.sample(), c.error());
    int fired = 0;
    agg.expectedStreams = 6;
    agg.onAllComplete = [&] { ++fired; };
    agg.complete(QStringLiteral("boom"));
    agg.complete(std::nullopt, /*cancelledByUs=*/true);
    agg.complete(QStringLiteral("cancelled"), /*cancelledByUs=*/true);
    for (int i = 0; i < 3; ++i)
        agg.complete(std::nullopt);
    EXPECT_EQ(fired, 1);
    agg.complete(std::nullopt); // a seventh: nothing
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(c.errors, QStringList{"boom"});
    EXPECT_EQ(agg.failedStreams(), 1);
}

TEST(Aggregators, UploadCountsTheStepOfEachStream)
{
    Collected c;
    ParallelUploadAggregator agg(c.sample(), c.error());
    agg.didSendBodyData(0, 983'040);
    agg.didSendBodyData(1, 500);
    agg.didSendBodyData(0, 1'048'576); // +65 536
    agg.didSendBodyData(0, 1'048'576); // no step
    EXPECT_EQ(agg.totalBytes(), 1'048'576 + 500);
}

// ---- Rules --------------------------------------------------------------------------------

struct PingCase {
    const char *name;
    QList<double> samples;
    std::optional<double> mean;
    friend void PrintTo(const PingCase &c, std::ostream *os) { *os << c.name; }
};
class PingMean : public ::testing::TestWithParam<PingCase> {};
TEST_P(PingMean, DropsTheSlowestFromThreeOn)
{
    const auto got = SpeedRules::trimmedPingMean(GetParam().samples);
    ASSERT_EQ(got.has_value(), GetParam().mean.has_value());
    if (got)
        EXPECT_NEAR(*got, *GetParam().mean, 0.005);
}
INSTANTIATE_TEST_SUITE_P(Speed, PingMean, ::testing::Values(
    PingCase{"FourSamples", {20, 22, 25, 80}, 22.33},
    PingCase{"TwoSamples", {20, 80}, 50},
    PingCase{"OneSample", {31}, 31},
    PingCase{"None", {}, std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SpeedRulesTexts, DoneTextGaugeVerdictAndJitter)
{
    EXPECT_EQ(SpeedRules::doneText(412.36, 38.04, 11.6), QStringLiteral("Done · ↓ 412.4 Mbps · ↑ 38.0 Mbps · 12 ms"));
    EXPECT_EQ(SpeedRules::doneText(412.36, 38.04, std::nullopt), QStringLiteral("Done · ↓ 412.4 Mbps · ↑ 38.0 Mbps · —"));
    EXPECT_EQ(SpeedRules::doneText(std::nullopt, 0.0, 11.6), QStringLiteral("Done · ↓ — · ↑ 0.0 Mbps · 12 ms"));
    EXPECT_EQ(SpeedRules::gaugeMax(0, 0), 100);
    EXPECT_EQ(SpeedRules::gaugeMax(100, 20), 100);
    EXPECT_EQ(SpeedRules::gaugeMax(100.1, 0), 200);
    EXPECT_EQ(SpeedRules::gaugeMax(412.4, 0), 500);
    struct V { double d; const char *text, *role; };
    for (const V &v : {V{500, "Gigabit", "good"}, V{499.9, "Fibră rapidă", "good"}, V{200, "Fibră rapidă", "good"},
                       V{80, "Bandă largă", "accent"}, V{25, "Casnic mediu", "accent"}, V{24.9, "Lent", "warning"},
                       V{4.9, "Foarte slab", "warning"}, V{0, "Foarte slab", "warning"},
                       V{std::numeric_limits<double>::quiet_NaN(), "Foarte slab", "warning"}}) {
        EXPECT_EQ(SpeedRules::verdict(v.d), QString::fromUtf8(v.text)) << v.d;
        EXPECT_EQ(SpeedRules::verdictRole(v.d), QString::fromUtf8(v.role)) << v.d;
    }
    EXPECT_EQ(SpeedRules::jitterText({10, 20, 30}), QStringLiteral("8.2 Mbps"));
    EXPECT_EQ(SpeedRules::jitterText({10, 20}), QStringLiteral("—"));
    EXPECT_EQ(SpeedRules::uploadStreamBytes(20'000'000), 8'000'000);
    EXPECT_EQ(SpeedRules::uploadStreamBytes(200'000'000), 50'000'000);
}

// ---- Engine against the loopback server -----------------------------------------------------

struct SpeedFixture : ::testing::Test {
    static inline std::unique_ptr<LoopbackSpeedServer> server;
    static void SetUpTestSuite() { server = std::make_unique<LoopbackSpeedServer>(); }
    static void TearDownTestSuite() { server.reset(); }
    std::unique_ptr<NetworkSpeedTester> tester;
    void SetUp() override
    {
        ASSERT_TRUE(server->isListening()) << server->error().toStdString();
        server->closeConnections();
        QTRY_COMPARE_WITH_TIMEOUT(server->openConnections(), 0, 10000);
        server->setFaults({});
        server->setRateCap(0);
        server->resetCounters();
        tester = std::make_unique<NetworkSpeedTester>();
        tester->setHost(server->host());
        tester->setExtraCaCertificates({server->certificate()});
        tester->setDownloadBytes(2'000'000);
        tester->setUploadBytes(4'000'000);
        // Long enough for a handshake with a server thread that a sanitizer build on a loaded
        // machine slows down (a probe on a fresh connection too: past its limit it would count
        // as no answer); tests of the timeouts themselves set their own.
        tester->setTimeoutMs(30000);
        tester->setProbeLimitMs(30000);
    }
    // Generous: a run under the sanitizers on a loaded machine takes tens of seconds.
    bool runToEnd(int ms = 120000)
    {
        QSignalSpy ended(tester.get(), &NetworkSpeedTester::runEnded);
        tester->start();
        return !ended.isEmpty() || ended.wait(ms);
    }
};

// Whatever the kernel's byte counts do, a full run ends with every figure: where they are not
// kept (some sandboxes) or stop moving, the transfer callbacks count instead.
std::optional<SpeedTransport::WireCount> noCounts(int)
{
    return SpeedTransport::WireCount{};
}
std::optional<SpeedTransport::WireCount> countsThatStop(int)
{
    return SpeedTransport::WireCount{4096, 4096, std::nullopt};
}
struct WireCase {
    const char *name;
    SpeedTransport::WireReader reader;
    friend void PrintTo(const WireCase &c, std::ostream *os) { *os << c.name; }
};
class FullRun : public SpeedFixture, public ::testing::WithParamInterface<WireCase> {
    void TearDown() override { SpeedTransport::setWireReader(nullptr); }
};
TEST_P(FullRun, EndsDoneWithEveryFigure)
{
    SpeedTransport::setWireReader(GetParam().reader);
    server->setRateCap(4'000'000);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done) << tester->statusMessage().toStdString();
    EXPECT_GT(tester->pingMs(), 0);
    EXPECT_GT(tester->peakDownloadMbps(), 0);
    EXPECT_GT(tester->peakUploadMbps(), 0);
    EXPECT_EQ(server->traceRequests(), 5);
    EXPECT_EQ(tester->statusMessage(),
              SpeedRules::doneText(tester->peakDownloadMbps(), tester->peakUploadMbps(), tester->pingMs()));
    // Six download streams and four uploads of max(total / 4, 8 MB).
    EXPECT_EQ(server->transferRequests(), 10);
    EXPECT_GE(server->bytesReceived(), 4 * 8'000'000);
}
INSTANTIATE_TEST_SUITE_P(Speed, FullRun, ::testing::Values(
    WireCase{"KernelCounts", nullptr}, WireCase{"NoKernelCounts", &noCounts}, WireCase{"KernelCountsThatStop", &countsThatStop}),
    [](const auto &info) { return std::string(info.param.name); });

// What the server itself read of the upload bodies: its highest rate over any window of a tenth
// of a second or more (the app's sampling window), and its rate from its first read to its last.
struct ServerRates {
    double peakMbps = 0, avgMbps = 0;
};
ServerRates uploadRates(const std::vector<LoopbackSpeedServer::LogEntry> &log)
{
    ServerRates r;
    if (log.size() < 2)
        return r;
    auto mbps = [&](size_t i, size_t j) { return double(log[j].bytes - log[i].bytes) * 8e3 / double(log[j].ns - log[i].ns); };
    for (size_t i = 0, j = 1; i < log.size(); ++i) {
        j = std::max(j, i + 1);
        while (j < log.size() && log[j].ns - log[i].ns < 100'000'000)
            ++j;
        if (j == log.size())
            break;
        r.peakMbps = std::max(r.peakMbps, mbps(i, j));
    }
    r.avgMbps = mbps(0, log.size() - 1);
    return r;
}

// The uploads count what the server took, on the download phase's kept-alive connections as on
// fresh ones, not what was copied into the socket's send buffer.
struct ReuseCase {
    const char *name;
    bool closeAfterReply;
    friend void PrintTo(const ReuseCase &c, std::ostream *os) { *os << c.name; }
};
class UploadCounting : public SpeedFixture, public ::testing::WithParamInterface<ReuseCase> {};
TEST_P(UploadCounting, PeakAndAverageFollowWhatTheServerRead)
{
    server->setFaults({.closeAfterReply = GetParam().closeAfterReply});
    server->setRateCap(10'000'000); // per connection: 320 Mbps for the four uploads together
    tester->setUploadBytes(80'000'000);
    ASSERT_TRUE(runToEnd());
    ASSERT_EQ(tester->phase(), NetworkSpeedTester::Done) << tester->statusMessage().toStdString();
    const int requests = server->traceRequests() + server->transferRequests();
    if (GetParam().closeAfterReply) {
        EXPECT_EQ(server->acceptedConnections(), requests);
    } else {
        EXPECT_LE(server->acceptedConnections(), 6); // the uploads and probes reused the downloads' connections
    }
    const ServerRates line = uploadRates(server->uploadLog());
    ASSERT_GT(line.peakMbps, 0);
    // Generous bounds: the first window also holds what the server's buffers took in at once.
    EXPECT_LT(tester->peakUploadMbps(), 1.5 * line.peakMbps) << "server " << line.peakMbps;
    EXPECT_NEAR(tester->avgUploadMbps(), line.avgMbps, 0.25 * line.avgMbps);
}
INSTANTIATE_TEST_SUITE_P(Speed, UploadCounting, ::testing::Values(
    ReuseCase{"KeptAliveConnections", false}, ReuseCase{"FreshConnections", true}),
    [](const auto &info) { return std::string(info.param.name); });

struct FaultCase {
    const char *name;
    LoopbackSpeedServer::Faults faults;
    const char *status;
    int timeoutMs = 0; // 0: the fixture's
    friend void PrintTo(const FaultCase &c, std::ostream *os) { *os << c.name; }
};
class SpeedFaults : public SpeedFixture, public ::testing::WithParamInterface<FaultCase> {};
TEST_P(SpeedFaults, EveryStreamFailingEndsWithTheErrorAndNoFigure)
{
    server->setFaults(GetParam().faults);
    if (GetParam().timeoutMs > 0)
        tester->setTimeoutMs(GetParam().timeoutMs);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->statusMessage(), QString::fromUtf8(GetParam().status));
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_TRUE(tester->upHistory().isEmpty()); // the upload never started
    EXPECT_FALSE(tester->statusMessage().startsWith("Done"));
}
INSTANTIATE_TEST_SUITE_P(Speed, SpeedFaults, ::testing::Values(
    FaultCase{"ServerError", {.status500 = true}, "Eroare download: serverul a răspuns HTTP 500"},
    FaultCase{"ResetMidStream", {.resetAfterBytes = 300'000}, "Eroare download: serverul a închis conexiunea"},
    FaultCase{"StallHitsTheTimeout", {.stallAfterBytes = 200'000},
              "Eroare download: serverul nu mai răspunde (timp de așteptare depășit)", 5000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SpeedFixture, ReplyStallingPastTheTimeoutFailsWithinIt)
{
    server->setFaults({.stallAfterBytes = 100'000});
    tester->setTimeoutMs(800);
    ASSERT_TRUE(runToEnd(45000)); // the default timeout (a minute) would outlast this wait
    EXPECT_TRUE(tester->statusMessage().contains("timp de așteptare depășit"));
}

TEST_F(SpeedFixture, RefusedConnectionIsAStreamErrorAndNoPingSample)
{
    tester->setHost(QStringLiteral("127.0.0.1:%1").arg(LoopbackSpeedServer::closedPort()));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Eroare download: conexiune refuzată de server"));
    EXPECT_FALSE(tester->hasPing()); // failed probes are not round trips
}

TEST_F(SpeedFixture, FailedProbesAreNotSamples)
{
    server->setFaults({.traceFails = true});
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(tester->hasPing());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done);
    // The transfers may end within their first sampling window here: only the ping is asked.
    EXPECT_EQ(tester->statusMessage().section(QStringLiteral(" · "), -1), QStringLiteral("—"))
        << tester->statusMessage().toStdString();
}

// A probe answer that never ends, in its body or in its headers, is cut at a cap as it comes.
struct EndlessCase {
    const char *name;
    LoopbackSpeedServer::Faults faults;
    friend void PrintTo(const EndlessCase &c, std::ostream *os) { *os << c.name; }
};
class EndlessProbe : public SpeedFixture, public ::testing::WithParamInterface<EndlessCase> {};
TEST_P(EndlessProbe, EndsAfterABoundedReadAndIsNoSample)
{
    server->setFaults(GetParam().faults);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(server->traceRequests(), 5);
    EXPECT_FALSE(tester->hasPing());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done) << tester->statusMessage().toStdString();
    // What one probe made the server write: the cap plus what the sockets' buffers take in.
    EXPECT_LT(server->traceBytesSent() / server->traceRequests(), 16 << 20);
}
INSTANTIATE_TEST_SUITE_P(Speed, EndlessProbe, ::testing::Values(
    EndlessCase{"Body", {.traceEndlessBody = true}},
    EndlessCase{"Headers", {.traceEndlessHeaders = true}}),
    [](const auto &info) { return std::string(info.param.name); });

// The time limit ends a stream that still moves, however slowly; one that stopped moving (a
// server that reads a byte a second leaves its window shut) fails its phase as stalled.
struct LimitCase {
    const char *name;
    LoopbackSpeedServer::Faults faults;
    qint64 cap;
    NetworkSpeedTester::Phase phase;
    const char *status = nullptr;
    double peakUpAtMost = -1;
    friend void PrintTo(const LimitCase &c, std::ostream *os) { *os << c.name; }
};
class TimeLimit : public SpeedFixture, public ::testing::WithParamInterface<LimitCase> {};
TEST_P(TimeLimit, EndsATrickleAndFailsAStall)
{
    server->setFaults(GetParam().faults);
    server->setRateCap(GetParam().cap);
    tester->setTransferLimitMs(4000); // long enough for a first byte on a loaded machine
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), GetParam().phase) << tester->statusMessage().toStdString();
    if (GetParam().status) {
        EXPECT_EQ(tester->statusMessage(), QString::fromUtf8(GetParam().status));
    }
    EXPECT_EQ(tester->openStreams(), 0);
    EXPECT_EQ(server->transferRequests(), 10);
    EXPECT_FALSE(tester->downHistory().isEmpty()); // the bytes that came still give the phase average
    if (GetParam().peakUpAtMost >= 0) {
        EXPECT_LE(tester->peakUploadMbps(), GetParam().peakUpAtMost);
    }
}
// A stalled upload shows at most what the server's buffers (a quarter of a megabyte a stream)
// took in at once, as if in one sampling window; twice that, as a loaded machine may close a
// window early. Counting what was copied into the send buffers showed 360 Mbps and more.
constexpr double kServerBuffersInOneWindowMbps = 2 * 4 * 256 * 1024 * 8 / 0.1 / 1e6;
INSTANTIATE_TEST_SUITE_P(Speed, TimeLimit, ::testing::Values(
    LimitCase{"DownloadsAByteASecond", {.uploadReadRate = 4'000'000}, 1, NetworkSpeedTester::Done},
    LimitCase{"UploadsReadAByteASecond", {.uploadReadRate = 1}, 4'000'000, NetworkSpeedTester::Idle,
              "Eroare upload: serverul nu mai primește date (timp de așteptare depășit)", kServerBuffersInOneWindowMbps}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SpeedFixture, TimeLimitWithNothingMovedFailsThePhase)
{
    server->setFaults({.stallAfterBytes = 0});
    tester->setTransferLimitMs(800);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Eroare download: durata maximă a transferului a fost depășită"));
}

TEST_F(SpeedFixture, EveryStreamRunsInParallelOnANameWithBothAddressFamilies)
{
    tester->setHost(server->localhostName());
    server->setRateCap(4'000'000); // each stream lasts long enough to overlap the others
    tester->setDownloadBytes(4'000'000);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done) << tester->statusMessage().toStdString();
    EXPECT_GE(server->maxConcurrentDownloads(), 6);
    EXPECT_GE(server->maxConcurrentUploads(), 4);
}

TEST_F(SpeedFixture, RedirectToAnotherHostIsRefusedAndSaysWhere)
{
    server->setFaults({.redirectTo = "https://elsewhere.invalid:8443/__down?bytes=1"});
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_EQ(tester->statusMessage(),
              QStringLiteral("Eroare download: serverul redirecționează către elsewhere.invalid:8443 "
                             "(refuzat; testul rulează doar pe %1)").arg(server->host()));
    EXPECT_EQ(server->transferRequests(), 6); // no upload after it
}

// A probe answered a byte a second ends after a few seconds and is no answer: the latency
// step stays well under a minute instead of five probes of a minute each.
TEST_F(SpeedFixture, ProbeAnsweredAByteASecondEndsAfterAFewSeconds)
{
    server->setFaults({.traceWriteRate = 1});
    tester->setProbeLimitMs(NetworkSpeedTester::kProbeLimitMs);
    tester->start();
    QTRY_VERIFY_WITH_TIMEOUT(tester->phase() != NetworkSpeedTester::Ping, 90000);
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Download);
    // Five probes; on a loaded machine one may pass its limit still in its handshake, before
    // the server sees its request.
    EXPECT_GE(server->traceRequests(), 1);
    EXPECT_LE(server->traceRequests(), 5);
    EXPECT_FALSE(tester->hasPing());
    // At a byte a second, what the server wrote says how long the probes lasted.
    EXPECT_LE(server->traceBytesSent(), 5 * 15);
    tester->cancel();
}

// One engine through a run against each kind of hostile server in turn, as reruns from one
// sheet go, and then a clean run: every run ends, and the last measures everything.
TEST_F(SpeedFixture, HostileServersInTurnThenACleanRun)
{
    struct Step {
        const char *what;
        LoopbackSpeedServer::Faults faults;
        qint64 cap;
    };
    tester->setTransferLimitMs(3000);
    for (const Step &step : {Step{"trickle down", {.uploadReadRate = 0}, 1}, Step{"trickle up", {.uploadReadRate = 1}, 0},
                             Step{"redirect", {.redirectTo = "https://elsewhere.invalid/__down"}, 0},
                             Step{"probe answered 503", {.traceStatus = 503}, 0}}) {
        SCOPED_TRACE(step.what);
        server->setFaults(step.faults);
        server->setRateCap(step.cap);
        ASSERT_TRUE(runToEnd());
    }
    server->setFaults({});
    server->setRateCap(4'000'000);
    tester->setTransferLimitMs(60000);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done) << tester->statusMessage().toStdString();
    EXPECT_TRUE(tester->hasPing());
    EXPECT_GT(tester->peakDownloadMbps(), 0);
    EXPECT_GT(tester->peakUploadMbps(), 0);
}

TEST_F(SpeedFixture, StopDuringPingKeepsTheSamplesSoFarAndStartsNoTransfer)
{
    server->setFaults({.traceDelayMs = 150});
    const int before = server->traceRequests(); // the server serves the whole suite
    const int transfersBefore = server->transferRequests();
    tester->start();
    QTRY_VERIFY_WITH_TIMEOUT(server->traceRequests() >= before + 3, 5000); // two probes answered
    tester->cancel();
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Test oprit"));
    EXPECT_GT(tester->pingMs(), 100.0);
    // Once the server has seen the aborted probe's connection close, a run that went on
    // would have asked again.
    const int traces = server->traceRequests();
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnections(), 0, 10000);
    EXPECT_EQ(server->traceRequests(), traces);
    EXPECT_EQ(server->transferRequests(), transfersBefore);
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
}

TEST_F(SpeedFixture, StopDuringDownloadAbortsEveryStreamAndTheRunStaysStopped)
{
    server->setRateCap(200'000); // slow enough to stop mid-stream
    tester->setDownloadBytes(50'000'000);
    const int transfers = server->transferRequests(), uploads = server->uploadRequests();
    tester->start();
    QTRY_VERIFY_WITH_TIMEOUT(tester->phase() == NetworkSpeedTester::Download && tester->openStreams() == 6, 10000);
    // Every stream reached the server and bytes are flowing.
    QTRY_VERIFY_WITH_TIMEOUT(server->transferRequests() == transfers + 6 && !tester->downHistory().isEmpty(), 10000);
    tester->cancel();
    EXPECT_EQ(tester->openStreams(), 0);
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Test oprit"));
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnections(), 0, 10000);
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Test oprit"));
    EXPECT_EQ(server->uploadRequests(), uploads);
    // A new run after the stop runs alone to its end: nothing of the stopped one speaks in
    // between, and only the new run's ten transfers reach the server.
    QStringList said;
    QObject listening; // ends the connection with this test's body
    QObject::connect(tester.get(), &NetworkSpeedTester::statusMessageChanged, &listening,
                     [&] { said << tester->statusMessage(); });
    server->setRateCap(0);
    tester->setDownloadBytes(1'000'000);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Done);
    EXPECT_EQ(said, (QStringList{"Măsurare ping…", "Test download…", "Test upload…", tester->statusMessage()}));
    EXPECT_EQ(server->transferRequests(), transfers + 6 + 10);
    EXPECT_EQ(server->uploadRequests(), uploads + 4);
}

TEST_F(SpeedFixture, HostThatDoesNotParseEndsEachPhaseAtOnce)
{
    tester->setHost(QStringLiteral("[::1"));
    ASSERT_TRUE(runToEnd(3000));
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_EQ(tester->statusMessage(), QStringLiteral("Eroare download: adresa serverului nu este validă"));
    EXPECT_TRUE(tester->downHistory().isEmpty());
}

// A package that left the transfer module out: the run fails with its error, not a crash or a
// test that never ends.
TEST_F(SpeedFixture, MissingTransferModuleFailsTheRunWithItsError)
{
    setSpeedTransportEngineFactory([](SpeedTransport::WireReader) -> SpeedTransportEngine * { return nullptr; });
    const bool ended = runToEnd(10000);
    setSpeedTransportEngineFactory(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(tester->phase(), NetworkSpeedTester::Idle);
    EXPECT_EQ(tester->statusMessage(),
              QStringLiteral("Eroare download: modulul de transfer al testului de viteză lipsește (libcorvane_speed.so)"));
    EXPECT_FALSE(tester->hasPing());
    EXPECT_EQ(server->traceRequests(), 0);
}

TEST_F(SpeedFixture, DestroyingTheEngineMidRunCancelsEverything)
{
    server->setRateCap(200'000);
    tester->setDownloadBytes(50'000'000);
    tester->start();
    QTRY_VERIFY_WITH_TIMEOUT(tester->openStreams() == 6, 10000);
    tester.reset();
    // Until the server has seen every stream close: nothing left behind calls into the dead engine.
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnections(), 0, 10000);
    QCoreApplication::processEvents();
}

} // namespace
