// The shared controls and effect views load cleanly and show the right texts.
#include "platform/Haptics.h"
#include "support/QmlTestUtil.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

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

QStringList textsOf(QObject *root, const char *objectName)
{
    QStringList out;
    for (auto *o : root->findChildren<QQuickItem *>(QString::fromLatin1(objectName)))
        if (o->isVisible())
            out << o->property("text").toString();
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
