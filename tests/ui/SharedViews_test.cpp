// The shared controls and effect views load cleanly and show the right texts.
#include "platform/Haptics.h"
#include "state/ThemeManager.h"
#include "support/QmlTestUtil.h"
#include "ui/shared/RasterItem.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using corvane::test::QmlHarness;

namespace {

struct ViewCase {
    const char *file;
    QVariantMap initial;
};

void PrintTo(const ViewCase &c, std::ostream *os) { *os << c.file; }

class ViewLoads : public ::testing::TestWithParam<ViewCase> {};

QVariantMap usb(const QVariant &vendor, int mA, bool builtIn)
{
    QVariantMap d{{"name", "Tastatură USB"}, {"portSpeed", "High (480 Mb/s)"}, {"powerMilliAmps", mA}, {"isBuiltIn", builtIn}};
    if (vendor.isValid())
        d.insert("vendor", vendor);
    return d;
}

QString textOf(QObject *root, const char *objectName)
{
    auto *o = root->findChild<QObject *>(QString::fromLatin1(objectName));
    return o ? o->property("text").toString() : QStringLiteral("<missing>");
}

// Visible items by name in paint order; walks the item tree, which also holds Repeater delegates.
void collectTexts(QQuickItem *item, const QString &name, QStringList &out)
{
    if (item->objectName() == name && item->isVisible())
        out << item->property("text").toString();
    for (QQuickItem *child : item->childItems())
        collectTexts(child, name, out);
}

QStringList textsOf(QObject *root, const char *objectName)
{
    QStringList out;
    collectTexts(qobject_cast<QQuickItem *>(root), QString::fromLatin1(objectName), out);
    return out;
}

} // namespace

TEST_P(ViewLoads, WithoutWarnings)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(GetParam().file)), GetParam().initial);
    ASSERT_TRUE(obj) << h.warnings().join('\n').toStdString();
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Shared, ViewLoads,
    ::testing::Values(
        ViewCase{"ParallaxLogo", {{"size", 120}}},
        ViewCase{"OnChangeCompat", {{"value", 3}}},
        ViewCase{"HapticButton", {{"text", "Pornește"}, {"compact", true}, {"symbol", "play.fill"}}},
        ViewCase{"VisualEffectBlur", {{"forceDark", true}}},
        ViewCase{"CascadeEntrance", {{"index", 2}, {"baseDelay", 0.1}}},
        ViewCase{"ShimmerText", {{"text", "CORVANE"}}},
        ViewCase{"Sparkline", {{"samples", QVariantList{1, 4, 2, 5}}, {"showPulse", true}, {"showGrid", true}, {"width", 200}, {"height", 60}}},
        ViewCase{"SpeedometerGauge", {{"value", 42}, {"maxValue", 100}, {"unit", "Mbps"}, {"label", "DOWNLOAD"}, {"width", 240}, {"height", 240}}},
        ViewCase{"ProgressBarRow", {{"value", 0.5}, {"label", "Presiune"}, {"trailing", "50%"}}},
        ViewCase{"USBRow", {{"device", usb("Logitech", 100, false)}}},
        ViewCase{"ChevronLabel", {{"title", "Continuă"}}},
        ViewCase{"BackChevronLabel", {}},
        ViewCase{"TickerLabel", {{"value", 12.5}}},
        ViewCase{"AnimatedNumberText", {{"value", 3}}},
        ViewCase{"AnimatedRing", {{"value", 0.4}, {"centerValue", 40}, {"subText", "CPU"}, {"showShimmer", true}, {"width", 140}, {"height", 140}}},
        ViewCase{"CASweepArc", {{"width", 40}, {"height", 40}}},
        ViewCase{"CAPulseRings", {{"width", 40}, {"height", 40}}},
        ViewCase{"CABlinkDot", {{"width", 10}, {"height", 10}}},
        ViewCase{"CARotatingImage", {{"imageName", "VexelMark"}, {"width", 60}, {"height", 60}}},
        ViewCase{"GhostVexelWatermark", {}}),
    [](const auto &info) { return std::string(info.param.file); });

TEST(OnChangeCompat, SkipsTheInitialAndRepeatedValues)
{
    QmlHarness h;
    h.engine().addImportPath(QStringLiteral("qrc:/")); // the module's qmldir lives at :/Corvane
    auto obj = h.create(R"(
        import QtQuick
        import Corvane
        Item {
            property int watched: 1
            property var seen: []
            OnChangeCompat { value: watched; onChanged: (v) => seen = seen.concat([v]) }
        }
    )");
    ASSERT_TRUE(obj) << h.warnings().join('\n').toStdString();
    EXPECT_TRUE(obj->property("seen").toList().isEmpty());
    for (int v : {1, 2, 2, 3, 1})
        obj->setProperty("watched", v);
    EXPECT_EQ(obj->property("seen").toList(), QVariantList({2, 3, 1}));
}

