#include "platform/DisplaySource.h"
#include "platform/GpuStats.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace corvane;

namespace {
const QString kDrm = QStringLiteral(CORVANE_FIXTURES "/drm");

LinuxGpuOptions fixtureGpu(const QString &tree)
{
    LinuxGpuOptions o;
    o.sysRoot = kDrm + QLatin1Char('/') + tree;
    o.pciIdsPaths = {kDrm + QStringLiteral("/pci.ids")};
    o.procRoot = kDrm + QStringLiteral("/no-proc");
    o.useNvml = false;
    return o;
}
} // namespace

TEST(DrmConnectorsTest, ReadsEveryConnectorOfTheLaptop)
{
    const auto c = readDrmConnectors(kDrm + QStringLiteral("/laptop"));
    ASSERT_EQ(c.size(), 3u); // card0 itself and the render node are no connectors
    EXPECT_EQ(c[0].name, QStringLiteral("DP-1"));
    EXPECT_FALSE(c[0].connected);
    EXPECT_EQ(c[0].enabled, false);
    EXPECT_TRUE(c[0].edid.isEmpty());
    EXPECT_EQ(c[1].name, QStringLiteral("HDMI-A-1"));
    EXPECT_EQ(c[1].type, QStringLiteral("HDMI-A"));
    EXPECT_EQ(c[1].card, QStringLiteral("card0"));
    EXPECT_TRUE(c[1].connected);
    EXPECT_EQ(c[1].dpms, QStringLiteral("On"));
    EXPECT_EQ(c[1].edid.size(), 128);
    EXPECT_EQ(c[2].name, QStringLiteral("eDP-1"));
    EXPECT_EQ(c[2].type, QStringLiteral("eDP"));
    EXPECT_EQ(c[2].edid.size(), 128);
}

TEST(DrmConnectorsTest, NoDrmTreeGivesNoConnectors)
{
    EXPECT_TRUE(readDrmConnectors(kDrm + QStringLiteral("/nowhere")).empty());
}

TEST(DrmGpuTest, HighestUtilisationAndDefaultDeviceOfTwoCards)
{
    auto g = makeLinuxGpuStats(fixtureGpu(QStringLiteral("two-gpus")));
    EXPECT_TRUE(g->readsMayBlock());
    const auto acc = g->accelerators();
    EXPECT_TRUE(g->readsMayBlock()); // cards to read
    ASSERT_TRUE(acc);
    ASSERT_EQ(acc->size(), 2u); // the DP-1 connector is no card
    EXPECT_EQ((*acc)[0].utilizationPercents, std::vector<int64_t>{30});
    EXPECT_EQ((*acc)[1].utilizationPercents, std::vector<int64_t>{70});
    const auto dev = g->defaultDevice();
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->name, QStringLiteral("AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]"));
    EXPECT_EQ(dev->vramTotalBytes, 17163091968ull);
    EXPECT_EQ(g->defaultDeviceUsedBytes(), 1073741824ull);
}

TEST(DrmGpuTest, IntegratedGpuWithoutFiguresIsNamedButSilent)
{
    auto g = makeLinuxGpuStats(fixtureGpu(QStringLiteral("laptop")));
    const auto dev = g->defaultDevice();
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->name, QStringLiteral("Intel Corporation Alder Lake-P GT2 [Iris Xe Graphics]"));
    EXPECT_FALSE(dev->vramTotalBytes);
    EXPECT_FALSE(g->defaultDeviceUsedBytes());
    const auto acc = g->accelerators();
    ASSERT_TRUE(acc);
    ASSERT_EQ(acc->size(), 1u);
    EXPECT_TRUE((*acc)[0].utilizationPercents.empty());
}

TEST(DrmGpuTest, WithoutPciDatabaseTheIdsNameTheDevice)
{
    auto o = fixtureGpu(QStringLiteral("laptop"));
    o.pciIdsPaths = {kDrm + QStringLiteral("/missing.ids")};
    const auto dev = makeLinuxGpuStats(o)->defaultDevice();
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->name, QStringLiteral("PCI 8086:46a6"));
}

TEST(DrmGpuTest, FirmwareFramebufferIsNoGpu)
{
    auto g = makeLinuxGpuStats(fixtureGpu(QStringLiteral("framebuffer-only")));
    EXPECT_TRUE(g->readsMayBlock()); // not looked yet
    EXPECT_FALSE(g->defaultDevice());
    EXPECT_FALSE(g->accelerators());
    EXPECT_FALSE(g->readsMayBlock()); // nothing to read: no card, no NVIDIA device
}

struct PciCase {
    uint16_t vendor, device;
    std::optional<QString> name;
};
class PciNames : public ::testing::TestWithParam<PciCase> {};
TEST_P(PciNames, Lookup)
{
    const auto &c = GetParam();
    EXPECT_EQ(lookupPciName(kDrm + QStringLiteral("/pci.ids"), c.vendor, c.device), c.name);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, PciNames,
    ::testing::Values(PciCase{0x1002, 0x15bf, QStringLiteral("AMD/ATI Phoenix1")},
                      PciCase{0x10de, 0x2206, QStringLiteral("NVIDIA Corporation GA102 [GeForce RTX 3080]")},
                      PciCase{0x1002, 0x0e3a, std::nullopt}, // a subsystem id, not a device
                      PciCase{0x8086, 0x73bf, std::nullopt}, // another vendor's device
                      PciCase{0x1234, 0x0001, std::nullopt}),
    [](const auto &i) { char b[16]; std::snprintf(b, sizeof b, "%04x_%04x", i.param.vendor, i.param.device); return std::string(b); });

// This machine: compare with what /sys says.
TEST(DrmRealSysTest, MatchesThisMachine)
{
    const bool hasDrm = QDir(QStringLiteral("/sys/class/drm")).exists();
    const auto connectors = readDrmConnectors(QStringLiteral("/sys"));
    auto g = makeLinuxGpuStats();
    if (!hasDrm) {
        EXPECT_TRUE(connectors.empty());
        EXPECT_FALSE(g->defaultDevice());
        EXPECT_FALSE(g->defaultDeviceUsedBytes());
    }
    const auto cards = QDir(QStringLiteral("/sys/class/drm")).entryList({QStringLiteral("card*")}, QDir::AllEntries);
    for (const auto &c : connectors)
        EXPECT_TRUE(cards.contains(c.card + QLatin1Char('-') + c.name)) << c.name.toStdString();
}
