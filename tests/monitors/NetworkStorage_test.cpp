#include "fakes/FakeClock.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

static InterfaceCounters iface(const char *name, uint64_t rx, uint64_t tx)
{
    InterfaceCounters c;
    c.name = QString::fromLatin1(name);
    c.rxBytes = rx;
    c.txBytes = tx;
    return c;
}

TEST(NetworkSum, SkipsLoopbackAndVirtualLinks)
{
    InterfaceCounters tunnel = iface("tun0", 500, 500);
    tunnel.physical = false;
    InterfaceCounters bridge = iface("virbr0", 7, 7);
    bridge.physical = false;
    const auto t = NetworkSampler::sumInterfaceCounters(
        {iface("lo0", 1000, 1000), tunnel, bridge, iface("en0", 100, 10), iface("en1", 20, 5)});
    EXPECT_EQ(t.received, 120u);
    EXPECT_EQ(t.sent, 15u);
    EXPECT_EQ(t.primary, QStringLiteral("en0"));

    // Equal traffic: the first listed wins; no traffic at all: no primary.
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters({iface("en0", 5, 5), iface("en1", 10, 0)}).primary,
              QStringLiteral("en0"));
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters({iface("eth0", 0, 0), iface("lo", 9, 9)}).primary,
              QStringLiteral("—"));

    InterfaceCounters noLink = iface("eth1", 50, 50);
    noLink.linkLevel = false;
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters({noLink}).received, 0u);
}

struct NetFixture : ::testing::Test {
    FakeClock clock;
    FakeNetworkCounters *src = new FakeNetworkCounters;
    NetworkMonitor mon{std::unique_ptr<NetworkCounters>(src), clock, false};
    void tick() { mon.publish(mon.sampler().sample()); }
};

