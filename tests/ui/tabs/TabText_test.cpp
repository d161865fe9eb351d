// Texts and figures of the detail tabs: speed codes, power, display cells, process values
// and the battery card's figures and chart scale.
#include "notify/BatteryHistory.h"
#include "ui/tabs/BatteryHistoryPlot.h"
#include "ui/tabs/TabText.h"

#include "ui/tabs/TabsTestPrint.h"

#include <QMap>
#include <gtest/gtest.h>

#include <limits>

using namespace corvane;

namespace {

struct SpeedCase {
    const char *name;
    QStringList speeds;
    QString label;
};
TABS_PRINT_BY_NAME(SpeedCase)
class BestUsbSpeed : public ::testing::TestWithParam<SpeedCase> {};
TEST_P(BestUsbSpeed, TakesTheLargestRecognisedCode)
{
    EXPECT_EQ(TabText::usbSpeedLabel(TabText::bestSpeedCode(GetParam().speeds)), GetParam().label);
}
INSTANTIATE_TEST_SUITE_P(
    Ports, BestUsbSpeed,
    ::testing::Values(
        SpeedCase{"HighAndSuperPlus", {"High (480 Mb/s)", "Super+ (10 Gb/s)"}, "USB 3.1 (10 Gb/s)"},
        SpeedCase{"UnrecognisedOnly", {"Wireless"}, "—"},
        SpeedCase{"NoDevices", {}, "—"},
        SpeedCase{"LowSpeedOnly", {"Low (1.5 Mb/s)"}, "USB Low (1.5 Mb/s)"},
        SpeedCase{"EarlierMarkerWins", {"480 or 1.5"}, "USB 2.0 (480 Mb/s)"},
        SpeedCase{"TwentyGig", {"Full (12 Mb/s)", "Super+ 20 (20 Gb/s)"}, "USB 3.2 (20 Gb/s)"},
        SpeedCase{"FullSpeed", {"Full (12 Mb/s)", "Low (1.5 Mb/s)"}, "USB Full (12 Mb/s)"},
        SpeedCase{"SuperSpeed", {"Super (5 Gb/s)"}, "USB 3.0 (5 Gb/s)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PortsText, EachMonitorSpeedTextNamesItsOwnCode)
{
    // The monitor's texts for codes 0–5 must each map back to the same code.
    const QStringList texts = {"Low (1.5 Mb/s)", "Full (12 Mb/s)", "High (480 Mb/s)",
                               "Super (5 Gb/s)", "Super+ (10 Gb/s)", "Super+ 20 (20 Gb/s)"};
    for (int code = 0; code < texts.size(); ++code)
        EXPECT_EQ(TabText::speedCode(texts[code]), code) << texts[code].toStdString();
}

TEST(PortsText, DevicePowerAtFiveVolts)
{
    EXPECT_EQ(TabText::devicePowerText(0), QStringLiteral("0 mA · 0.00 W"));
    EXPECT_EQ(TabText::devicePowerText(900), QStringLiteral("900 mA · 4.50 W"));
    EXPECT_EQ(TabText::devicePowerText(500), QStringLiteral("500 mA · 2.50 W"));
    EXPECT_EQ(TabText::wattsText(7.125), QStringLiteral("7.12 W")); // printf rounds the tie to even
    EXPECT_EQ(TabText::wattsText(7.126), QStringLiteral("7.13 W"));
}

DisplayInfo builtInPanel()
{
    DisplayInfo d;
    d.name = QStringLiteral("Built-in Retina Display");
    d.isBuiltIn = d.isMain = d.supportsHDR = true;
    d.resolutionWidth = 1440;
    d.resolutionHeight = 900;
    d.pixelWidth = 2880;
    d.pixelHeight = 1800;
    d.nativeWidth = 2880;
    d.nativeHeight = 1800;
    d.refreshHz = 59.94;
    d.maxRefreshHz = 119.5;
    d.bitsPerColor = 8;
    d.colorSpaceName = QStringLiteral("sRGB");
    d.maxEDR = 1;
    d.transport = QStringLiteral("eDP");
    d.vendorCode = 0x610;
    d.productCode = 0xA050;
    d.serial = 0;
    d.diagonalInches = 13.3;
    return d;
}

TEST(DisplayText, SummaryAndDiagonal)
{
    const DisplayInfo d = builtInPanel();
    EXPECT_EQ(TabText::summaryLine(d), QStringLiteral("1440 × 900 @ 60Hz · 8-bit · sRGB"));
    EXPECT_EQ(TabText::diagonalText(13.3), QStringLiteral("13.3\""));
    EXPECT_EQ(TabText::roundedHz(0.5), QStringLiteral("1"));
    EXPECT_EQ(TabText::roundedHz(74.4), QStringLiteral("74"));
    EXPECT_EQ(TabText::roundedHz(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("—"));
    EXPECT_EQ(TabText::roundedHz(1e300), QStringLiteral("—"));
    EXPECT_EQ(TabText::roundedHz(0), QStringLiteral("—"));
}

// A virtual screen (Xvfb, a VM) has no refresh, no EDID and no known connector: no figures.
TEST(DisplayText, VirtualScreenShowsDashesNotZeros)
{
    DisplayInfo d;
    d.resolutionWidth = 1280;
    d.resolutionHeight = 800;
    d.bitsPerColor = 8;
    d.colorSpaceName = QStringLiteral("—");
    d.transport = QStringLiteral("—");
    d.supportedModes = {{1280, 800, 0}};
    EXPECT_EQ(TabText::summaryLine(d), QStringLiteral("1280 × 800 @ — · 8-bit · —"));
    QMap<QString, QString> cells;
    for (const auto &[label, value] : TabText::detailCells(d))
        cells[label] = value;
    EXPECT_EQ(cells.value("Refresh maxim"), QStringLiteral("—"));
    EXPECT_EQ(cells.value("Refresh curent"), QStringLiteral("—"));
    EXPECT_EQ(cells.value("Vendor / Product"), QStringLiteral("—"));
    EXPECT_EQ(cells.value("Conexiune"), QStringLiteral("—"));
    EXPECT_EQ(TabText::modeLines(d), QStringList{QStringLiteral("• 1280 × 800 @ —")});
    // A product code alone is a reading.
    d.productCode = 0x1234;
    EXPECT_EQ(TabText::detailCells(d)[8].second, QStringLiteral("0x0000 / 0x1234"));
}

TEST(DisplayText, CellsWithoutYearLeaveItsPlace)
{
    DisplayInfo d = builtInPanel();
    auto cells = TabText::detailCells(d);
    ASSERT_EQ(cells.size(), 13);
    EXPECT_EQ(cells[2], qMakePair(QStringLiteral("Refresh maxim"), QStringLiteral("120 Hz")));
    EXPECT_EQ(cells[3], qMakePair(QStringLiteral("Refresh curent"), QStringLiteral("60 Hz")));
    EXPECT_EQ(cells[6], qMakePair(QStringLiteral("HDR (EDR max)"), QStringLiteral("1.00×")));
    EXPECT_EQ(cells[8], qMakePair(QStringLiteral("Vendor / Product"), QStringLiteral("0x0610 / 0xA050")));
    EXPECT_EQ(cells[9], qMakePair(QStringLiteral("Serial"), QStringLiteral("—")));
    EXPECT_EQ(cells[10].first, QStringLiteral("Oglindire")); // the mirror cell moves up
    EXPECT_EQ(cells[12], qMakePair(QStringLiteral("Diagonală"), QStringLiteral("13.3 inch")));

    d.yearOfManufacture = 2021;
    d.serial = 123456;
    d.vendorCode = 0x12345;
    d.isAsleep = true;
    cells = TabText::detailCells(d);
    ASSERT_EQ(cells.size(), 14);
    EXPECT_EQ(cells[8].second, QStringLiteral("0x12345 / 0xA050"));
    EXPECT_EQ(cells[9].second, QStringLiteral("123456"));
    EXPECT_EQ(cells[10], qMakePair(QStringLiteral("Anul fabricației"), QStringLiteral("2021")));
    EXPECT_EQ(cells[12], qMakePair(QStringLiteral("Stare"), QStringLiteral("Adormit")));
}

struct ModeCase {
    const char *name;
    int modes;
    int lines;
};
TABS_PRINT_BY_NAME(ModeCase)
class DisplayModes : public ::testing::TestWithParam<ModeCase> {};
TEST_P(DisplayModes, FirstEightInListOrder)
{
    DisplayInfo d;
    for (int i = 0; i < GetParam().modes; ++i)
        d.supportedModes.append({2560 - i * 100, 1600, 59.94});
    const QStringList lines = TabText::modeLines(d);
    ASSERT_EQ(lines.size(), GetParam().lines);
    if (!lines.isEmpty()) {
        EXPECT_EQ(lines.first(), QStringLiteral("• 2560 × 1600 @ 60 Hz"));
    }
    if (lines.size() == 8) {
        EXPECT_EQ(lines.last(), QStringLiteral("• 1860 × 1600 @ 60 Hz"));
    }
}
INSTANTIATE_TEST_SUITE_P(DisplayText, DisplayModes,
                         ::testing::Values(ModeCase{"Twelve", 12, 8}, ModeCase{"Eight", 8, 8}, ModeCase{"Three", 3, 3},
                                           ModeCase{"None", 0, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ActivityText, BarsFillAtTwoCoresAndAtTheMachinesMemory)
{
    EXPECT_EQ(TabText::cpuText(250), QStringLiteral("250.0%"));
    EXPECT_EQ(TabText::cpuFraction(250), 1.0);
    EXPECT_EQ(TabText::cpuFraction(100), 0.5);
    EXPECT_EQ(TabText::cpuFraction(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(TabText::memoryFraction(32e9, 16e9), 1.0);
    EXPECT_EQ(TabText::memoryFraction(4e9, 0), 0.0);
    EXPECT_EQ(TabText::memoryFraction(4e9, 16e9), 0.25);
    EXPECT_EQ(TabText::processCountText(312), QStringLiteral("312 procese active"));
}

QVariantList snaps(std::initializer_list<std::pair<std::optional<double>, std::optional<qint64>>> healthAndCycles)
{
    QVariantList out;
    for (const auto &[h, c] : healthAndCycles) {
        BatterySnapshot s;
        s.healthPercent = h;
        s.cycleCount = c;
        out << QVariant::fromValue(s);
    }
    return out;
}

TEST(BatteryCard, FiguresOverAllRecordsOfTheRange)
{
    // Nothing in the range (no battery, no snapshots): no figures, not a 0 % health.
    auto f = TabText::batteryFigures({});
    EXPECT_EQ(f["health"].toString(), QStringLiteral("—"));
    EXPECT_EQ(f["delta"].toString(), QStringLiteral("—"));
    EXPECT_EQ(f["cycles"].toString(), QStringLiteral("—"));

    f = TabText::batteryFigures(snaps({{90, 100}, {91, 101}, {95, 104}}));
    EXPECT_EQ(f["health"].toString(), QStringLiteral("92.0%"));
    EXPECT_EQ(f["delta"].toString(), QStringLiteral("+4"));
    EXPECT_EQ(f["cycles"].toString(), QStringLiteral("104"));

    // Figures a gauge never gave count for nothing; with none at all, no figure.
    f = TabText::batteryFigures(snaps({{{}, {}}, {90, 100}, {94, {}}, {{}, 104}}));
    EXPECT_EQ(f["health"].toString(), QStringLiteral("92.0%"));
    EXPECT_EQ(f["delta"].toString(), QStringLiteral("+4"));
    EXPECT_EQ(f["cycles"].toString(), QStringLiteral("104"));
    f = TabText::batteryFigures(snaps({{{}, {}}, {{}, {}}}));
    EXPECT_EQ(f["health"].toString(), QStringLiteral("—"));
    EXPECT_EQ(f["delta"].toString(), QStringLiteral("—"));
    EXPECT_EQ(f["cycles"].toString(), QStringLiteral("—"));

    // A new battery with fewer cycles: never a "+-" text.
    f = TabText::batteryFigures(snaps({{90, 300}, {100, 2}}));
    EXPECT_EQ(f["delta"].toString(), QStringLiteral("+0"));
    EXPECT_EQ(TabText::snapshotCountText(0), QStringLiteral("0 snap-uri"));
}

TEST(BatteryCard, ChartScales)
{
    // Equal health ≥ 51 runs along the top edge; the bottom bound stays at 50.
    QPolygonF p = batterychart::healthPoints({88, 88, 88}, 200, 100);
    ASSERT_EQ(p.size(), 3);
    EXPECT_DOUBLE_EQ(p[0].y(), 0);
    EXPECT_DOUBLE_EQ(p[2].x(), 200);
    p = batterychart::healthPoints({100, 40}, 100, 100);
    EXPECT_DOUBLE_EQ(p[0].y(), 0);
    EXPECT_GT(p[1].y(), 100); // under 50 %: below the area
    // One day: the step is the width (no division by zero).
    p = batterychart::healthPoints({90}, 100, 100);
    EXPECT_DOUBLE_EQ(p[0].x(), 0);
    // Unchanged cycles lie on the bottom edge.
    p = batterychart::cyclePoints({120, 120, 120}, 3, 100, 50);
    for (const QPointF &pt : p)
        EXPECT_DOUBLE_EQ(pt.y(), 50);
    p = batterychart::cyclePoints({100, 110}, 2, 100, 50);
    EXPECT_DOUBLE_EQ(p[1].y(), 0);
}

} // namespace
