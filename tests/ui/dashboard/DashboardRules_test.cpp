// The dashboard's rules: texts, thresholds, fan ranges, Wi-Fi bands and the favourites text.
#include "monitors/SMCMonitor.h"
#include "ui/dashboard/DashboardRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;
using namespace corvane::dashboard;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();


SMCFanReading fan(int index, double rpm, double lo, double hi, const char *name = "Ventilator")
{
    SMCFanReading f;
    f.index = index;
    f.name = QString::fromUtf8(name);
    f.rpm = rpm;
    f.minRPM = lo;
    f.maxRPM = hi;
    return f;
}
} // namespace

struct GreetingCase {
    int hour;
    int minute;
    const char *text;
};
class Greeting : public ::testing::TestWithParam<GreetingCase> {};
TEST_P(Greeting, ChangesAtTheHour)
{
    const auto &c = GetParam();
    const QDateTime at(QDate(2024, 3, 5), QTime(c.hour, c.minute));
    EXPECT_EQ(greetingText(at), QString::fromUtf8(c.text));
}
INSTANTIATE_TEST_SUITE_P(Dashboard, Greeting,
                         ::testing::Values(GreetingCase{4, 59, "Noapte bună"}, GreetingCase{5, 0, "Bună dimineața"},
                                           GreetingCase{11, 59, "Bună dimineața"}, GreetingCase{12, 0, "Bună ziua"},
                                           GreetingCase{17, 59, "Bună ziua"}, GreetingCase{18, 0, "Bună seara"},
                                           GreetingCase{22, 59, "Bună seara"}, GreetingCase{23, 0, "Noapte bună"},
                                           GreetingCase{0, 0, "Noapte bună"}),
                         [](const auto &i) {
                             return "at_" + std::to_string(i.param.hour) + "_" + std::to_string(i.param.minute);
                         });

