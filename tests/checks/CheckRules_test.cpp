// Verdicts, result rows and the pressure pill of the test screens.
#include "checks/ReportLine.h"
#include "state/ThemeManager.h"

#include <gtest/gtest.h>

#include <limits>

using namespace corvane;

namespace {

struct Colours {
    QColor good = Themes::good(AppTheme::aurora);
    QColor accent = Themes::accent(AppTheme::aurora);
    QColor warning = Themes::warning(AppTheme::aurora);
    QColor critical = Themes::critical(AppTheme::aurora);
};

struct RulesTest : ::testing::Test {
    void SetUp() override { ThemeManager::shared()->setTheme(AppTheme::aurora); }
    Colours c;
};

struct CpuCase {
    const char *name;
    double mh;
    const char *word;
    const char *role;
};
class CpuVerdict : public RulesTest, public ::testing::WithParamInterface<CpuCase> {};
TEST_P(CpuVerdict, WordAndColourAtTheBounds)
{
    const CpuCase &k = GetParam();
    EXPECT_EQ(StressRules::cpuVerdict(k.mh), QString::fromUtf8(k.word));
    const QString role = k.role;
    const QColor want = role == "good" ? c.good : role == "accent" ? c.accent : c.warning;
    EXPECT_EQ(StressRules::cpuVerdictColor(k.mh), want);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, CpuVerdict,
    ::testing::Values(CpuCase{"exactly200", 200, "Procesor de top", "good"},
                      CpuCase{"just_under200", 199.99, "Excelent", "good"},
                      CpuCase{"exactly80", 80, "Excelent", "good"}, CpuCase{"exactly30", 30, "Bun", "accent"},
                      CpuCase{"just_under30", 29.99, "Mediu", "warning"}, CpuCase{"exactly10", 10, "Mediu", "warning"},
                      CpuCase{"just_under10", 9.99, "Slab", "warning"}, CpuCase{"zero", 0, "Slab", "warning"},
                      CpuCase{"not_a_number", std::numeric_limits<double>::quiet_NaN(), "Slab", "warning"}),
    [](const auto &info) { return std::string(info.param.name); });

struct GpuCase {
    const char *name;
    double p;
    double f;
    const char *word;
    const char *role;
};
class GpuVerdict : public RulesTest, public ::testing::WithParamInterface<GpuCase> {};
TEST_P(GpuVerdict, FirstMatchingRowWins)
{
    const GpuCase &k = GetParam();
    EXPECT_EQ(StressRules::gpuVerdict(k.p, k.f), QString::fromUtf8(k.word));
    const QString role = k.role;
    const QColor want = role == "good" ? c.good : role == "accent" ? c.accent : c.warning;
    EXPECT_EQ(StressRules::gpuVerdictColor(k.p), want);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, GpuVerdict,
    ::testing::Values(GpuCase{"p85_f100", 85, 100, "Dedicat / integrat puternic", "good"},
                      GpuCase{"p90_f80", 90, 80, "GPU bun", "good"}, GpuCase{"p90_f50", 90, 50, "Mediu", "good"},
                      GpuCase{"p79_f200", 79, 200, "GPU bun", "accent"}, GpuCase{"p49_f0", 49, 0, "Mediu", "warning"},
                      GpuCase{"p39_9_f500", 39.9, 500, "Slab / throttled", "warning"},
                      GpuCase{"p50_f10", 50, 10, "Mediu", "accent"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RulesTest, NoUtilisationSourceIsNotThrottled)
{
    EXPECT_EQ(StressRules::gpuVerdict(0, 60, false), QStringLiteral("Încărcare nemăsurabilă"));
    EXPECT_NE(StressRules::gpuVerdictColor(0, false), c.warning);
    GpuRunFigures run;
    run.utilizationMeasured = false;
    run.fpsSamples = {55, 60};
    const auto lines = StressRules::gpuLines(run);
    EXPECT_EQ(lines[0].value, QStringLiteral("—"));
    EXPECT_EQ(lines[1].value, QStringLiteral("—"));
    EXPECT_EQ(lines[3].value, QStringLiteral("58"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Încărcare nemăsurabilă"));
}

TEST_F(RulesTest, EmptyCpuRunReadsZeroAndSlab)
{
    CpuRunFigures run;
    run.threads = 0; // never reachable from the stepper: the per-core divisor stays 1
    run.processors = 8;
    const auto lines = StressRules::cpuLines(run);
    ASSERT_EQ(lines.size(), 8);
    QStringList labels;
    for (const auto &l : lines)
        labels << l.label;
    EXPECT_EQ(labels, (QStringList{"Peak throughput", "Avg throughput", "Total hash-uri", "Throughput / core",
                                   "Threads", "Durată", "Cores fizice", "Verdict"}));
    EXPECT_EQ(lines[0].value, QStringLiteral("0.00 MH/s"));
    EXPECT_EQ(lines[1].value, QStringLiteral("0.00 MH/s"));
    EXPECT_EQ(lines[3].value, QStringLiteral("0.00 MH/s"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Slab"));
    EXPECT_EQ(lines[7].color, c.warning);
    EXPECT_NE(lines[0].id, lines[1].id);
}

TEST_F(RulesTest, CpuRowsFromAFinishedRun)
{
    CpuRunFigures run{{40e6, 60e6, 50e6}, 2'999'999, 1, 30.26, 8};
    const auto lines = StressRules::cpuLines(run);
    EXPECT_EQ(lines[0].value, QStringLiteral("60.00 MH/s"));
    EXPECT_EQ(lines[1].value, QStringLiteral("50.00 MH/s"));
    EXPECT_EQ(lines[2].value, QStringLiteral("2 M"));
    EXPECT_EQ(lines[3].value, lines[1].value); // one thread: per core = average
    EXPECT_EQ(lines[5].value, QStringLiteral("30.3 s"));
    EXPECT_EQ(lines[6].value, QStringLiteral("8"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Bun"));
    EXPECT_EQ(lines[7].color, c.accent);
    EXPECT_EQ(StressRules::cpuSubtitle(8, 30.2), QStringLiteral("SHA-256 soak · 8 fire · 30s"));
    EXPECT_EQ(StressRules::gpuSubtitle(30.19), QStringLiteral("OpenGL fragment shader · 30s"));
}

TEST_F(RulesTest, GpuRowsWithoutSamples)
{
    GpuRunFigures run;
    run.refreshHz = 59.95;
    run.gpuName = QStringLiteral("llvmpipe");
    auto lines = StressRules::gpuLines(run);
    EXPECT_EQ(lines[0].value, QStringLiteral("—"));
    EXPECT_EQ(lines[1].value, QStringLiteral("—"));
    EXPECT_EQ(lines[2].value, QStringLiteral("—"));
    EXPECT_EQ(lines[4].value, QStringLiteral("60 Hz"));
    EXPECT_EQ(lines[5].value, QStringLiteral("—")); // no VRAM counter
    EXPECT_EQ(lines[6].value, QStringLiteral("llvmpipe"));
    EXPECT_EQ(lines[7].value, QStringLiteral("Slab / throttled"));
    EXPECT_EQ(lines[7].color, c.warning);

    // A virtual display: no frames and no refresh, yet a measured load and memory.
    run.refreshHz = 0;
    run.utilSamples = {0.4, 0.6};
    run.fpsSamples = {0, 0};
    run.vramUsedBytes = 512'000'000;
    lines = StressRules::gpuLines(run);
    EXPECT_EQ(lines[0].value, QStringLiteral("60%"));
    EXPECT_EQ(lines[2].value, QStringLiteral("—"));
    EXPECT_EQ(lines[3].value, QStringLiteral("—"));
    EXPECT_EQ(lines[4].value, QStringLiteral("—"));
    EXPECT_EQ(lines[5].value, QStringLiteral("512 MB"));
    EXPECT_EQ(StressRules::framesText(0), QStringLiteral("—"));
    EXPECT_EQ(StressRules::framesText(59.6), QStringLiteral("60"));
}

TEST_F(RulesTest, PressurePill)
{
    EXPECT_EQ(StressRules::pressureWord(4), QStringLiteral("CRITICĂ"));
    EXPECT_EQ(StressRules::pressureColor(4), c.critical);
    EXPECT_EQ(StressRules::pressureWord(2), QStringLiteral("AVERTISMENT"));
    EXPECT_EQ(StressRules::pressureColor(2), c.warning);
    for (quint32 other : {0u, 1u, 3u, 7u}) {
        EXPECT_EQ(StressRules::pressureWord(other), QStringLiteral("NORMALĂ")) << other;
        EXPECT_EQ(StressRules::pressureColor(other), c.good) << other;
    }
    ThemeManager::shared()->setTheme(AppTheme::cyber);
    EXPECT_EQ(StressRules::pressureColor(4), Themes::critical(AppTheme::cyber));
    ThemeManager::shared()->setTheme(AppTheme::aurora);
}

} // namespace