TEST_F(NetFixture, RatesFromTheMonotonicClock)
{
    src->list = QList<InterfaceCounters>{iface("eth0", 10'000, 2'000)};
    tick(); // baseline only
    EXPECT_EQ(mon.downloadBytesPerSec(), 0u);
    EXPECT_TRUE(mon.downHistory()->samples().isEmpty());
    EXPECT_EQ(mon.totalDownloadedBytes(), 10'000u);
    EXPECT_EQ(mon.primaryInterface(), QStringLiteral("eth0"));

    clock.advance(0.95); // a late tick within the leeway
    src->list = QList<InterfaceCounters>{iface("eth0", 10'000 + 1'900, 2'000 + 95)};
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 2000u);
    EXPECT_EQ(mon.uploadBytesPerSec(), 100u);
    EXPECT_EQ(mon.downHistory()->samples(), QList<double>{2000.0});

    // A long pause: the first rate after it averages over the whole pause.
    mon.stop();
    clock.advance(60);
    src->list = QList<InterfaceCounters>{iface("eth0", 11'900 + 60'000, 2'095)};
    mon.start();
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 1000u);
    mon.stop();

    clock.advance(10); // 1234.9 bytes per second is published as 1234
    src->list = QList<InterfaceCounters>{iface("eth0", 71'900 + 12'349, 2'095)};
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 1234u);
}

TEST_F(NetFixture, CounterGoingBackwardsGivesZeroAndANewBaseline)
{
    src->list = QList<InterfaceCounters>{iface("eth0", 5'000'000, 5'000)};
    tick();
    clock.advance(1);
    src->list = QList<InterfaceCounters>{iface("eth0", 100, 5'100)}; // interface reset
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 0u);
    EXPECT_EQ(mon.uploadBytesPerSec(), 100u);
    clock.advance(1);
    src->list = QList<InterfaceCounters>{iface("eth0", 600, 5'100)};
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 500u);

    // A failed or empty listing publishes nothing and keeps the baseline: the next good
    // tick measures over both seconds, never the whole counter as a rate.
    uint64_t counter = 600;
    for (auto failed : {std::optional<QList<InterfaceCounters>>{}, std::optional(QList<InterfaceCounters>{})}) {
        const auto rate = mon.downloadBytesPerSec();
        const auto samples = mon.downHistory()->samples().size();
        clock.advance(1);
        src->list = failed;
        tick();
        EXPECT_EQ(mon.downloadBytesPerSec(), rate);
        EXPECT_EQ(mon.totalDownloadedBytes(), counter);
        EXPECT_EQ(mon.primaryInterface(), QStringLiteral("eth0"));
        EXPECT_EQ(mon.downHistory()->samples().size(), samples);
        clock.advance(1);
        counter += 2'000;
        src->list = QList<InterfaceCounters>{iface("eth0", counter, 5'100)};
        tick();
        EXPECT_EQ(mon.downloadBytesPerSec(), 1000u); // 2000 bytes over the two seconds
    }
}

TEST_F(NetFixture, TrafficThroughAWireGuardTunnelCountsOnce)
{
    // 1 MB/s over wg0 is about 1.05 MB/s on the Wi-Fi link that carries it; docker0 and its
    // veth pair see a container's traffic twice more.
    auto listing = [](uint64_t wifi, uint64_t wg, uint64_t docker) {
        QList<InterfaceCounters> l{iface("lo", 0, 0), iface("wlp0s20f3", wifi, 0), iface("docker0", docker, 0),
                                   iface("veth3f2a1b9", docker, 0), iface("wg0", wg, 0)};
        l[0].physical = l[2].physical = l[3].physical = l[4].physical = false;
        l[1].defaultRoute = true;
        return l;
    };
    src->list = listing(10'000'000, 5'000'000, 100);
    tick();
    clock.advance(1);
    src->list = listing(11'050'000, 6'000'000, 500'100);
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 1'050'000u);
    EXPECT_EQ(mon.totalDownloadedBytes(), 11'050'000u);
    EXPECT_EQ(mon.primaryInterface(), QStringLiteral("wlp0s20f3"));
}

TEST(NetworkSum, DefaultRouteNamesThePrimaryOverTheBusiest)
{
    QList<InterfaceCounters> l{iface("enp0s31f6", 9'000, 0), iface("wlp0s20f3", 10, 0)};
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters(l).primary, QStringLiteral("enp0s31f6"));
    l[1].defaultRoute = true;
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters(l).primary, QStringLiteral("wlp0s20f3"));
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters(l).received, 9'010u);
    // A default route through a tunnel names no tunnel: the busiest physical link instead.
    l[1].defaultRoute = false;
    l.append(iface("wg0", 5, 0));
    l[2].physical = false;
    l[2].defaultRoute = true;
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters(l).primary, QStringLiteral("enp0s31f6"));
}

TEST_F(NetFixture, TwoTicksAtTheSameInstantUseTheOneMicrosecondFloor)
{
    src->list = QList<InterfaceCounters>{iface("eth0", 0, 0)};
    tick();
    src->list = QList<InterfaceCounters>{iface("eth0", 1, 0)};
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 1'000'000u);
}

static DriveCounters drive(std::optional<QString> name, uint64_t r, uint64_t w)
{
    DriveCounters d;
    d.productName = std::move(name);
    d.bytesRead = r;
    d.bytesWritten = w;
    return d;
}

TEST(StorageSum, NamesTheFirstDriveThatHasOne)
{
    auto d = StorageSampler::sumDrives({drive(std::nullopt, 10, 1), drive(QStringLiteral("Samsung SSD"), 5, 2),
                                        drive(QStringLiteral("Other"), 1, 1)});
    EXPECT_EQ(d.name, QStringLiteral("Samsung SSD"));
    EXPECT_EQ(d.read, 16u);
    EXPECT_EQ(d.written, 4u);
    DriveCounters noStats;
    EXPECT_EQ(StorageSampler::sumDrives({noStats}).read, 0u);
    EXPECT_EQ(StorageSampler::sumDrives({}).name, QStringLiteral("—"));
}

TEST(StorageSum, FreeSpacePrefersImportantUsage)
{
    VolumeCapacity v;
    v.total = 500'000'000'000ULL;
    v.availableForImportantUsage = 0;
    v.available = 5'000'000'000ULL;
    EXPECT_EQ(StorageSampler::capacityOf(v).free, 5'000'000'000ULL);
    v.availableForImportantUsage = 40'000'000'000ULL;
    EXPECT_EQ(StorageSampler::capacityOf(v).free, 40'000'000'000ULL);
    EXPECT_EQ(StorageSampler::capacityOf(VolumeCapacity{}).total, 0u);
}

// A source whose reads cannot hang ticks on the samplers' shared thread; one whose reads
// may (a home folder on a network file system) on a thread of its own.
TEST(StorageMonitorTicks, SharesTheSamplersThreadOnlyWhileReadsCannotHang)
{
    auto *src = new FakeBlockStorage;
    src->mayBlock = false;
    StorageMonitor mon(std::unique_ptr<BlockStorage>(src), Clock::system(), true);
    QTRY_VERIFY_WITH_TIMEOUT(mon.scheduler()->ticksOnSharedThread(), 5000);
    src->mayBlock = true;
    QTRY_VERIFY_WITH_TIMEOUT(!mon.scheduler()->ticksOnSharedThread(), 5000);
    EXPECT_TRUE(mon.scheduler()->isActive());
}

TEST(StorageMonitorTicks, FirstTickThenRatesAndDetachedDrive)
{
    FakeClock clock;
    auto *src = new FakeBlockStorage;
    StorageMonitor mon(std::unique_ptr<BlockStorage>(src), clock, false);
    src->list = QList<DriveCounters>{drive(QStringLiteral("Disk A"), 1'000'000, 2'000'000),
                                     drive(std::nullopt, 1'000'000, 0)};
    VolumeCapacity v;
    v.total = 100;
    v.available = 40;
    src->volume = v;
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.driveName(), QStringLiteral("Disk A"));
    EXPECT_EQ(mon.totalCapacityBytes(), 100u);
    EXPECT_EQ(mon.freeCapacityBytes(), 40u);
    EXPECT_EQ(mon.readBytesPerSec(), 0u);
    EXPECT_TRUE(mon.readHistory()->samples().isEmpty());

    clock.advance(2);
    src->list = QList<DriveCounters>{drive(QStringLiteral("Disk A"), 1'500'000, 2'100'000),
                                     drive(std::nullopt, 1'500'000, 0)};
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.readBytesPerSec(), 500'000u);
    EXPECT_EQ(mon.writeBytesPerSec(), 50'000u);

    clock.advance(1);
    src->list = QList<DriveCounters>{drive(QStringLiteral("Disk A"), 1'500'000, 2'100'000)}; // one detached
    src->volume.reset();
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.readBytesPerSec(), 0u);
    EXPECT_EQ(mon.totalCapacityBytes(), 0u);
    EXPECT_EQ(mon.readHistory()->samples().size(), 2);

    // An unreadable /proc/diskstats: no new rate, no history sample, name and baseline kept.
    for (auto failed : {std::optional<QList<DriveCounters>>{}, std::optional(QList<DriveCounters>{})}) {
        clock.advance(1);
        src->list = failed;
        src->volume = v;
        mon.publish(mon.sampler().sample());
        EXPECT_EQ(mon.readHistory()->samples().size(), 2);
        EXPECT_EQ(mon.driveName(), QStringLiteral("Disk A"));
        EXPECT_EQ(mon.totalCapacityBytes(), 100u);
    }
    clock.advance(1);
    src->list = QList<DriveCounters>{drive(QStringLiteral("Disk A"), 1'800'000, 2'100'000)};
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.readBytesPerSec(), 100'000u); // 300 kB over the three seconds since the last good read
    EXPECT_EQ(mon.readHistory()->samples().size(), 3);
}
