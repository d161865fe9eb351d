#include "fakes/FakeClock.h"
#include "fakes/FakeDisplaySource.h"
#include "monitors/DisplayMonitor.h"
#include "ui/tabs/TabText.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "support/ParamNames.h"
#include <gtest/gtest.h>

#include <cmath>

using namespace corvane;
using namespace corvane::test;

namespace {

using Mode = SupportedMode;

DisplayFacts external()
{
    DisplayFacts f;
    f.screenName = QStringLiteral("HDMI-A-1");
    f.currentMode = DisplayFacts::CurrentMode{2560, 1440, 2560, 1440, 60.0, QStringLiteral("24")};
    f.screen = DisplayFacts::Screen{60.0, std::nullopt, std::nullopt};
    return f;
}

QList<Mode> modes(std::initializer_list<Mode> l) { return QList<Mode>(l); }

QByteArray edidFixture(const char *name)
{
    QFile f(QStringLiteral(CORVANE_FIXTURES "/drm/edid/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(DisplayInfoTest, NoCurrentModeFallsBackToPixelSizeAndScreenRate)
{
    DisplayFacts f;
    f.pixelsWide = 1280;
    f.pixelsHigh = 800;
    f.screen = DisplayFacts::Screen{120.0, std::nullopt, std::nullopt};
    auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.resolutionWidth, 1280);
    EXPECT_EQ(d.pixelWidth, 1280);
    EXPECT_EQ(d.resolutionHeight, 800);
    EXPECT_EQ(d.pixelHeight, 800);
    EXPECT_EQ(d.refreshHz, 120.0);
    EXPECT_EQ(d.bitsPerColor, 8);
    f.screen.reset();
    d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.refreshHz, 0.0);
}

TEST(DisplayInfoTest, ZeroModeRateTakesTheScreenRateButNotTheMaximum)
{
    DisplayFacts f = external();
    f.currentMode->refresh = 0;
    f.screen->maximumFramesPerSecond = 120;
    f.modes = {{2560, 1440, 0}, {1920, 1080, 0}};
    const auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.refreshHz, 120.0);
    EXPECT_EQ(d.maxRefreshHz, 0.0);
}

TEST(DisplayInfoTest, EmptyModeListUsesTheCurrentMode)
{
    DisplayFacts f = external();
    f.currentMode->pixelWidth = 5120;
    f.currentMode->pixelHeight = 2880;
    const auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.maxRefreshHz, 60.0);
    EXPECT_EQ(d.nativeWidth, 5120);
    EXPECT_EQ(d.nativeHeight, 2880);
    EXPECT_TRUE(d.supportedModes.isEmpty());
}

TEST(DisplayInfoTest, ModesSortByWidthThenRateKeepingListedOrder)
{
    DisplayFacts f = external();
    f.modes = {{1920, 1080, 60}, {2560, 1440, 60}, {2560, 1600, 60}, {2560, 1440, 120}};
    const auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.supportedModes,
              modes({{2560, 1440, 120}, {2560, 1440, 60}, {2560, 1600, 60}, {1920, 1080, 60}}));
    EXPECT_EQ(d.maxRefreshHz, 120.0);
    EXPECT_EQ(d.nativeWidth, 2560); // from the unsorted list
    EXPECT_EQ(d.nativeHeight, 1600);
}

TEST(DisplayInfoTest, FirstOfEqualAreasGivesTheNativeSize)
{
    DisplayFacts f = external();
    f.modes = {{1600, 1200, 60}, {1920, 1000, 60}, {1200, 1600, 60}};
    const auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.nativeWidth, 1600);
    EXPECT_EQ(d.nativeHeight, 1200);
}

TEST(DisplayInfoTest, BrokenRatesCountAsUnknown)
{
    DisplayFacts f = external();
    f.currentMode->refresh = std::nan("");
    f.screen->maximumFramesPerSecond = INFINITY;
    f.modes = {{1920, 1080, std::nan("")}, {1920, 1080, 75}, {2560, 1440, -INFINITY}};
    const auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.refreshHz, 0.0);
    EXPECT_EQ(d.maxRefreshHz, 75.0);
    EXPECT_EQ(d.supportedModes, modes({{2560, 1440, 0}, {1920, 1080, 75}, {1920, 1080, 0}}));
}

