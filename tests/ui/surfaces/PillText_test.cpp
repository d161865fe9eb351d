// Value rules of the Bar Mode pills and the tray popup.
#include "common/AppVersion.h"
#include "ui/surfaces/MiniSpark.h"
#include "ui/surfaces/PillText.h"

#include <QTimeZone>
#include "support/ParamNames.h"
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace corvane;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
}

struct BatteryCase { double percent; bool charging; const char *role; };
class BatteryRole : public ::testing::TestWithParam<BatteryCase> {};
TEST_P(BatteryRole, CriticalOnlyBelowTwentyOnBattery)
{
    EXPECT_EQ(PillText::batteryRole(GetParam().percent, GetParam().charging), GetParam().role);
}
INSTANTIATE_TEST_SUITE_P(Edges, BatteryRole, ::testing::Values(
    BatteryCase{20.0, false, "good"}, BatteryCase{19.9, false, "critical"},
    BatteryCase{19.9, true, "good"}, BatteryCase{5, true, "good"},
    BatteryCase{0, false, "critical"}, BatteryCase{100, false, "good"}),
    [](const auto &i) { return "Pct" + corvane::test::numberName(i.param.percent) + (i.param.charging ? "Charging" : "OnBattery"); });

TEST(PillText, ChargerTexts)
{
    EXPECT_EQ(PillText::chargerWattsText(45), "45.0 W");
    EXPECT_EQ(PillText::chargerWattsText(0.05), "0.1 W"); // printf rounding, point separator
    EXPECT_EQ(PillText::chargerDetailText(5, 96), "5% · 96W max");
    // No rating, no power reported, no charge known: dashes, not zeros.
    EXPECT_EQ(PillText::chargerDetailText(99.9, 0), "99% · — max");
    EXPECT_EQ(PillText::chargerWattsText(std::nan("")), "—");
    EXPECT_EQ(PillText::chargerDetailText(std::nan(""), 65), "— · 65W max");
}

struct FpsCase { double fps, hz; const char *role; double ratio; const char *centre, *reference; };
class FpsRule : public ::testing::TestWithParam<FpsCase> {};
TEST_P(FpsRule, RatioAgainstAtLeastSixtyHertz)
{
    const auto &c = GetParam();
    const FpsState s = PillText::fpsState(c.fps, c.hz);
    EXPECT_EQ(s.role, c.role);
    EXPECT_DOUBLE_EQ(s.ratio, c.ratio);
    EXPECT_EQ(s.centre, c.centre);
    EXPECT_EQ(s.referenceText, c.reference);
}
INSTANTIATE_TEST_SUITE_P(Edges, FpsRule, ::testing::Values(
    FpsCase{60, 120, "critical", 0.5, "60", "120Hz"},  // 0.5 is not above 0.5
    FpsCase{51, 60, "warning", 0.85, "51", "60Hz"},    // 0.85 is not above 0.85
    FpsCase{52, 60, "good", 52.0 / 60, "52", "60Hz"},
    FpsCase{75.9, 60, "good", 1.0, "75", "60Hz"},      // ring full, real count shown
    FpsCase{30, 0, "critical", 0.5, "30", "—"},        // no rate reported: none shown
    FpsCase{40, 48, "warning", 40.0 / 60, "40", "60Hz"},
    FpsCase{59.9, 59.94, "good", 59.9 / 60, "59", "60Hz"},
    FpsCase{144, 143.9, "good", 1.0, "144", "143Hz"},
    FpsCase{30, kNaN, "critical", 0.5, "30", "—"},
    FpsCase{kNaN, 60, "neutral", 0.0, "—", "60Hz"},
    FpsCase{0, 0, "neutral", 0.0, "—", "—"},        // no vblank source: no red 0
    FpsCase{-1, 60, "neutral", 0.0, "—", "60Hz"}),
    [](const auto &i) { return "Fps" + corvane::test::numberName(i.param.fps) + "At" + corvane::test::numberName(i.param.hz) + "Hz"; });

