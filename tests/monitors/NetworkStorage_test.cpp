#include "fakes/FakeClock.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"

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

TEST(NetworkSum, SkipsLoopbackTunnelsAndPeerLinks)
{
    const auto t = NetworkSampler::sumInterfaceCounters(
        {iface("lo0", 1000, 1000), iface("utun3", 500, 500), iface("awdl0", 7, 7), iface("llw0", 9, 9),
         iface("en0", 100, 10), iface("en1", 20, 5)});
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

    // A failed listing counts as zero traffic, never as a huge rate.
    clock.advance(1);
    src->list.reset();
    tick();
    EXPECT_EQ(mon.downloadBytesPerSec(), 0u);
    EXPECT_EQ(mon.primaryInterface(), QStringLiteral("—"));
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
}