TEST(DisplayInfoTest, ScreenPropertiesAndTheirAbsence)
{
    DisplayFacts f = external();
    auto d = DisplayMonitor::makeDisplayInfo(f); // Linux: no EDR figure, no colour-space name
    EXPECT_FALSE(d.supportsHDR);
    EXPECT_EQ(d.maxEDR, 1.0);
    EXPECT_EQ(d.colorSpaceName, QStringLiteral("—"));
    f.screen->maxEDR = 1.0;
    EXPECT_FALSE(DisplayMonitor::makeDisplayInfo(f).supportsHDR);
    f.screen->maxEDR = 1.5;
    f.screen->colorSpaceName = QStringLiteral("Display P3");
    d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_TRUE(d.supportsHDR);
    EXPECT_EQ(d.colorSpaceName, QStringLiteral("Display P3"));
    f.screen.reset();
    d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_FALSE(d.supportsHDR);
    EXPECT_EQ(d.maxEDR, 1.0);
}

TEST(DisplayInfoTest, DiagonalFromThePhysicalSize)
{
    DisplayFacts f = external();
    f.physicalWidthMM = 600;
    f.physicalHeightMM = 340;
    EXPECT_NEAR(DisplayMonitor::makeDisplayInfo(f).diagonalInches, 27.15, 0.005);
    f.physicalWidthMM = std::nan("");
    f.physicalHeightMM = 0;
    EXPECT_EQ(DisplayMonitor::makeDisplayInfo(f).diagonalInches, 0.0);
}

TEST(DisplayInfoTest, NamesAndTransports)
{
    DisplayFacts f;
    f.builtIn = true;
    f.transport = QStringLiteral("HDMI"); // not consulted for a built-in display
    auto d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.name, QStringLiteral("Built-in Display"));
    EXPECT_EQ(d.transport, QStringLiteral("Internal"));
    EXPECT_FALSE(d.yearOfManufacture);
    EXPECT_FALSE(d.yearOfManufactureVariant().isValid());

    f = external();
    d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.name, QStringLiteral("External Display"));
    EXPECT_EQ(d.transport, QStringLiteral("—")); // nothing says how it is connected
    f.productName = QStringLiteral("DELL U2719D");
    f.transport = QStringLiteral("DisplayPort");
    f.yearOfManufacture = 2019;
    d = DisplayMonitor::makeDisplayInfo(f);
    EXPECT_EQ(d.name, QStringLiteral("DELL U2719D"));
    EXPECT_EQ(d.transport, QStringLiteral("DisplayPort"));
    EXPECT_EQ(d.yearOfManufactureVariant(), QVariant(2019));
}

struct LabelCase {
    SupportedMode mode;
    const char *text;
};
class ModeLabel : public ::testing::TestWithParam<LabelCase> {};
TEST_P(ModeLabel, RoundsHalfAwayFromZero)
{
    EXPECT_EQ(GetParam().mode.label(), QString::fromUtf8(GetParam().text));
}
INSTANTIATE_TEST_SUITE_P(Cases, ModeLabel,
                         ::testing::Values(LabelCase{{2560, 1440, 59.94}, "2560 × 1440 @ 60 Hz"},
                                           LabelCase{{640, 480, 0}, "640 × 480 @ —"},
                                           LabelCase{{640, 480, 29.5}, "640 × 480 @ 30 Hz"},
                                           LabelCase{{640, 480, 74.49}, "640 × 480 @ 74 Hz"},
                                           LabelCase{{640, 480, std::nan("")}, "640 × 480 @ —"},
                                           LabelCase{{640, 480, 1e300}, "640 × 480 @ —"}),
    [](const auto &i) { return "At" + corvane::test::numberName(i.param.mode.refresh) + "Hz"; });