struct DiskCase { quint64 free, total; const char *role; const char *centre; };
class DiskRule : public ::testing::TestWithParam<DiskCase> {};
TEST_P(DiskRule, FreeRatioSteps)
{
    const auto &c = GetParam();
    const DiskState s = PillText::diskState(c.free, c.total, QLocale::c());
    EXPECT_EQ(s.role, c.role);
    EXPECT_EQ(s.centre, c.centre);
}
INSTANTIATE_TEST_SUITE_P(Edges, DiskRule, ::testing::Values(
    DiskCase{300, 1000, "warning", "30"},   // exactly 0.3 is not above it
    DiskCase{301, 1000, "good", "30"},
    DiskCase{150, 1000, "critical", "15"},  // exactly 0.15 is critical
    DiskCase{151, 1000, "warning", "15"},
    DiskCase{127, 1000, "critical", "12"},
    DiskCase{5, 0, "critical", "0"},        // no capacity known
    DiskCase{~0ull, ~0ull, "good", "100"}),
    [](const auto &i) { return "Free" + corvane::test::numberName(double(i.param.free)) + "Of" + corvane::test::numberName(double(i.param.total)); });

TEST(PillText, DiskFreeTextIsDecimalBytes)
{
    EXPECT_EQ(PillText::diskState(245'670'000'000ull, 500'000'000'000ull, QLocale::c()).freeText, "245.7 GB");
}

struct ThermalCase { double t; const char *role, *word, *text; bool circle; };
class ThermalRule : public ::testing::TestWithParam<ThermalCase> {};
TEST_P(ThermalRule, ThreeSteps)
{
    const auto &c = GetParam();
    const ThermalState s = PillText::thermalState(c.t);
    EXPECT_EQ(s.role, c.role);
    EXPECT_EQ(s.word, c.word);
    EXPECT_EQ(s.valueText, c.text);
    EXPECT_EQ(s.circle, c.circle);
}
INSTANTIATE_TEST_SUITE_P(Edges, ThermalRule, ::testing::Values(
    ThermalCase{34.9, "good", "OK", "34.9°", false},
    ThermalCase{35.0, "warning", "WARM", "35.0°", false},
    ThermalCase{41.99, "warning", "WARM", "42.0°", false},
    ThermalCase{42.0, "critical", "HOT", "42.0°", true},
    ThermalCase{0, "good", "OK", "0.0°", false},
    ThermalCase{kNaN, "good", "—", "—", false}),
    [](const auto &i) { return "At" + corvane::test::numberName(i.param.t); });

// Nothing to read (no battery, or a battery without a sensor) is a dash, not "0.0° OK";
// a battery that is really below freezing still reads as one.
TEST(PillText, ThermalWithoutAReadingIsADash)
{
    for (const auto &[t, has] : {std::pair{kNaN, true}, std::pair{31.2, false}, std::pair{kNaN, false}}) {
        const ThermalState s = PillText::thermalState(t, has);
        EXPECT_EQ(s.valueText, "—") << t << has;
        EXPECT_TRUE(s.word.isEmpty()) << t << has;
        EXPECT_TRUE(s.role.isEmpty()) << t << has;
        EXPECT_FALSE(s.circle);
    }
    EXPECT_EQ(PillText::thermalState(-4.5, true).valueText, "-4.5°");
    EXPECT_EQ(PillText::thermalState(-4.5, true).word, "OK");
    EXPECT_EQ(PillText::thermalState(0.0, true).valueText, "0.0°"); // a measured 0 is a reading
    EXPECT_EQ(PillText::thermalState(42.0, true).word, "HOT");
}

TEST(PillText, TemperatureColumns)
{
    EXPECT_EQ(PillText::temperatureText(71.6), "72°");
    EXPECT_EQ(PillText::temperatureText(70.5), "70°"); // printf rounds ties to even
    EXPECT_EQ(PillText::temperatureText(0), "—");
    EXPECT_EQ(PillText::temperatureText(-4), "—");
    EXPECT_EQ(PillText::temperatureText(kNaN), "—");
    EXPECT_EQ(PillText::temperatureText(kInf), "—");
    EXPECT_EQ(PillText::temperatureRole(54.99), "good");
    EXPECT_EQ(PillText::temperatureRole(55), "warning");
    EXPECT_EQ(PillText::temperatureRole(80), "critical");
}

