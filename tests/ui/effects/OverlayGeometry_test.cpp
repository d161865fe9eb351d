// Placement of the grain dots and of the scan-line and grid lines.
#include "support/QmlTestUtil.h"
#include "ui/effects/OverlayGeometry.h"
#include "ui/effects/OverlayPainters.h"

#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QScreen>
#include <QTest>
#include "support/ParamNames.h"
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace corvane::effects;

TEST(GrainOverlay, KnownDotsOnAHundredPointSquareAndTheSameOnEveryRender)
{
    const auto dots = grainDots(2, 100, 100);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_NEAR(dots[0].x, 1.08, 0.005);
    EXPECT_NEAR(dots[0].y, 80.67, 0.005);
    EXPECT_NEAR(dots[0].alpha, 0.159, 0.0005);
    EXPECT_NEAR(dots[1].x, 53.90, 0.005);
    EXPECT_NEAR(dots[1].y, 39.27, 0.005);
    EXPECT_NEAR(dots[1].alpha, 0.088, 0.0005);

    // A bigger canvas rescales the same pattern.
    const auto big = grainDots(6000, 200, 50);
    ASSERT_EQ(big.size(), 6000u);
    EXPECT_DOUBLE_EQ(big[1].x, dots[1].x * 2);
    EXPECT_DOUBLE_EQ(big[1].y, dots[1].y / 2);
    for (const GrainDot &d : big) {
        ASSERT_GE(d.x, 0);
        ASSERT_LT(d.x, 200);
        ASSERT_GE(d.alpha, 0.06);
        ASSERT_LT(d.alpha, 0.16);
    }
    EXPECT_EQ(grainDots(6000, 200, 50)[5999].x, big[5999].x);
}

TEST(GrainOverlay, NoDotsForZeroOrNegativeDensity)
{
    EXPECT_TRUE(grainDots(0, 100, 100).empty());
    EXPECT_TRUE(grainDots(-5, 100, 100).empty());
}

struct LineCase {
    double extent;
    double spacing;
    std::vector<double> expected;
};

class LineOffsets : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineOffsets, IncludeBothEdgesWhenOnAStep)
{
    const LineCase &c = GetParam();
    EXPECT_EQ(lineOffsets(c.extent, c.spacing), c.expected);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Overlays, LineOffsets,
    ::testing::Values(
        LineCase{10, 5, {0, 5, 10}},           // scan lines: the bottom edge is drawn
        LineCase{44, 22, {0, 22, 44}},         // grid columns on a 44-wide canvas
        LineCase{20, 22, {0}},                 // grid rows on a 20-high canvas
        LineCase{0, 3, {0}},
        LineCase{7, 3, {0, 3, 6}},
        // Each position is k * spacing: a running sum would reach 0.7 exactly and draw an
        // eighth line, while 7 * 0.1 lands just past it.
        LineCase{0.7, 0.1, {0, 0.1, 0.2, 3 * 0.1, 0.4, 0.5, 6 * 0.1}},
        LineCase{10, 0, {}},                   // invalid spacings draw nothing (no endless loop)
        LineCase{10, -2, {}},
        LineCase{10, kNaN, {}},
        LineCase{10, kInf, {}},
        LineCase{-1, 3, {}},
        LineCase{1e9, 1e-6, {}}),
    [](const auto &info) {
        return "Extent" + corvane::test::numberName(info.param.extent) + "Every" + corvane::test::numberName(info.param.spacing);
    });             // absurdly many lines: nothing rather than a hang