struct BitsCase {
    const char *encoding;
    int bits;
};
class BitsPerColor : public ::testing::TestWithParam<BitsCase> {};
TEST_P(BitsPerColor, SubstringsInOrder)
{
    EXPECT_EQ(DisplayMonitor::bitsPerColor(QString::fromLatin1(GetParam().encoding)), GetParam().bits);
}
INSTANTIATE_TEST_SUITE_P(Cases, BitsPerColor,
                         ::testing::Values(BitsCase{"64", 16}, BitsCase{"30", 10}, BitsCase{"16", 5},
                                           BitsCase{"24", 8}, BitsCase{"", 8}, BitsCase{"1664", 16},
                                           BitsCase{"3016", 10}),
    [](const auto &i) { return "Encoding" + corvane::test::textName(i.param.encoding); });

// ---- a laptop with its panel and an HDMI monitor ----

namespace {

std::vector<ScreenFacts> laptopScreens(const QString &hdmiName)
{
    ScreenFacts edp;
    edp.name = QStringLiteral("eDP-1");
    edp.geometry = QRect(0, 0, 1536, 864);
    edp.devicePixelRatio = 1.25;
    edp.refreshRate = 60.0;
    edp.physicalWidthMm = 300; // Qt's figure loses to the EDID's
    edp.physicalHeightMm = 170;
    edp.depth = 24;
    edp.primary = true;
    ScreenFacts hdmi;
    hdmi.name = hdmiName;
    hdmi.geometry = QRect(1536, 0, 2560, 1440);
    hdmi.refreshRate = 59.951;
    hdmi.depth = 30;
    return {edp, hdmi};
}

DisplaySourceSnapshot laptopSource()
{
    DisplaySourceSnapshot s;
    s.connectors = readDrmConnectors(QStringLiteral(CORVANE_FIXTURES "/drm/laptop"));
    return s;
}

} // namespace

TEST(DisplayMergeTest, LaptopWithoutRandR)
{
    const auto facts = DisplayMonitor::mergeFacts(laptopScreens(QStringLiteral("HDMI-A-1")), laptopSource());
    ASSERT_EQ(facts.size(), 2u);
    const auto panel = DisplayMonitor::makeDisplayInfo(facts[0]);
    EXPECT_EQ(panel.screenName, QStringLiteral("eDP-1"));
    EXPECT_EQ(panel.id, DisplayMonitor::displayId(QStringLiteral("eDP-1")));
    EXPECT_EQ(panel.name, QStringLiteral("Built-in Display"));
    EXPECT_TRUE(panel.isBuiltIn);
    EXPECT_TRUE(panel.isMain);
    EXPECT_FALSE(panel.isMirror);
    EXPECT_FALSE(panel.isAsleep);
    EXPECT_EQ(panel.resolutionWidth, 1536);
    EXPECT_EQ(panel.pixelWidth, 1920);
    EXPECT_EQ(panel.pixelHeight, 1080);
    EXPECT_EQ(panel.refreshHz, 60.0);
    EXPECT_EQ(panel.supportedModes, modes({{1920, 1080, 60.0}})); // only the mode in use is known
    EXPECT_EQ(panel.physicalWidthMM, 309.0);
    EXPECT_EQ(panel.physicalHeightMM, 174.0);
    EXPECT_EQ(panel.vendorCode, 0x09e5u); // "BOE"
    EXPECT_EQ(panel.productCode, 0x0a1bu);
    EXPECT_EQ(panel.serial, 0u);
    EXPECT_EQ(panel.yearOfManufacture, 2021);
    EXPECT_EQ(panel.transport, QStringLiteral("Internal"));
    EXPECT_EQ(panel.bitsPerColor, 8);

    const auto monitor = DisplayMonitor::makeDisplayInfo(facts[1]);
    EXPECT_EQ(monitor.name, QStringLiteral("DELL U2719D"));
    EXPECT_FALSE(monitor.isBuiltIn);
    EXPECT_FALSE(monitor.isMain);
    EXPECT_EQ(monitor.transport, QStringLiteral("HDMI"));
    EXPECT_EQ(monitor.vendorCode, 0x10acu);
    EXPECT_EQ(monitor.serial, 0x4c4f4e47u);
    EXPECT_EQ(monitor.yearOfManufacture, 2019);
    EXPECT_NEAR(monitor.diagonalInches, 26.98, 0.01);
    EXPECT_EQ(monitor.bitsPerColor, 10);
    EXPECT_NE(monitor.id, panel.id);
}

