#include "platform/GpuStats.h"
#include "platform/linux/DrmClients.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvane;

namespace {

const QString kLaptop = QStringLiteral(CORVANE_FIXTURES "/machine/hybrid-laptop");

// A writable copy of the Intel laptop with its runtime-suspended AMD dGPU, and a hand-moved clock.
struct HybridLaptop {
    QTemporaryDir dir;
    uint64_t nowNs = 1'000'000'000;
    HybridLaptop()
    {
        std::filesystem::copy(kLaptop.toStdString(), dir.path().toStdString(),
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    }
    void write(const QString &rel, const QByteArray &text)
    {
        QFile f(dir.path() + u'/' + rel);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // The render and video engine times of an i915 client, as its fdinfo lists them.
    void i915Client(const QString &file, int clientId, uint64_t renderNs, uint64_t videoNs)
    {
        write(file, QStringLiteral("pos:\t0\ndrm-driver:\ti915\ndrm-client-id:\t%1\ndrm-pdev:\t0000:00:02.0\n"
                                   "drm-engine-render:\t%2 ns\ndrm-engine-video:\t%3 ns\n"
                                   "drm-engine-capacity-video:\t2\n")
                        .arg(clientId)
                        .arg(renderNs)
                        .arg(videoNs)
                        .toUtf8());
    }
    std::unique_ptr<GpuStats> stats(bool withProc = true)
    {
        LinuxGpuOptions o;
        o.sysRoot = dir.path() + QStringLiteral("/sys");
        o.procRoot = withProc ? dir.path() + QStringLiteral("/proc") : dir.path() + QStringLiteral("/none");
        o.pciIdsPaths = {QStringLiteral(CORVANE_FIXTURES "/drm/pci.ids")};
        o.useNvml = false;
        o.monotonicNs = [this] { return nowNs; };
        return makeLinuxGpuStats(o);
    }
};

std::vector<std::vector<int64_t>> figures(GpuStats &g)
{
    std::vector<std::vector<int64_t>> out;
    for (const auto &a : g.accelerators().value_or(std::vector<GpuAcceleratorReading>{}))
        out.push_back(a.utilizationPercents);
    return out;
}

} // namespace

TEST(GpuLoad, IntelClientsSummedOverWallTimeAndTheSleepingDgpuLeftAlone)
{
    HybridLaptop m;
    auto g = m.stats();
    // First look: a baseline only; the dGPU's 100 % file is never read while it sleeps.
    EXPECT_EQ(figures(*g), (std::vector<std::vector<int64_t>>{{}, {}}));
    EXPECT_FALSE(g->defaultDeviceUsedBytes());

    // One second later: gnome-shell (one client through two files) rendered 150 ms and Firefox
    // 250 ms; Firefox's video decode used 100 ms of two video engines.
    m.nowNs += 1'000'000'000;
    m.i915Client("proc/2100/fdinfo/12", 3, 5'150'000'000, 0);
    m.i915Client("proc/2100/fdinfo/13", 3, 5'150'000'000, 0);
    m.i915Client("proc/2200/fdinfo/40", 9, 2'250'000'000, 1'100'000'000);
    EXPECT_EQ(figures(*g), (std::vector<std::vector<int64_t>>{{40}, {}}));

    // The dGPU wakes for a game: now its own figure counts.
    m.nowNs += 1'000'000'000;
    m.write("sys/class/drm/card1/device/power/runtime_status", "active\n");
    m.write("sys/class/drm/renderD129/device/power/runtime_status", "active\n");
    EXPECT_EQ(figures(*g), (std::vector<std::vector<int64_t>>{{0}, {100}}));
}

TEST(GpuLoad, IdleResidencyWhereNoClientCanBeRead)
{
    HybridLaptop m;
    auto g = m.stats(false);
    EXPECT_EQ(figures(*g)[0], std::vector<int64_t>{});
    m.nowNs += 1'000'000'000;
    m.write("sys/class/drm/card0/power/rc6_residency_ms", "1700\n"); // idle 700 ms of 1000
    EXPECT_EQ(figures(*g)[0], std::vector<int64_t>{30});
    m.nowNs += 2'000'000'000;
    m.write("sys/class/drm/card0/power/rc6_residency_ms", "3700\n"); // idle throughout
    EXPECT_EQ(figures(*g)[0], std::vector<int64_t>{0});
}

struct FdinfoCase {
    const char *label;
    const char *text;
    std::optional<std::string> device;
    std::map<std::string, uint64_t> engineNs;
};

class DrmFdinfo : public ::testing::TestWithParam<FdinfoCase> {};

TEST_P(DrmFdinfo, Parses)
{
    const auto &c = GetParam();
    const auto r = parseDrmFdinfo(c.text);
    ASSERT_EQ(r.has_value(), c.device.has_value());
    if (!r)
        return;
    EXPECT_EQ(r->device, *c.device);
    EXPECT_EQ(r->engineNs, c.engineNs);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, DrmFdinfo,
    ::testing::Values(
        FdinfoCase{"Amdgpu",
                   "drm-driver:\tamdgpu\ndrm-pdev:\t0000:03:00.0\ndrm-client-id:\t12\ndrm-memory-vram:\t1024 KiB\n"
                   "drm-engine-gfx:\t77 ns\ndrm-engine-compute:\t5 ns\n",
                   "0000:03:00.0", {{"gfx", 77}, {"compute", 5}}},
        FdinfoCase{"MsmWithoutPciSlot", "drm-driver:\tmsm\ndrm-client-id:\t4\ndrm-engine-gpu:\t900 ns\ndrm-cycles-gpu:\t3\n",
                   "driver:msm", {{"gpu", 900}}},
        FdinfoCase{"CapacityIsNoEngine",
                   "drm-driver:\ti915\ndrm-pdev:\t0000:00:02.0\ndrm-client-id:\t1\ndrm-engine-video:\t8 ns\n"
                   "drm-engine-capacity-video:\t2\n",
                   "0000:00:02.0", {{"video", 8}}},
        FdinfoCase{"EventfdIsNoClient", "pos:\t0\nflags:\t02\nmnt_id:\t15\neventfd-count:\t0\n", std::nullopt, {}},
        FdinfoCase{"DriverWithoutClientId", "drm-driver:\tnouveau\n", std::nullopt, {}}),
    [](const ::testing::TestParamInfo<FdinfoCase> &i) { return std::string(i.param.label); });

TEST(GpuLoad, XeCyclesOverTheGpuClock)
{
    QTemporaryDir proc;
    QDir(proc.path()).mkpath("500/fd");
    QDir(proc.path()).mkpath("500/fdinfo");
    ASSERT_TRUE(QFile::link("/dev/dri/renderD128", proc.path() + "/500/fd/9"));
    auto put = [&](uint64_t cycles, uint64_t total) {
        QFile f(proc.path() + "/500/fdinfo/9");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("drm-driver:\txe\ndrm-pdev:\t0000:00:02.0\ndrm-client-id:\t5\n"
                               "drm-cycles-rcs:\t%1\ndrm-total-cycles-rcs:\t%2\n")
                    .arg(cycles)
                    .arg(total)
                    .toUtf8());
    };
    DrmClients clients(proc.path().toStdString());
    auto awake = [](const std::string &) { return true; };
    put(1000, 50'000);
    EXPECT_TRUE(clients.sample(1'000'000'000, awake).empty());
    put(7'000, 70'000); // busy 6000 of 20000 GPU cycles
    const auto busy = clients.sample(2'000'000'000, awake);
    ASSERT_EQ(busy.count("0000:00:02.0"), 1u);
    EXPECT_DOUBLE_EQ(busy.at("0000:00:02.0"), 0.3);
    // Asleep: its files are not read, and no figure is made up.
    EXPECT_TRUE(clients.sample(3'000'000'000, [](const std::string &) { return false; }).empty());
}

TEST(GpuLoad, CardsAreListedAgainAfterHalfAMinuteWhileWakingIsSeenAtOnce)
{
    HybridLaptop m;
    auto g = m.stats(false);
    ASSERT_EQ(figures(*g).size(), 2u);
    // The dGPU goes away (unbound, or an external enclosure unplugged): the listing of the
    // cards is kept for half a minute, then read again.
    std::filesystem::remove_all(m.dir.path().toStdString() + "/sys/class/drm/card1");
    m.nowNs += 1'000'000'000;
    EXPECT_EQ(figures(*g).size(), 2u);
    m.nowNs += 30'000'000'000;
    EXPECT_EQ(figures(*g).size(), 1u);
    // Waking and sleeping are read every time, cached listing or not.
    m.write("sys/class/drm/card0/device/power/runtime_status", "suspended\n");
    m.nowNs += 1'000'000'000;
    EXPECT_FALSE(g->defaultDeviceUsedBytes());
    EXPECT_EQ(figures(*g), (std::vector<std::vector<int64_t>>{{}}));
}
