// The memory reading over fixture procfs trees and this machine, and the watcher's history.
#include "checks/MemoryWatcher.h"
#include "fakes/FakeClock.h"

#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace corvane;

namespace {

constexpr uint64_t KiB = 1024;
constexpr uint64_t GiB = 1024ull * 1024 * 1024;

struct FixtureCase {
    const char *name;
    uint64_t totalKb, activeKb, inactiveKb, wiredKb, zswapKb, freeKb, fileKb, anonKb, swapTotalKb, swapUsedKb;
    quint32 pressure;
};
class MeminfoFixtures : public ::testing::TestWithParam<FixtureCase> {};
TEST_P(MeminfoFixtures, FieldsComeFromTheirCounters)
{
    const FixtureCase &k = GetParam();
    MemoryWatcher w(makeLinuxMemoryStats(QStringLiteral(CORVANE_FIXTURES "/memory/") + k.name), Clock::system());
    const MemoryBreakdown b = w.breakdown();
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(b.pageSize, page);
    EXPECT_EQ(b.total, k.totalKb * KiB);
    EXPECT_EQ(b.active, k.activeKb * KiB);
    EXPECT_EQ(b.inactive, k.inactiveKb * KiB);
    EXPECT_EQ(b.wired, k.wiredKb * KiB);
    EXPECT_EQ(b.compressed, k.zswapKb * KiB);
    EXPECT_EQ(b.compressorPages, b.compressed / page);
    EXPECT_EQ(b.free, k.freeKb * KiB);
    EXPECT_EQ(b.fileBacked, k.fileKb * KiB);
    EXPECT_EQ(b.anonymous, k.anonKb * KiB);
    EXPECT_EQ(b.swapTotal, k.swapTotalKb * KiB);
    EXPECT_EQ(b.swapUsed, k.swapUsedKb * KiB);
    EXPECT_EQ(b.purgeable, 0u);
    EXPECT_EQ(b.speculative, 0u);
    EXPECT_EQ(b.pressure, k.pressure);
    EXPECT_TRUE(w.history().isEmpty()); // the construction reading is not part of the trend
}
INSTANTIATE_TEST_SUITE_P(
    Memory, MeminfoFixtures,
    ::testing::Values(
        // Wired = Unevictable + SUnreclaim + KernelStack + PageTables.
        FixtureCase{"laptop_zswap_swap", 16303496, 6211980, 5120456, 131072 + 188412 + 24576 + 90112, 524288, 812344,
                    2220500 + 3011200, 6650000, 8388604, 8388604 - 6291452, 1},
        FixtureCase{"server_no_zswap_no_swap", 65842244, 20400000, 9800000, 0 + 410000 + 30000 + 120000, 0, 30120004,
                    15000000, 15100000, 0, 0, 2},
        FixtureCase{"no_psi", 8051200, 3057824, 7587544, 20412 + 61124 + 7508 + 28584, 0, 1024000, 3056884 + 2328412,
                    5267812, 2097148, 0, 1},
        FixtureCase{"thrashing", 4030000, 3057824, 7587544, 20412 + 61124 + 7508 + 28584, 900000, 61000,
                    3056884 + 2328412, 5267812, 4194300, 4194300 - 120000, 4}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MemoryReading, UnreadableMeminfoKeepsOnlyTotalPressureAndPageSize)
{
    MemoryWatcher w(makeLinuxMemoryStats(QStringLiteral(CORVANE_FIXTURES "/memory/absent")), Clock::system());
    const MemoryBreakdown b = w.breakdown();
    EXPECT_GT(b.total, 0u); // the system's own figure
    EXPECT_EQ(b.pressure, 1u);
    EXPECT_GT(b.pageSize, 0u);
    MemoryBreakdown zeroed;
    zeroed.total = b.total;
    zeroed.pageSize = b.pageSize;
    EXPECT_EQ(b, zeroed);
}

struct PsiCase {
    const char *name;
    const char *text;
    std::optional<uint32_t> level;
};
class PressureLevels : public ::testing::TestWithParam<PsiCase> {};
TEST_P(PressureLevels, AgainstTheFixedThresholds)
{
    EXPECT_EQ(MemoryReading::pressureLevel(GetParam().text), GetParam().level);
}
INSTANTIATE_TEST_SUITE_P(
    Memory, PressureLevels,
    ::testing::Values(
        PsiCase{"calm", "some avg10=0.00 avg60=0.00 avg300=0.00 total=0\nfull avg10=0.00 avg60=0.00 avg300=0.00 total=0\n", 1},
        PsiCase{"some_at_warning", "some avg10=10.00 avg60=0 avg300=0 total=1\nfull avg10=0.00 avg60=0 avg300=0 total=0\n", 2},
        PsiCase{"some_just_below", "some avg10=9.99 avg60=0 avg300=0 total=1\nfull avg10=4.99 avg60=0 avg300=0 total=0\n", 1},
        PsiCase{"full_at_critical", "some avg10=6.00 avg60=0 avg300=0 total=1\nfull avg10=5.00 avg60=0 avg300=0 total=0\n", 4},
        PsiCase{"some_at_critical", "some avg10=40.00 avg60=0 avg300=0 total=1\nfull avg10=0.00 avg60=0 avg300=0 total=0\n", 4},
        PsiCase{"some_line_only", "some avg10=12.00 avg60=0.00 avg300=0.00 total=5\n", 2},
        PsiCase{"empty", "", std::nullopt}, PsiCase{"garbage", "some avg10=abc\n", std::nullopt},
        PsiCase{"negative", "some avg10=-3.0 avg60=0 avg300=0 total=1\n", std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

// A reading the test writes by hand.
class TextMemoryStats final : public MemoryStats {
public:
    explicit TextMemoryStats(std::shared_ptr<std::string> text) : m_text(std::move(text)) {}
    bool meminfo(std::string &out) override
    {
        out = *m_text;
        return !m_text->empty();
    }
    bool pressure(std::string &) override { return false; }
    uint64_t pageSize() override { return 16384; }
    uint64_t physicalMemory() override { return 0; }

private:
    std::shared_ptr<std::string> m_text;
};

std::string meminfoText(uint64_t totalKb, uint64_t activeKb, uint64_t wiredKb, uint64_t zswapKb)
{
    return "MemTotal: " + std::to_string(totalKb) + " kB\nActive: " + std::to_string(activeKb) +
           " kB\nUnevictable: " + std::to_string(wiredKb) + " kB\nZswap: " + std::to_string(zswapKb) + " kB\n";
}

TEST(MemoryWatcher, UsedShareAndItsTwoMinuteHistory)
{
    auto text = std::make_shared<std::string>(meminfoText(16 * GiB / KiB, 4 * GiB / KiB, 2 * GiB / KiB, 2 * GiB / KiB));
    test::FakeClock clock;
    MemoryWatcher w(std::make_unique<TextMemoryStats>(text), clock);
    EXPECT_EQ(w.breakdown().pageSize, 16384u); // the source's page size, not 4096
    EXPECT_EQ(w.breakdown().compressorPages, 2 * GiB / 16384);
    w.tick();
    EXPECT_EQ(w.history(), QList<double>{0.5});
    for (int i = 1; i < 120; ++i)
        w.tick();
    EXPECT_EQ(w.history().size(), 120);
    *text = meminfoText(16 * GiB / KiB, 8 * GiB / KiB, 0, 0);
    w.tick();
    EXPECT_EQ(w.history().size(), 120);
    EXPECT_EQ(w.history().first(), 0.5);
    EXPECT_EQ(w.history().last(), 0.5);
    // A reading with no total appends 0, never a NaN.
    text->clear();
    w.tick();
    EXPECT_EQ(w.breakdown().total, 0u);
    EXPECT_EQ(w.history().last(), 0.0);
}

TEST(MemoryBreakdown, DerivedFiguresNeverWrap)
{
    MemoryBreakdown b;
    b.anonymous = 1 * GiB;
    b.compressed = 3 * GiB;
    EXPECT_EQ(b.uncompressedAnonymous(), 0u);
    b.compressed = 256 * 1024 * 1024;
    EXPECT_EQ(b.uncompressedAnonymous(), GiB - 256 * 1024 * 1024);
    EXPECT_EQ(b.swapFraction(), 0.0); // no swap at all
    b.swapTotal = 4 * GiB;
    b.swapUsed = GiB;
    EXPECT_EQ(b.swapFraction(), 0.25);
    b.inactive = 2;
    b.free = 3;
    EXPECT_EQ(b.available(), 5u);
    EXPECT_EQ(b.cached(), 2u);
}

// The same counters read straight from /proc/meminfo in the same second.
TEST(MemoryOnThisMachine, AgreesWithMeminfo)
{
    MemoryWatcher w;
    const MemoryBreakdown b = w.breakdown();
    QFile f(QStringLiteral("/proc/meminfo"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    const auto kb = [&](const char *key) {
        const auto at = text.find(std::string("\n") + key + ":");
        return at == std::string::npos ? 0.0 : std::stod(text.substr(text.find(':', at) + 1)) * 1024.0;
    };
    const auto near = [](double ours, double theirs, const char *what) {
        EXPECT_NEAR(ours, theirs, std::max(theirs * 0.01, 64.0 * 1024)) << what;
    };
    EXPECT_EQ(static_cast<double>(b.total), std::stod(text.substr(text.find(':') + 1)) * 1024.0);
    near(b.active, kb("Active"), "active");
    near(b.inactive, kb("Inactive"), "inactive");
    near(b.free, kb("MemFree"), "free");
    near(b.anonymous, kb("AnonPages"), "anonymous");
    near(b.fileBacked, kb("Active(file)") + kb("Inactive(file)"), "file-backed");
    near(b.wired, kb("Unevictable") + kb("SUnreclaim") + kb("KernelStack") + kb("PageTables"), "wired");
    near(b.compressed, kb("Zswap"), "compressed");
    near(b.swapTotal, kb("SwapTotal"), "swap total");
    near(b.swapUsed, kb("SwapTotal") - kb("SwapFree"), "swap used");
    EXPECT_TRUE(b.pressure == 1 || b.pressure == 2 || b.pressure == 4);
}

} // namespace