TEST(DisplayMergeTest, DetailsOfAnOldPaddedEdidShowItsRealSizeAndName)
{
    auto src = laptopSource();
    for (auto &c : src.connectors)
        if (c.name == u"HDMI-A-1")
            c.edid = edidFixture("crt-edid10-padded.bin");
    const auto facts = DisplayMonitor::mergeFacts(laptopScreens(QStringLiteral("HDMI-A-1")), src);
    ASSERT_EQ(facts.size(), 2u);
    const auto crt = DisplayMonitor::makeDisplayInfo(facts[1]);
    EXPECT_EQ(crt.name, QStringLiteral("Acer"));
    EXPECT_EQ(crt.physicalWidthMM, 320.0); // the centimetre bytes, not 1 x 257 mm
    EXPECT_EQ(crt.physicalHeightMM, 240.0);
    const auto cells = TabText::detailCells(crt);
    const auto diagonal = std::find_if(cells.begin(), cells.end(), [](const auto &c) { return c.first == u"Diagonală"; });
    ASSERT_NE(diagonal, cells.end());
    EXPECT_EQ(diagonal->second, QStringLiteral("15.7 inch"));
}

// A television whose basic block gives its aspect ratio as 160 x 90 cm; the X server passes
// that on as 1600 x 900 mm. Its timing says 885 x 498 mm.
TEST(DisplayMergeTest, TelevisionWithAnAspectRatioForCentimetres)
{
    auto diagonalWith = [](const QByteArray &edid) {
        auto src = laptopSource();
        for (auto &c : src.connectors)
            if (c.name == u"HDMI-A-1")
                c.edid = edid;
        XOutputFacts hdmi;
        hdmi.name = QStringLiteral("HDMI-1");
        hdmi.connected = true;
        hdmi.currentMode = DisplayModeFacts{1920, 1080, 60.0};
        hdmi.modes = {{1920, 1080, 60.0}};
        hdmi.crtcGeometry = QRect(1920, 0, 1920, 1080);
        hdmi.widthMm = 1600;
        hdmi.heightMm = 900;
        hdmi.edid = edid;
        src.xOutputs = std::vector<XOutputFacts>{hdmi};
        auto screens = laptopScreens(QStringLiteral("HDMI-1"));
        screens[1].physicalWidthMm = 1600;
        screens[1].physicalHeightMm = 900;
        const auto facts = DisplayMonitor::mergeFacts(screens, src);
        return facts.size() == 2
            ? TabText::diagonalText(DisplayMonitor::makeDisplayInfo(facts[1]).diagonalInches).toStdString()
            : std::string("no display");
    };
    const QByteArray tv = edidFixture("hdmi-tv-ratio-cm.bin");
    EXPECT_EQ(diagonalWith(tv), "40.0\"");
    // A timing size of another shape than its pixels (885 x 200 mm for 1920 x 1080) settles nothing.
    QByteArray oddTiming = tv;
    oddTiming[54 + 13] = static_cast<char>(200);
    oddTiming[54 + 14] = 0x30;
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(oddTiming[i]));
    oddTiming[127] = static_cast<char>(static_cast<uint8_t>(256 - sum));
    EXPECT_EQ(diagonalWith(oddTiming), "0.0\""); // unknown, not RandR's 72"
    // A receiver whose timing repeats the ratio as 1600 x 900 mm: unknown as well.
    EXPECT_EQ(diagonalWith(edidFixture("hdmi-receiver-placeholder.bin")), "0.0\"");
}