TEST(HapticButton, OneTickPerPressNoneOnRelease)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/HapticButton.qml"), {{"text", "Test"}});
    ASSERT_TRUE(obj);
    auto *haptics = corvane::Haptics::shared();
    haptics->clear();
    auto *item = qobject_cast<QQuickItem *>(obj.get());
    QQuickWindow window;
    item->setParentItem(window.contentItem());
    window.resize(200, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mousePress(&window, Qt::LeftButton, {}, centre);
    EXPECT_EQ(haptics->performed(), QList<int>({corvane::Haptics::Generic}));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, centre);
    EXPECT_EQ(haptics->performed().size(), 1);
    QTest::mouseClick(&window, Qt::LeftButton, {}, centre);
    EXPECT_EQ(haptics->performed().size(), 2);
    // Compact text and padding against the regular size.
    EXPECT_EQ(obj->property("font").value<QFont>().pixelSize(), 12);
    EXPECT_EQ(obj->property("leftPadding").toDouble(), 14);
    obj->setProperty("compact", true);
    EXPECT_EQ(obj->property("font").value<QFont>().pixelSize(), 11);
    EXPECT_EQ(obj->property("topPadding").toDouble(), 6);
    item->setParentItem(nullptr);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

struct UsbCase {
    const char *name;
    QVariant vendor;
    int mA;
    bool builtIn;
    bool vendorShown;
    const char *power;
};
void PrintTo(const UsbCase &c, std::ostream *os) { *os << c.name; }
class UsbRowTexts : public ::testing::TestWithParam<UsbCase> {};
TEST_P(UsbRowTexts, ShowNameVendorSpeedAndPower)
{
    QmlHarness h;
    const auto &c = GetParam();
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/USBRow.qml"), {{"device", usb(c.vendor, c.mA, c.builtIn)}});
    ASSERT_TRUE(obj);
    EXPECT_EQ(textOf(obj.get(), "name"), QStringLiteral("Tastatură USB"));
    EXPECT_EQ(textOf(obj.get(), "portSpeed"), QStringLiteral("High (480 Mb/s)"));
    EXPECT_EQ(textOf(obj.get(), "power"), QString::fromLatin1(c.power));
    auto *vendor = obj->findChild<QQuickItem *>(QStringLiteral("vendor"));
    EXPECT_EQ(vendor->isVisible(), c.vendorShown);
    if (c.vendorShown) {
        EXPECT_EQ(vendor->property("text"), c.vendor);
    }
    auto *dot = obj->findChild<QQuickItem *>(QStringLiteral("dot"));
    EXPECT_EQ(dot->property("color").value<QColor>(),
              c.builtIn ? corvane::Palette::textSecondary() : corvane::ThemeManager::shared()->good());
    EXPECT_FALSE(obj->property("hover").toBool());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
INSTANTIATE_TEST_SUITE_P(Cases, UsbRowTexts,
                         ::testing::Values(UsbCase{"external", QStringLiteral("Logitech"), 500, false, true, "500 mA"},
                                           UsbCase{"builtInNoVendor", QVariant(), 0, true, false, "0 mA"},
                                           UsbCase{"emptyVendorKeepsLine", QStringLiteral(""), 100, false, true, "100 mA"}),
                         [](const auto &i) { return std::string(i.param.name); });

TEST(ProgressBarRow, CapitalisedLabelAndClampedFill)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/ProgressBarRow.qml"),
                            {{"value", 0.5}, {"label", "presiune ș"}, {"trailing", "12 GB din 16"}, {"width", 200}});
    ASSERT_TRUE(obj);
    EXPECT_EQ(textOf(obj.get(), "label"), QStringLiteral("PRESIUNE Ș"));
    EXPECT_EQ(textOf(obj.get(), "trailing"), QStringLiteral("12 GB din 16"));
    auto *fill = obj->findChild<QQuickItem *>(QStringLiteral("fill"));
    for (auto [value, width] : {std::pair{0.5, 100.0}, {1.7, 200.0}, {-0.2, 0.0}}) {
        obj->setProperty("value", value);
        EXPECT_DOUBLE_EQ(fill->width(), width) << value;
    }
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(SpeedometerGauge, LabelsAndReadoutFollowTheScale)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/SpeedometerGauge.qml"),
                            {{"value", 4321}, {"maxValue", 5000}, {"tickCount", 6}, {"width", 240}, {"height", 240},
                             {"label", "UPLOAD"}, {"unit", "Mbps"}});
    ASSERT_TRUE(obj);
    EXPECT_EQ(textsOf(obj.get(), "tickLabel"), QStringList({"0", "2000", "4000"}));
    EXPECT_EQ(textOf(obj.get(), "readout"), QStringLiteral("4.3K"));
    obj->setProperty("value", -2);
    EXPECT_EQ(textOf(obj.get(), "readout"), QStringLiteral("-2.00"));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(Sparkline, PulseOnlyWithTwoSamples)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/Sparkline.qml"),
                            {{"samples", QVariantList{5}}, {"showPulse", true}, {"width", 100}, {"height", 40}});
    ASSERT_TRUE(obj);
    auto *pulse = obj->findChild<QQuickItem *>(QStringLiteral("pulse"));
    EXPECT_FALSE(pulse->isVisible());
    obj->setProperty("samples", QVariantList{1, 5});
    EXPECT_TRUE(pulse->isVisible());
    EXPECT_EQ(QPointF(pulse->x(), pulse->y()), QPointF(100, 0));
    obj->setProperty("normalizedMax", 10);
    EXPECT_EQ(QPointF(pulse->x(), pulse->y()), QPointF(100, 20));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(AnimatedRing, CentreShowsValueAndCaptionNeverCenterText)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/AnimatedRing.qml"),
                            {{"value", 0.02}, {"centerValue", 72}, {"centerText", "ASCUNS"}, {"subText", "CPU"},
                             {"showShimmer", true}, {"width", 120}, {"height", 120}});
    ASSERT_TRUE(obj);
    EXPECT_EQ(textOf(obj.get(), "centerValue"), QStringLiteral("72"));
    EXPECT_EQ(textOf(obj.get(), "subText"), QStringLiteral("CPU"));
    for (auto *item : obj->findChildren<QQuickItem *>())
        EXPECT_NE(item->property("text").toString(), QStringLiteral("ASCUNS"));
    auto *highlight = obj->findChild<QQuickItem *>(QStringLiteral("highlight"));
    EXPECT_EQ(highlight->opacity(), 0.0);
    obj->setProperty("value", 0.021);
    EXPECT_DOUBLE_EQ(highlight->opacity(), 0.6);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(CARotatingImage, FieldsAreReadOnceAndAMissingImageStaysBlank)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/CARotatingImage.qml"), {{"imageName", "VexelMark"}, {"imageOpacity", 0.5}});
    ASSERT_TRUE(obj);
    auto *image = obj->findChild<QQuickItem *>(QStringLiteral("image"));
    const QUrl source = image->property("source").toUrl();
    EXPECT_EQ(source, QUrl(QStringLiteral("qrc:/images/VexelMark.svg")));
    obj->setProperty("imageName", "Nope");
    obj->setProperty("imageOpacity", 1.0);
    EXPECT_EQ(image->property("source").toUrl(), source);
    EXPECT_EQ(image->opacity(), 0.5);

    auto missing = h.createFile(QStringLiteral("qrc:/Corvane/CARotatingImage.qml"), {{"imageName", "Nope"}});
    EXPECT_TRUE(missing->findChild<QQuickItem *>(QStringLiteral("image"))->property("source").toUrl().isEmpty());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// Pulse rings placed in a window, hidden and shown again stay quiet (no binding loop).