namespace {
SMCFanReading fan(int index, double rpm) { SMCFanReading f; f.index = index; f.rpm = rpm; return f; }
QStringList captions(const QList<FanColumn> &cols)
{
    QStringList out;
    for (const auto &c : cols) out << c.caption;
    return out;
}
}

TEST(PillText, FanCaptionsByCount)
{
    EXPECT_TRUE(PillText::fanColumns({}).isEmpty());
    EXPECT_EQ(captions(PillText::fanColumns({fan(0, 1200)})), QStringList{"RPM"});
    EXPECT_EQ(captions(PillText::fanColumns({fan(0, 1200), fan(1, 1300)})), (QStringList{"STÂNGA", "DREAPTA"}));
    EXPECT_EQ(captions(PillText::fanColumns({fan(1, 1200), fan(0, 1300)})), (QStringList{"DREAPTA", "STÂNGA"}));
    EXPECT_EQ(captions(PillText::fanColumns({fan(1, 1200), fan(2, 1300)})), (QStringList{"DREAPTA", "DREAPTA"}));
    EXPECT_EQ(captions(PillText::fanColumns({fan(0, 1), fan(1, 1), fan(2, 1)})), (QStringList{"RPM", "RPM", "RPM"}));
}

TEST(PillText, FanValues)
{
    const auto cols = PillText::fanColumns({fan(0, 0.5), fan(1, 1), fan(2, 2150.9), fan(3, kNaN)});
    EXPECT_EQ(cols[0].value, "oprit");
    EXPECT_TRUE(cols[0].off);
    EXPECT_EQ(cols[1].value, "1");
    EXPECT_FALSE(cols[1].off);
    EXPECT_EQ(cols[2].value, "2150");
    EXPECT_EQ(cols[3].value, "—");
}

TEST(PillText, PopupBarsMoveInWholePercents)
{
    EXPECT_EQ(PillText::barPercent(0.999), 99);
    EXPECT_DOUBLE_EQ(PillText::barFill(PillText::barPercent(0.999)), 0.99);
    EXPECT_EQ(PillText::barPercent(1.0), 100);
    EXPECT_DOUBLE_EQ(PillText::barFill(100), 1.0);
    EXPECT_EQ(PillText::barPercent(1.7), 170);
    EXPECT_DOUBLE_EQ(PillText::barFill(170), 1.0); // never past the track
    EXPECT_DOUBLE_EQ(PillText::barFill(-5), 0.0);
    EXPECT_EQ(PillText::barPercent(kNaN), 0);
    EXPECT_EQ(PillText::barPercent(kInf), std::numeric_limits<qint64>::max());
    EXPECT_EQ(PillText::versionText(""), "v" + appVersion()); // the build's own
    EXPECT_EQ(PillText::versionText("1.0.3"), "v1.0.3");
}

TEST(MiniSparkGeometry, LastFortySamplesScaledToTheirTop)
{
    EXPECT_TRUE(MiniSpark::points({}, 110, 14).isEmpty());

    const auto one = MiniSpark::points({3}, 110, 14);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0], QPointF(0, 0));

    const auto zeros = MiniSpark::points({0, 0, 0}, 110, 14);
    for (const QPointF &p : zeros)
        EXPECT_DOUBLE_EQ(p.y(), 14); // top is 0.0001, zeros sit on the bottom
    EXPECT_DOUBLE_EQ(zeros[2].x(), 110);

    QList<double> hundred;
    for (int i = 0; i < 100; ++i)
        hundred << i;
    const auto last = MiniSpark::points(hundred, 110, 14);
    ASSERT_EQ(last.size(), 40);
    EXPECT_DOUBLE_EQ(last.last().x(), 110);
    EXPECT_DOUBLE_EQ(last.last().y(), 0);                 // 99 is the top
    EXPECT_DOUBLE_EQ(last.first().y(), 14 * (1 - 60.0 / 99));

    const auto negative = MiniSpark::points({-1, 1}, 10, 10);
    EXPECT_DOUBLE_EQ(negative[0].y(), 20); // not clamped: below the frame
}