TEST(DisplayMergeTest, LaptopOnX11MatchesOutputsByEdid)
{
    auto src = laptopSource();
    XOutputFacts edp;
    edp.name = QStringLiteral("eDP-1");
    edp.connected = true;
    edp.currentMode = DisplayModeFacts{1920, 1080, 60.01};
    edp.modes = {{1920, 1080, 60.01}, {1920, 1080, 48.0}, {1680, 1050, 59.95}};
    edp.crtcGeometry = QRect(0, 0, 1920, 1080);
    edp.edid = edidFixture("edp-boe.bin");
    XOutputFacts hdmi; // the modesetting driver's name for HDMI-A-1
    hdmi.name = QStringLiteral("HDMI-1");
    hdmi.connected = true;
    hdmi.currentMode = DisplayModeFacts{2560, 1440, 59.951};
    hdmi.modes = {{2560, 1440, 59.951}, {1920, 1080, 60.0}, {2560, 1440, 74.97}, {1920, 1080, 50.0}};
    hdmi.crtcGeometry = QRect(1920, 0, 2560, 1440);
    hdmi.edid = edidFixture("hdmi-dell.bin");
    XOutputFacts off;
    off.name = QStringLiteral("DP-1");
    src.xOutputs = std::vector<XOutputFacts>{edp, off, hdmi};

    auto screens = laptopScreens(QStringLiteral("HDMI-1"));
    screens[0].geometry = QRect(0, 0, 1920, 1080);
    screens[0].devicePixelRatio = 1;
    const auto facts = DisplayMonitor::mergeFacts(screens, src);
    ASSERT_EQ(facts.size(), 2u);
    const auto panel = DisplayMonitor::makeDisplayInfo(facts[0]);
    EXPECT_EQ(panel.refreshHz, 60.01);
    EXPECT_EQ(panel.maxRefreshHz, 60.01);
    EXPECT_EQ(panel.supportedModes, modes({{1920, 1080, 60.01}, {1920, 1080, 48.0}, {1680, 1050, 59.95}}));
    const auto monitor = DisplayMonitor::makeDisplayInfo(facts[1]);
    EXPECT_EQ(monitor.screenName, QStringLiteral("HDMI-1"));
    EXPECT_EQ(monitor.name, QStringLiteral("DELL U2719D"));
    EXPECT_EQ(monitor.transport, QStringLiteral("HDMI"));
    EXPECT_EQ(monitor.maxRefreshHz, 74.97);
    EXPECT_EQ(monitor.nativeWidth, 2560);
    EXPECT_EQ(monitor.supportedModes,
              modes({{2560, 1440, 74.97}, {2560, 1440, 59.951}, {1920, 1080, 60.0}, {1920, 1080, 50.0}}));
    EXPECT_EQ(monitor.physicalWidthMM, 597.0);
}

TEST(DisplayMergeTest, MirrorsAndSleepingDisplays)
{
    auto src = laptopSource();
    for (auto &c : src.connectors)
        if (c.name == u"HDMI-A-1")
            c.dpms = QStringLiteral("Off");
    auto screens = laptopScreens(QStringLiteral("HDMI-A-1"));
    screens[1].geometry = screens[0].geometry; // the same picture on both
    const auto facts = DisplayMonitor::mergeFacts(screens, src);
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_TRUE(facts[0].mirror);
    EXPECT_TRUE(facts[1].mirror);
    EXPECT_FALSE(facts[0].asleep);
    EXPECT_TRUE(facts[1].asleep);
}

