// The effect views load cleanly, the glass card behaves on hover, and under the software
// scene graph the backdrop falls back to its static layers. PNGs go to <build>/effects-png.
#include "platform/Haptics.h"
#include "state/Palette.h"
#include "ui/effects/EffectsTestUtil.h"

#include <QQuickItem>
#include <QSGRendererInterface>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

struct ViewCase {
    const char *file;
    QVariantMap initial;
};

class EffectView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(EffectView, LoadsAndShowsWithoutWarnings)
{
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/%1.qml").arg(QLatin1String(GetParam().file)),
                       QSize(320, 200), GetParam().initial))
        << v.harness.warnings().join('\n').toStdString();
    v.window.show();
    QImage img = v.window.grabWindow();
    EXPECT_FALSE(img.isNull());
    EXPECT_TRUE(v.harness.warnings().isEmpty()) << v.harness.warnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Effects, EffectView,
    ::testing::Values(
        ViewCase{"AnimatedBackground", {}},
        ViewCase{"ShaderAuroraBackground", {}},
        ViewCase{"GrainOverlay", {{"density", 6000}}},
        ViewCase{"ScanLinesOverlay", {{"color", QColor(Qt::cyan)}, {"lineOpacity", 0.5}, {"spacing", 3}}},
        ViewCase{"BlueprintGridOverlay", {{"color", QColor(Qt::white)}, {"lineOpacity", 0.5}, {"spacing", 22}}},
        ViewCase{"HoverGlassCard", {{"title", "Procesor"}, {"icon", "cpu"},
                                    {"accent", QVariant::fromValue(Palette::cpuGradient())},
                                    {"accentColor", QColor::fromRgbF(0.4f, 0.85f, 1.0f)}}},
        ViewCase{"HoverGlassCard", {{"title", "Memorie"}, {"icon", "memorychip"},
                                    {"accent", QColor(Qt::green)}, {"accentColor", QColor(Qt::green)}}}),
    [](const auto &info) { return std::string(info.param.file) + std::to_string(info.index); });

class GlassCard : public ::testing::Test {
protected:
    void SetUp() override { Haptics::shared()->clear(); }
    int alignmentTaps() const { return Haptics::shared()->performed().count(Haptics::Alignment); }
    static void call(QObject *o, const char *fn, const QVariant &arg = {})
    {
        if (arg.isValid())
            QMetaObject::invokeMethod(o, fn, Q_ARG(QVariant, arg));
        else
            QMetaObject::invokeMethod(o, fn);
    }
};

TEST_F(GlassCard, TitleIsUpperCasedIncludingRomanianLetters)
{
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/HoverGlassCard.qml"), {300, 200},
                       {{"title", QString::fromUtf8("setări și afișaj")}, {"icon", "slider.horizontal.3"}}));
    auto *title = v.child<QQuickItem>("title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->property("text").toString(), QString::fromUtf8("SETĂRI ȘI AFIȘAJ"));
    EXPECT_EQ(v.object->property("icon").toString(), QStringLiteral("slider.horizontal.3"));
}

TEST_F(GlassCard, OneTapEachTimeHoveringStartsAndThePointerIsKeptOnLeave)
{
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/HoverGlassCard.qml"), {300, 200},
                       {{"title", "x"}, {"icon", "cpu"}}));
    QObject *card = v.object.get();

    call(card, "trackPointer", QPointF(10, 20));
    call(card, "trackPointer", QPointF(40, 50));
    EXPECT_TRUE(card->property("hover").toBool());
    EXPECT_EQ(alignmentTaps(), 1) << "moving while hovering gives no further taps";

    call(card, "endHover");
    EXPECT_FALSE(card->property("hover").toBool());
    EXPECT_EQ(card->property("pointer").toPointF(), QPointF(40, 50));

    call(card, "trackPointer", QPointF(5, 5));
    EXPECT_EQ(alignmentTaps(), 2);
    EXPECT_EQ(Haptics::shared()->performed().size(), 2) << "only the alignment pattern";
}