TEST(PulseRingsInAWindow, StartStopWithoutWarnings)
{
    corvane::test::QmlHarness h;
    auto obj = h.create(R"(
        import QtQuick
        import QtQuick.Window
        import Corvane
        Window {
            width: 80; height: 80
            property alias rings: r
            CAPulseRings { id: r; width: 40; height: 40; color: "white" }
        }
    )");
    ASSERT_TRUE(obj);
    auto *w = qobject_cast<QWindow *>(obj.get());
    ASSERT_TRUE(w);
    w->show();
    QObject *rings = obj->property("rings").value<QObject *>();
    QTRY_VERIFY(rings->property("animating").toBool());
    rings->setProperty("visible", false);
    QTRY_VERIFY(!rings->property("animating").toBool());
    rings->setProperty("visible", true);
    QTRY_VERIFY(rings->property("animating").toBool());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(AnimatedRing, ANewValueFadesTheBloomWithoutRepaintingIt)
{
    QmlHarness h;
    auto obj = h.createFile(QStringLiteral("qrc:/Corvane/AnimatedRing.qml"),
                            {{"value", 0.2}, {"centerValue", 20}, {"subText", "CPU"}, {"width", 140}, {"height", 140}});
    ASSERT_TRUE(obj);
    QQuickWindow window;
    window.resize(160, 160);
    auto *ring = qobject_cast<QQuickItem *>(obj.get());
    ring->setParentItem(window.contentItem());
    window.show();
    ASSERT_TRUE(corvane::test::waitForFrames(window));
    auto *bloom = obj->findChild<corvane::RasterItem *>(QStringLiteral("bloom"));
    ASSERT_TRUE(bloom);
    QTRY_COMPARE(bloom->paintCount(), 1);
    EXPECT_DOUBLE_EQ(bloom->opacity(), 0.32);
    for (double v : {0.4, 0.9, 0.3}) {
        obj->setProperty("value", v);
        ASSERT_TRUE(corvane::test::waitForFrames(window));
        EXPECT_DOUBLE_EQ(bloom->opacity(), std::min(1.0, v * 1.6));
    }
    obj->setProperty("value", 0.0);
    EXPECT_FALSE(bloom->isVisible());
    EXPECT_EQ(bloom->paintCount(), 1);
    ring->setParentItem(nullptr);
}