// The card clips its overlays to its rounded outline.
TEST(LinePatternPainter, GridIsClippedToTheRoundedOutline)
{
    LinePatternPainter grid;
    grid.setPattern(LinePatternPainter::Grid);
    grid.setColor(Qt::white);
    grid.setLineOpacity(1);
    grid.setSpacing(10);
    grid.setClipRadius(20);
    grid.setSize(QSizeF(100, 100));

    QImage img(100, 100, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    grid.paint(&p);
    p.end();

    EXPECT_EQ(qAlpha(img.pixel(1, 1)), 0) << "corner outside the outline";
    EXPECT_GT(qAlpha(img.pixel(10, 50)), 0) << "column at x = 10";
    EXPECT_GT(qAlpha(img.pixel(50, 30)), 0) << "row at y = 30";
    EXPECT_EQ(qAlpha(img.pixel(55, 55)), 0) << "inside a cell";
}

// The grain is static: one image per size, kept as the scene graph's texture, however many
// frames the window draws around it.
TEST(GrainOverlay, DrawsOncePerSizeNotOncePerFrame)
{
    QQuickWindow window;
    window.resize(300, 200);
    auto *grain = new corvane::effects::GrainPainter(window.contentItem());
    grain->setSize(QSizeF(300, 200));
    grain->setDensity(4000);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(grain->renderCount(), 1, 2000);

    // Other content changes and the window draws again: the grain is not drawn again.
    auto *other = new QQuickItem(window.contentItem());
    for (int i = 0; i < 5; ++i) {
        other->setX(i);
        ASSERT_TRUE(corvane::test::waitForFrames(window));
    }
    EXPECT_EQ(grain->renderCount(), 1);

    grain->setSize(QSizeF(240, 160));
    QTRY_COMPARE_WITH_TIMEOUT(grain->renderCount(), 2, 2000);
    grain->setClipRadius(12);
    QTRY_COMPARE_WITH_TIMEOUT(grain->renderCount(), 3, 2000);
}

TEST(GrainOverlay, ImageHasTheDeviceSizeAndSpecksOnlyInsideTheClip)
{
    const QImage img = corvane::effects::GrainPainter::render(QSize(200, 100), 2.0, 8000, 30);
    ASSERT_EQ(img.size(), QSize(200, 100));
    EXPECT_EQ(img.devicePixelRatio(), 2.0);
    // Corners outside the rounded clip stay clear; some specks land inside.
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(199, 99)), 0);
    int specks = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            specks += qAlpha(img.pixel(x, y)) > 0;
    EXPECT_GT(specks, 50);
    EXPECT_TRUE(corvane::effects::GrainPainter::render(QSize(0, 10), 1.0, 8000, 0).isNull());
}

namespace {
// Bytes the process holds from malloc, mapped blocks included.
std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}
} // namespace

// Under the software scene graph the specks go straight into the frame, tile by tile, with no
// window-size image behind them. The screen must show what the image path gives (same specks,
// the item's opacity, the rounded clip), and a small repaint over part of a tile must redraw
// only that part: drawing the tile's specks again over pixels left in place brightens them.
TEST(GrainOverlay, SoftwareFrameDrawsTheImagesSpecksWithoutHoldingAnImage)
{
    const QSize size(900, 600);
    QQuickWindow window;
    window.setColor(Qt::black);
    window.resize(size);
    ASSERT_EQ(window.rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    auto *grain = new GrainPainter(window.contentItem());
    grain->setSize(size);
    grain->setClipRadius(24);
    grain->setOpacity(0.6);
    // A speck patch of its own that changes: the frame repaints only its square.
    const QRect spotRect(100, 70, 30, 30);
    auto *spot = new GrainPainter(window.contentItem());
    spot->setPosition(spotRect.topLeft());
    spot->setSize(spotRect.size());
    spot->setDensity(40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(corvane::test::waitForFrames(window));

    const std::size_t heapBefore = heapInUse();
    grain->setDensity(6000);
    ASSERT_TRUE(corvane::test::waitForFrames(window));
    // An image of the grain would be 2.1 MB. What is kept instead (a few pixels and a tile
    // list per speck) grows with the speck count, not with the window.
    const std::size_t grown = heapInUse() > heapBefore ? heapInUse() - heapBefore : 0;
    EXPECT_LT(grown, std::size_t(1024 * 1024)) << grown << " bytes more while the grain shows";

    QImage expected(size, QImage::Format_RGB32);
    expected.fill(Qt::black);
    {
        QPainter p(&expected);
        p.setOpacity(0.6);
        p.drawImage(0, 0, GrainPainter::render(size, 1.0, 6000, 24));
    }
    const auto compare = [&](const char *when) {
        const QImage shown =
            window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), expected.size()) << when;
        int lit = 0, worst = 0;
        QPoint worstAt;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (spotRect.contains(x, y))
                    continue;
                const QRgb a = shown.pixel(x, y), b = expected.pixel(x, y);
                lit += qGreen(a) > 0;
                const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b))});
                if (d > worst)
                    worst = d, worstAt = {x, y};
            }
        }
        EXPECT_GT(lit, 10000) << when;
        // Rounding, and specks that overlap (blended one by one instead of as one layer).
        EXPECT_LE(worst, 2) << when << " at " << worstAt.x() << "," << worstAt.y();
        EXPECT_EQ(shown.pixel(1, 1), qRgb(0, 0, 0)) << when << ": corner outside the clip";
    };
    compare("first frame");

    spot->setDensity(60);
    ASSERT_TRUE(corvane::test::waitForFrames(window));
    compare("after the patch changed");
    EXPECT_EQ(grain->renderCount(), 1);
}