TEST_F(GlassCard, RealPointerMovesDriveTheHover)
{
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/HoverGlassCard.qml"), {300, 200},
                       {{"title", "x"}, {"icon", "cpu"}}));
    v.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.window));
    QTest::mouseMove(&v.window, QPoint(150, 100));
    QTRY_VERIFY(v.object->property("hover").toBool());
    EXPECT_EQ(alignmentTaps(), 1);
}

// Renders the at-rest and hovered card (plain look) and checks the layout in pixels.
TEST_F(GlassCard, RendersHeadingAndGlowInThePlainLook)
{
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/HoverGlassCard.qml"), {360, 220},
                       {{"title", QString::fromUtf8("Setări de afișare")}, {"icon", "cpu"},
                        {"accent", QVariant::fromValue(Palette::cpuGradient())},
                        {"accentColor", QColor::fromRgbF(0.4f, 0.85f, 1.0f)}}));
    v.window.setColor(QColor::fromRgbF(0.03f, 0.04f, 0.07f));
    v.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.window));
    // Shrink the card inside the window so its edges and corners show.
    v.item()->setPosition({20, 20});
    v.item()->setSize({320, 180});
    const QImage rest = v.window.grabWindow();
    savePng(rest, QStringLiteral("glasscard-rest-offscreen.png"));

    // Badge (16 + 14, 16 + 14 from the card's corner) carries the accent gradient.
    const Rgb badge = meanColor(rest, {20 + 16 + 4, 20 + 16 + 4}, 2);
    EXPECT_GT(badge.b, 0.8);
    EXPECT_GT(badge.g, 0.6);
    // The window background stays untouched outside the rounded corner.
    const Rgb corner = meanColor(rest, {21, 21}, 0);
    EXPECT_NEAR(corner.b, 0.07, 0.02);

    QTest::mouseMove(&v.window, QPoint(20 + 60, 20 + 120));
    QTRY_VERIFY(v.object->property("hover").toBool());
    // The glow under the pointer brightens the glass there, not far away (once the hover and
    // pointer animations have got there).
    const Rgb nearBefore = meanColor(rest, {20 + 60, 20 + 120}, 3);
    QImage hovered;
    QTRY_VERIFY((hovered = v.window.grabWindow(), meanColor(hovered, {20 + 60, 20 + 120}, 3).b > nearBefore.b + 0.05));
    savePng(hovered, QStringLiteral("glasscard-hover-offscreen.png"));
    EXPECT_TRUE(v.harness.warnings().isEmpty()) << v.harness.warnings().join('\n').toStdString();
}

TEST(AnimatedBackground, SoftwareSceneFallsBackToTheStaticStackSilently)
{
    LogCapture log;
    HostedView v;
    ASSERT_TRUE(v.load(QStringLiteral("qrc:/Corvane/AnimatedBackground.qml"), {480, 320}));
    v.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.window));
    ASSERT_EQ(v.window.rendererInterface()->graphicsApi(), QSGRendererInterface::Software);

    auto *aurora = v.child<QQuickItem>("aurora");
    ASSERT_TRUE(aurora);
    EXPECT_FALSE(aurora->property("animating").toBool());
    EXPECT_FALSE(aurora->property("shaderReady").toBool());
    EXPECT_EQ(v.child<QObject>("auroraShader"), nullptr) << "no shader item without a GPU";
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("AuroraRenderer")).isEmpty())
        << "a missing GPU is not a pipeline failure";

    const QImage img = v.window.grabWindow();
    savePng(img, QStringLiteral("background-fallback-offscreen.png"));
    // Base colour darkened by the top and bottom gradient, untouched in the middle.
    const Rgb top = meanColor(img, {240, 2}, 2);
    const Rgb mid = meanColor(img, {240, 160}, 4);
    const Rgb bottom = meanColor(img, {240, 317}, 2);
    EXPECT_NEAR(mid.b, 0.07, 0.03);
    EXPECT_LT(top.luma(), mid.luma());
    EXPECT_LT(bottom.luma(), mid.luma());
    EXPECT_LT(top.luma(), bottom.luma()) << "the top darkens more (0.45 against 0.35)";
    EXPECT_TRUE(v.harness.warnings().isEmpty()) << v.harness.warnings().join('\n').toStdString();
}
