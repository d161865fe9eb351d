// The memory reading over fixture procfs trees and this machine, and the watcher's history.
#include "checks/MemoryWatcher.h"
#include "platform/HostStats.h"
#include "fakes/FakeClock.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace corvane;

namespace {

constexpr uint64_t KiB = 1024;
constexpr uint64_t GiB = 1024ull * 1024 * 1024;

struct FixtureCase {
    const char *name;
    uint64_t totalKb, availableKb, freeKb, kernelKb, zswapKb, pageCacheKb, anonKb, shmemKb, swapTotalKb, swapUsedKb;
    quint32 pressure;
};
class MeminfoFixtures : public ::testing::TestWithParam<FixtureCase> {};
TEST_P(MeminfoFixtures, UsedIsWhatIsNotAvailableAndTheCategoriesAddUp)
{
    const FixtureCase &k = GetParam();
    const QString root = QStringLiteral(CORVANE_FIXTURES "/memory/") + k.name;
    MemoryWatcher w(makeLinuxMemoryStats(root), Clock::system());
    const MemoryBreakdown b = w.breakdown();
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(b.pageSize, page);
    EXPECT_EQ(b.total, k.totalKb * KiB);
    EXPECT_EQ(b.available, k.availableKb * KiB);
    EXPECT_EQ(b.used(), (k.totalKb - k.availableKb) * KiB);
    EXPECT_EQ(b.free, k.freeKb * KiB);
    EXPECT_EQ(b.wired, k.kernelKb * KiB);
    EXPECT_EQ(b.compressed, k.zswapKb * KiB);
    EXPECT_EQ(b.compressorPages, b.compressed / page);
    EXPECT_EQ(b.inactive, (k.availableKb - k.freeKb) * KiB);
    EXPECT_EQ(b.cached(), b.inactive);
    EXPECT_EQ(b.fileBacked, k.pageCacheKb * KiB);
    EXPECT_EQ(b.anonymous, k.anonKb * KiB);
    EXPECT_EQ(b.shared, k.shmemKb * KiB);
    EXPECT_EQ(b.swapTotal, k.swapTotalKb * KiB);
    EXPECT_EQ(b.swapUsed, k.swapUsedKb * KiB);
    EXPECT_EQ(b.pressure, k.pressure);
    EXPECT_TRUE(w.history().isEmpty()); // the construction reading is not part of the trend

    // The grid's first cells split the whole machine: in use, then what is available.
    EXPECT_EQ(b.active + b.wired + b.compressed + b.inactive + b.free, b.total);
    // What the memory holds (programs, shared memory, page cache, kernel, zswap, free) is
    // most of it; the rest is reclaimable slab and what drivers keep to themselves.
    const double held = double(b.anonymous + b.shared + b.fileBacked + b.wired + b.compressed + b.free);
    EXPECT_LE(held, double(b.total));
    EXPECT_GE(held, 0.9 * double(b.total));

    // The dashboard's RAM tile reads the same file: the same figure, to the page.
    auto host = makeLinuxHostStats(root);
    const auto vm = host->vmCounters();
    ASSERT_TRUE(vm);
    const uint64_t tileUsed = uint64_t(vm->active + vm->wired + vm->compressor) * host->pageSize();
    EXPECT_LE(b.used() - tileUsed, page);
}
INSTANTIATE_TEST_SUITE_P(
    Memory, MeminfoFixtures,
    ::testing::Values(
        // Kernel = SUnreclaim + KernelStack + PageTables; page cache = Buffers + Cached − Shmem.
        FixtureCase{"laptop_zswap_swap", 16303496, 4102080, 412344, 188412 + 24576 + 90112, 524288,
                    189092 + 3971472 - 269064, 9989440, 269064, 8388604, 8388604 - 6291452, 1},
        FixtureCase{"desktop_no_swap", 32803552, 24118760, 14211340, 403688 + 31056 + 98764, 0,
                    612400 + 9874320 - 477068, 6036032, 477068, 0, 0, 2},
        FixtureCase{"no_psi", 8051200, 3811200, 1024000, 61124 + 7508 + 28584, 0, 120400 + 2830000 - 160000, 3600000,
                    160000, 2097148, 0, 1},
        FixtureCase{"thrashing", 4030000, 190000, 61000, 61124 + 7508 + 28584, 480000, 4100 + 310000 - 60000, 2900000,
                    60000, 4194300, 4194300 - 120000, 4},
        FixtureCase{"this_machine", 24682348, 16743968, 15438728, 45488 + 5856 + 28752, 0, 46288 + 1428400 - 10520,
                    7230380, 10520, 0, 0, 1}),
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

std::string meminfoText(uint64_t totalKb, uint64_t availableKb, uint64_t kernelKb, uint64_t zswapKb)
{
    return "MemTotal: " + std::to_string(totalKb) + " kB\nMemAvailable: " + std::to_string(availableKb) +
           " kB\nSUnreclaim: " + std::to_string(kernelKb) + " kB\nZswap: " + std::to_string(zswapKb) + " kB\n";
}

TEST(MemoryWatcher, UsedShareAndItsTwoMinuteHistory)
{
    auto text = std::make_shared<std::string>(meminfoText(16 * GiB / KiB, 8 * GiB / KiB, 2 * GiB / KiB, 2 * GiB / KiB));
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
    EXPECT_EQ(w.takeReading().used(), 8 * GiB); // all of it counted as active now
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

struct OddCase {
    const char *name;
    std::string text;
    uint64_t used, wired, compressed, inactive;
};
class OddMeminfo : public ::testing::TestWithParam<OddCase> {};
// Counters read a moment apart can disagree; the parts never wrap and still add up.
TEST_P(OddMeminfo, PartsStayWithinTheTotal)
{
    const OddCase &k = GetParam();
    const MemoryBreakdown b = MemoryReading::fromMeminfo(k.text, 0, 4096, 1);
    EXPECT_EQ(b.used(), k.used * KiB);
    EXPECT_EQ(b.wired, k.wired * KiB);
    EXPECT_EQ(b.compressed, k.compressed * KiB);
    EXPECT_EQ(b.inactive, k.inactive * KiB);
    EXPECT_LE(b.used(), b.total);
}
INSTANTIATE_TEST_SUITE_P(
    Memory, OddMeminfo,
    ::testing::Values(
        OddCase{"available_above_total", "MemTotal: 1000 kB\nMemAvailable: 1200 kB\nMemFree: 900 kB\n", 0, 0, 0, 100},
        OddCase{"free_above_available", "MemTotal: 1000 kB\nMemAvailable: 300 kB\nMemFree: 400 kB\n", 700, 0, 0, 0},
        OddCase{"kernel_above_used", "MemTotal: 1000 kB\nMemAvailable: 900 kB\nSUnreclaim: 150 kB\nZswap: 50 kB\n", 100,
                100, 0, 900},
        OddCase{"zswap_above_the_rest", "MemTotal: 1000 kB\nMemAvailable: 800 kB\nPageTables: 50 kB\nZswap: 500 kB\n",
                200, 50, 150, 800}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MemoryReading, WithoutMemAvailableNothingIsGuessed)
{
    const MemoryBreakdown b = MemoryReading::fromMeminfo("MemTotal: 1000 kB\nMemFree: 400 kB\nActive: 300 kB\n", 0, 4096, 1);
    EXPECT_EQ(b.used(), 0u);
    EXPECT_EQ(b.free, 0u);
}

TEST(MemoryBreakdown, SwapFraction)
{
    MemoryBreakdown b;
    EXPECT_EQ(b.swapFraction(), 0.0); // no swap at all
    b.swapTotal = 4 * GiB;
    b.swapUsed = GiB;
    EXPECT_EQ(b.swapFraction(), 0.25);
}

// The same counters read straight from /proc/meminfo in the same second.
TEST(MemoryOnThisMachine, AgreesWithMeminfoAndTheDashboard)
{
    MemoryWatcher w;
    auto host = makeLinuxHostStats();
    const auto vm = host->vmCounters();
    const MemoryBreakdown b = w.takeReading();
    QFile f(QStringLiteral("/proc/meminfo"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    const auto kb = [&](const char *key) {
        const auto at = text.find(std::string("\n") + key + ":");
        return at == std::string::npos ? 0.0 : std::stod(text.substr(text.find(':', at) + 1)) * 1024.0;
    };
    const double total = std::stod(text.substr(text.find(':') + 1)) * 1024.0;
    const auto near = [&](double ours, double theirs, const char *what) {
        EXPECT_NEAR(ours, theirs, total * 0.01) << what;
    };
    EXPECT_EQ(static_cast<double>(b.total), total);
    near(b.used(), total - kb("MemAvailable"), "used");
    near(b.available, kb("MemAvailable"), "available");
    near(b.free, kb("MemFree"), "free");
    near(b.anonymous, kb("AnonPages"), "anonymous");
    near(b.fileBacked, kb("Cached") + kb("Buffers") - kb("Shmem"), "page cache");
    near(b.shared, kb("Shmem"), "shared");
    near(b.wired, kb("SUnreclaim") + kb("KernelStack") + kb("PageTables") + kb("SecPageTables"), "kernel");
    near(b.compressed, kb("Zswap"), "compressed");
    near(b.swapTotal, kb("SwapTotal"), "swap total");
    near(b.swapUsed, kb("SwapTotal") - kb("SwapFree"), "swap used");
    EXPECT_TRUE(b.pressure == 1 || b.pressure == 2 || b.pressure == 4);
    // The dashboard's RAM tile, read a moment before: within 1 % of the memory.
    ASSERT_TRUE(vm);
    near(double(uint64_t(vm->active + vm->wired + vm->compressor) * host->pageSize()), double(b.used()), "dashboard");
}

// Memory a program takes shows up as used, and goes when it is given back. Other programs come
// and go meanwhile, and the kernel's per-CPU page lists hide pages from the free count (some
// hundreds of MiB on recent kernels, whose lists grow with use: pages given back wait there and
// are handed out again first). So the allocation is large beside those lists, each try
// compares the readings around one allocation and around its release, and one move within
// 30 % of the size is enough.
TEST(MemoryOnThisMachine, AnAllocationMovesUsedByItsSize)
{
    constexpr size_t kSize = 2048ull << 20;
    MemoryWatcher w;
    int tries = 0;
    bool moved = false;
    std::vector<double> deltas;
    while (!moved && tries++ < 20) {
        void *p = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(p, MAP_FAILED);
        const uint64_t before = w.takeReading().used();
        std::memset(p, 0x5a, kSize); // every page touched, so every page is resident
        const uint64_t after = w.takeReading().used();
        ::munmap(p, kSize);
        const uint64_t released = w.takeReading().used();
        const double taken = double(int64_t(after - before)), given = double(int64_t(after - released));
        deltas.push_back(taken / double(1 << 20));
        deltas.push_back(given / double(1 << 20));
        moved = std::abs(taken - double(kSize)) < double(kSize) * 0.3 || std::abs(given - double(kSize)) < double(kSize) * 0.3;
    }
    EXPECT_TRUE(moved) << "used moved by (MiB, taken then given back): " << ::testing::PrintToString(deltas);
}

} // namespace