// A virtual display (Xvfb, a VM, a remote desktop): its modes have no timings and its output
// no size, while Qt still says 60 Hz and sizes it at 96 dpi. The tab shows neither.
TEST(DisplayMergeTest, VirtualOutputWithoutTimingsOrSizeShowsDashes)
{
    ScreenFacts s;
    s.name = QStringLiteral("screen");
    s.geometry = QRect(0, 0, 1280, 800);
    s.refreshRate = 60;
    s.physicalWidthMm = 338.7;
    s.physicalHeightMm = 211.7;
    s.depth = 24;
    s.primary = true;
    XOutputFacts o;
    o.name = QStringLiteral("screen");
    o.connected = true;
    o.currentMode = DisplayModeFacts{1280, 800, 0};
    o.modes = {{1280, 800, 0}, {1024, 768, 0}};
    o.crtcGeometry = s.geometry;
    DisplaySourceSnapshot src;
    src.xOutputs = std::vector<XOutputFacts>{o};
    const auto facts = DisplayMonitor::mergeFacts({s}, src);
    ASSERT_EQ(facts.size(), 1u);
    const auto d = DisplayMonitor::makeDisplayInfo(facts[0]);
    EXPECT_EQ(TabText::summaryLine(d), QStringLiteral("1280 × 800 @ — · 8-bit · —"));
    EXPECT_EQ(d.diagonalInches, 0.0);
    QStringList shown;
    for (const auto &[label, value] : TabText::detailCells(d))
        if (label.startsWith(u"Refresh") || label == u"Diagonală")
            shown << label + QLatin1Char(' ') + value;
    EXPECT_EQ(shown.join(QStringLiteral(", ")), QStringLiteral("Refresh maxim —, Refresh curent —, Diagonală —"));
    EXPECT_EQ(TabText::modeLines(d), QStringList({QStringLiteral("• 1280 × 800 @ —"), QStringLiteral("• 1024 × 768 @ —")}));
}

TEST(DisplayMergeTest, UnknownScreenHasOnlyQtsFacts)
{
    ScreenFacts s;
    s.name = QStringLiteral("Virtual-1");
    s.geometry = QRect(0, 0, 1024, 768);
    s.refreshRate = std::nan("");
    s.physicalWidthMm = 270;
    s.physicalHeightMm = 203;
    const auto facts = DisplayMonitor::mergeFacts({s}, {});
    ASSERT_EQ(facts.size(), 1u);
    const auto d = DisplayMonitor::makeDisplayInfo(facts[0]);
    EXPECT_EQ(d.name, QStringLiteral("External Display"));
    EXPECT_EQ(d.transport, QStringLiteral("—"));
    EXPECT_EQ(d.refreshHz, 0.0);
    EXPECT_EQ(d.physicalWidthMM, 270.0);
    EXPECT_EQ(d.vendorCode, 0u);
    EXPECT_FALSE(d.yearOfManufacture);
}

// ---- the monitor ----

TEST(DisplayMonitorTest, ReadsOnItsThreadAtOnceAndOnRequest)
{
    FakeClock clock;
    auto shared = std::make_shared<FakeDisplaySource::Shared>();
    shared->snapshot = laptopSource();
    DisplayMonitor m(std::make_unique<FakeDisplaySource>(shared), [] { return laptopScreens(QStringLiteral("HDMI-A-1")); },
                     clock, true);
    EXPECT_TRUE(m.displays().isEmpty());
    QSignalSpy spy(&m, &DisplayMonitor::updated);
    ASSERT_TRUE(spy.wait(2000));
    ASSERT_EQ(m.displays().size(), 2);
    EXPECT_EQ(m.displays()[1].name, QStringLiteral("DELL U2719D"));
    EXPECT_EQ(m.displaysVariant().size(), 2);
    {
        std::lock_guard l(shared->lock);
        EXPECT_EQ(shared->lastThread, QStringLiteral("corvane.display-sampler"));
    }
    m.refresh(); // a screen changed
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(shared->reads.load(), 2);
    m.stop();
    m.refresh(); // not while stopped
    EXPECT_FALSE(spy.wait(300));
}

TEST(DisplayMonitorTest, ThisMachineWithoutDisplaysPublishesAnEmptyList)
{
    DisplayMonitor m; // real backends; the tests run offscreen
    QSignalSpy spy(&m, &DisplayMonitor::updated);
    ASSERT_TRUE(spy.wait(2000));
    if (QGuiApplication::platformName() == u"offscreen") {
        EXPECT_TRUE(m.displays().isEmpty());
    }
}