struct FavoriteCase {
    const char *name;
    const char *stored;
    const char *key;
    const char *after;
};
class Favorites : public ::testing::TestWithParam<FavoriteCase> {};
TEST_P(Favorites, ToggleRewritesSorted)
{
    const auto &c = GetParam();
    EXPECT_EQ(toggledFavorites(QString::fromUtf8(c.stored), QString::fromUtf8(c.key)), QString::fromUtf8(c.after));
}
INSTANTIATE_TEST_SUITE_P(
    Dashboard, Favorites,
    ::testing::Values(FavoriteCase{"first_key", "", "TC0P", "TC0P"},
                      FavoriteCase{"adds_in_order", "Tp09,TC0P", "TG0P", "TC0P,TG0P,Tp09"},
                      FavoriteCase{"removes_and_sorts_the_rest", "TG0P,TC0P,Tp09", "TG0P", "TC0P,Tp09"},
                      FavoriteCase{"last_one_leaves_empty", "TC0P", "TC0P", ""},
                      FavoriteCase{"stray_commas_dropped", ",TC0P,,TG0P,", "Tp09", "TC0P,TG0P,Tp09"},
                      FavoriteCase{"case_matters", "tc0p", "TC0P", "TC0P,tc0p"},
                      FavoriteCase{"duplicates_collapse", "TC0P,TC0P", "TG0P", "TC0P,TG0P"},
                      FavoriteCase{"separator_key_refused", "TC0P", "a,b", "TC0P"}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(DashboardFavorites, ParseKeepsPiecesAsWritten)
{
    EXPECT_TRUE(parseFavorites(QString()).isEmpty());
    EXPECT_TRUE(parseFavorites(QStringLiteral(",")).isEmpty());
    EXPECT_EQ(parseFavorites(QStringLiteral(" TC0P,TC0P")), (QSet<QString>{" TC0P", "TC0P"}));
}

struct BatteryCase {
    const char *name;
    double pct;
    bool charging;
    bool low;     // card form and ring colour
    bool lowChip; // "Sub 20%"
};
class BatteryStates : public ::testing::TestWithParam<BatteryCase> {};
TEST_P(BatteryStates, LowFormAndChip)
{
    const auto &c = GetParam();
    EXPECT_EQ(batteryLow(c.pct, c.charging), c.low);
    EXPECT_EQ(lowBatteryChip(c.pct, c.charging), c.lowChip);
}
INSTANTIATE_TEST_SUITE_P(Dashboard, BatteryStates,
                         ::testing::Values(BatteryCase{"exactly_20", 20.0, false, false, false},
                                           BatteryCase{"just_below", 19.9, false, true, true},
                                           BatteryCase{"empty", 0, false, true, false},
                                           BatteryCase{"low_but_charging", 5, true, false, false}),
                         [](const auto &i) { return std::string(i.param.name); });

TEST(DashboardBattery, ThermalAndAbsence)
{
    EXPECT_FALSE(thermalChip(40.0));
    EXPECT_TRUE(thermalChip(40.1));
}

struct FanCase {
    const char *name;
    double rpm, lo, hi;
    int percent;
};
class FanFraction : public ::testing::TestWithParam<FanCase> {};
TEST_P(FanFraction, Percent)
{
    const auto &c = GetParam();
    EXPECT_EQ(fanPercent(c.rpm, c.lo, c.hi), c.percent);
    EXPECT_DOUBLE_EQ(fanFraction(c.rpm, c.lo, c.hi), c.percent / 100.0);
}
INSTANTIATE_TEST_SUITE_P(Dashboard, FanFraction,
                         ::testing::Values(FanCase{"quarter", 2400, 1200, 6000, 25}, FanCase{"above_max", 7000, 1200, 6000, 100},
                                           FanCase{"below_min", 800, 1200, 6000, 0}, FanCase{"no_range", 2000, 0, 0, 0},
                                           FanCase{"stopped", 0, 0, 6000, 0}),
                         [](const auto &i) { return std::string(i.param.name); });

TEST(DashboardFans, SliderRangeAndTargets)
{
    EXPECT_EQ(fanSliderRange({}), (FanRange{1200, 6000}));
    EXPECT_EQ(fanSliderRange({fan(0, 2000, 0, 0), fan(1, 2000, 0, 0)}), (FanRange{1200, 6000}));
    const FanRange mixed = fanSliderRange({fan(0, 2000, 1200, 6000), fan(1, 2000, 1400, 5400)});
    EXPECT_EQ(mixed, (FanRange{1200, 6000}));
    EXPECT_DOUBLE_EQ(boostTarget(mixed), 4560);
    EXPECT_EQ(fanSliderRange({fan(0, 2000, kNaN, 6000)}), (FanRange{1200, 6000}));
    EXPECT_EQ(fanSliderRange({fan(0, 2000, 2000, 5000)}), (FanRange{2000, 5000}));
}

TEST(DashboardFans, CommandIndexAndBounds)
{
    EXPECT_EQ(commandFanIndex(true, -1), std::nullopt);
    EXPECT_EQ(commandFanIndex(true, 1), 1);
    EXPECT_EQ(commandFanIndex(false, 1), std::nullopt); // automatic control is always for every fan

    const QList<SMCFanReading> fans{fan(0, 2000, 1200, 6000), fan(1, 1800, 1300, 5500)};
    EXPECT_DOUBLE_EQ(boundedTarget(4560, 0, fans), 4560);
    EXPECT_DOUBLE_EQ(boundedTarget(1200, 1, fans), 1300); // never below the chosen fan's minimum
    EXPECT_DOUBLE_EQ(boundedTarget(6000, 1, fans), 5500);
    EXPECT_DOUBLE_EQ(boundedTarget(1000, std::nullopt, fans), 1200);
    EXPECT_DOUBLE_EQ(boundedTarget(3000, 7, fans), 3000); // unknown fan: the helper decides
    EXPECT_DOUBLE_EQ(boundedTarget(1000, 0, {fan(0, 2000, 0, 0)}), 1000);
}

TEST(DashboardFans, ScopeOptions)
{
    const auto two = fanScopeOptions({fan(0, 1, 0, 0, "Ventilator stânga"), fan(1, 1, 0, 0, "Ventilator dreapta")});
    ASSERT_EQ(two.size(), 3);
    EXPECT_EQ(two[0].toMap()["text"].toString(), QStringLiteral("Toate"));
    EXPECT_EQ(two[0].toMap()["value"].toInt(), -1);
    EXPECT_EQ(two[1].toMap()["text"].toString(), QStringLiteral("stânga"));
    EXPECT_EQ(two[2].toMap()["value"].toInt(), 1);
    const auto four = fanScopeOptions({fan(0, 1, 0, 0, "Ventilator 1"), fan(1, 1, 0, 0, "Ventilator 2"),
                                       fan(2, 1, 0, 0, "Ventilator 3"), fan(3, 1, 0, 0, "Ventilator 4")});
    EXPECT_EQ(four[4].toMap()["text"].toString(), QStringLiteral("4"));
    EXPECT_EQ(four[4].toMap()["value"].toInt(), 3);
}

struct WiFiCase {
    qint64 dbm;
    const char *symbol;
    const char *role;
    const char *word;
    double bar;
};
class WiFiBands : public ::testing::TestWithParam<WiFiCase> {};
TEST_P(WiFiBands, SymbolColourWordAndBar)
{
    const auto &c = GetParam();
    EXPECT_EQ(wifiSymbol(c.dbm), QString::fromUtf8(c.symbol));
    EXPECT_EQ(wifiColorRole(c.dbm), QString::fromUtf8(c.role));
    EXPECT_EQ(wifiQualityWord(c.dbm), QString::fromUtf8(c.word));
    EXPECT_NEAR(wifiBarFraction(c.dbm), c.bar, 1e-9);
}
INSTANTIATE_TEST_SUITE_P(Dashboard, WiFiBands,
                         ::testing::Values(WiFiCase{-95, "wifi.slash", "critical", "Slab", 0},
                                           WiFiCase{-85, "wifi.slash", "critical", "Slab", 5.0 / 60},
                                           WiFiCase{-80, "wifi.exclamationmark", "warning", "Mediu", 10.0 / 60},
                                           WiFiCase{-70, "wifi.exclamationmark", "warning", "Mediu", 1.0 / 3},
                                           WiFiCase{-55, "wifi", "accent", "Bun", 7.0 / 12},
                                           WiFiCase{-40, "wifi", "good", "Excelent", 5.0 / 6},
                                           WiFiCase{-30, "wifi", "good", "Excelent", 1},
                                           WiFiCase{5, "wifi", "secondary", "—", 1}),
                         [](const auto &i) {
                             return (i.param.dbm < 0 ? "minus_" : "plus_") + std::to_string(std::llabs(i.param.dbm));
                         });

TEST(DashboardCards, StorageLevelMeterAndAdapter)
{
    EXPECT_EQ(storageUse(1000, 250).used, 750);
    EXPECT_DOUBLE_EQ(storageUse(1000, 250).fraction, 0.75);
    EXPECT_EQ(storageUse(1000, 2000).used, 0); // free above capacity
    EXPECT_DOUBLE_EQ(storageUse(0, 0).fraction, 0);
    EXPECT_DOUBLE_EQ(levelMeterFraction(30, 0), 0.5);
    EXPECT_DOUBLE_EQ(levelMeterFraction(30, 120), 0.25);
    EXPECT_DOUBLE_EQ(levelMeterFraction(200, 60), 1);
    EXPECT_DOUBLE_EQ(levelMeterFraction(kNaN, 60), 0);
    EXPECT_DOUBLE_EQ(adapterFill(48, 96), 0.5);
    EXPECT_DOUBLE_EQ(adapterFill(48, 0), 0);
    EXPECT_DOUBLE_EQ(adapterFill(120, 96), 1);
    EXPECT_DOUBLE_EQ(adapterFill(-3, 96), 0);
    EXPECT_EQ(fpsBadgeText(59.7), QStringLiteral("59"));
    EXPECT_EQ(fpsBadgeText(kNaN), QStringLiteral("—"));
    EXPECT_EQ(fpsBadgeText(0), QStringLiteral("—")); // no display refresh followed
}

