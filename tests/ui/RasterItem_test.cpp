// Items drawn through RasterItem look exactly as they did as QQuickPaintedItems, follow their
// size and repaint on request.
#include "support/PoolStarts.h"
#include "support/QmlTestUtil.h"
#include "ui/effects/OverlayPainters.h"
#include "ui/effects/SoftGlow.h"
#include "ui/effects/StillImage.h"
#include "ui/shared/RasterItem.h"
#include "ui/shared/RoundPolyline.h"
#include "state/Palette.h"
#include "ui/shared/SparklineGeometry.h"
#include "ui/shared/StrokeItems.h"

#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickPaintedItem>
#include <QRandomGenerator>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <limits>
#include <optional>

using namespace corvane;

namespace {

// An antialiased gradient ring and a thin diagonal: edges where filtering or an offset of
// half a pixel would show.
void drawSample(QPainter *p, const QSizeF &size)
{
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(255, 80, 40));
    g.setColorAt(1, QColor(40, 120, 255, 160));
    p->setPen(QPen(QBrush(g), 3.5, Qt::SolidLine, Qt::RoundCap));
    p->drawEllipse(QRectF(4, 4, size.width() - 8, size.height() - 8));
    p->setPen(QPen(Qt::white, 1));
    p->drawLine(QPointF(0, size.height()), QPointF(size.width(), 0));
}

// How far two pictures of one size are apart: pixels that differ, and by how many levels at most.
struct PictureDiff {
    int pixels = 0;
    int levels = 0;
};
PictureDiff diff(const QImage &a, const QImage &b)
{
    PictureDiff d;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    for (int r = 0; r < std::min(x.height(), y.height()); ++r)
        for (int c = 0; c < std::min(x.width(), y.width()); ++c) {
            const QRgb pa = x.pixel(c, r), pb = y.pixel(c, r);
            const int l = std::max({std::abs(qAlpha(pa) - qAlpha(pb)), std::abs(qRed(pa) - qRed(pb)),
                                    std::abs(qGreen(pa) - qGreen(pb)), std::abs(qBlue(pa) - qBlue(pb))});
            if (l > 0) {
                ++d.pixels;
                d.levels = std::max(d.levels, l);
            }
        }
    return d;
}

// What painting in pieces may change against one go: a level on at most one pixel in 500.
void expectAsInOneGo(const QImage &whole, const QImage &pieces)
{
    const PictureDiff d = diff(whole, pieces);
    EXPECT_LE(d.levels, 1);
    EXPECT_LE(d.pixels, whole.width() * whole.height() / 500) << d.pixels << " pixels differ";
}

class Painted : public QQuickPaintedItem {
public:
    using QQuickPaintedItem::QQuickPaintedItem;
    void paint(QPainter *p) override { drawSample(p, size()); }
};

class Raster : public RasterItem {
public:
    using RasterItem::RasterItem;
    void paint(QPainter *p) override { drawSample(p, size()); }
};

// Only its fill colour: repainting it is a plain fill.
class Blank : public RasterItem {
public:
    using RasterItem::RasterItem;
    void paint(QPainter *) override {}
};

struct RasterItemFixture : ::testing::Test {
    QQuickWindow window;
    void SetUp() override
    {
        window.resize(400, 200);
        window.setColor(QColor(20, 24, 40));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QImage grab(QQuickItem *item)
    {
        const QImage all = window.grabWindow();
        const qreal dpr = all.devicePixelRatio();
        return all.copy(QRectF(item->x() * dpr, item->y() * dpr, item->width() * dpr, item->height() * dpr).toRect());
    }
};

} // namespace

TEST_F(RasterItemFixture, DrawsLikeAPaintedItem)
{
    for (const QSizeF size : {QSizeF(120, 90), QSizeF(61.4, 40.6)}) {
        Painted painted(window.contentItem());
        painted.setAntialiasing(true);
        painted.setPosition(QPointF(10, 10));
        painted.setSize(size);
        Raster raster(window.contentItem());
        raster.setAntialiasing(true);
        raster.setPosition(QPointF(200, 10));
        raster.setSize(size);
        QTRY_VERIFY(raster.paintCount() >= 1);
        const QImage a = grab(&painted), b = grab(&raster);
        ASSERT_FALSE(a.isNull());
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(a, b) << "size " << size.width() << "x" << size.height();
    }
}

TEST_F(RasterItemFixture, RepaintsOnUpdateAndResizeOnly)
{
    Raster raster(window.contentItem());
    raster.setSize(QSizeF(50, 50));
    QTRY_COMPARE(raster.paintCount(), 1);
    raster.setPosition(QPointF(30, 30)); // moving needs no new image
    ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
    EXPECT_EQ(raster.paintCount(), 1);
    raster.update();
    QTRY_COMPARE(raster.paintCount(), 2);
    raster.setSize(QSizeF(80, 60));
    QTRY_COMPARE(raster.paintCount(), 3);
    EXPECT_EQ(grab(&raster).size(), QSize(80, 60) * window.devicePixelRatio());
    raster.setFillColor(Qt::red);
    QTRY_COMPARE(raster.paintCount(), 4);
    EXPECT_EQ(window.grabWindow().pixelColor(QPoint(31, 31) * window.devicePixelRatio()), QColor(Qt::red));
}

// Bindings write their values again whenever anything they read changes: equal samples,
// colours or scales cost no new image; a new sample or a new size does, and the dashed grid
// kept between paints follows the size.
TEST_F(RasterItemFixture, SparklineRepaintsOnlyForAChange)
{
    SparklinePlot plot(window.contentItem());
    plot.setShowGrid(true);
    plot.setNormalizedMax(1.0);
    plot.setGlowColor(QColor(80, 160, 255));
    plot.setPaint(QColor(Qt::cyan));
    plot.setSamples(QVariant::fromValue(QList<double>{0.2, 0.5, 0.4}));
    plot.setSize(QSizeF(120, 30));
    QTRY_VERIFY(plot.paintCount() >= 1);
    ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
    const int painted = plot.paintCount();

    plot.setSamples(QVariantList{0.2, 0.5, 0.4}); // the same numbers from QML
    plot.setNormalizedMax(1.0);
    plot.setGlowColor(QColor(80, 160, 255));
    plot.setPaint(QColor(Qt::cyan));
    plot.setShowGrid(true);
    ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
    EXPECT_EQ(plot.paintCount(), painted);

    plot.setSamples(QVariantList{0.5, 0.4, 0.9});
    QTRY_COMPARE(plot.paintCount(), painted + 1);
    const QList<double> gap{0.5, std::numeric_limits<double>::quiet_NaN(), 0.9};
    plot.setSamples(QVariant::fromValue(gap));
    QTRY_COMPARE(plot.paintCount(), painted + 2);

    // After a resize the plot matches one made at that size from the start.
    plot.setSize(QSizeF(90, 44));
    QTRY_COMPARE(plot.paintCount(), painted + 3);
    SparklinePlot fresh(window.contentItem());
    fresh.setShowGrid(true);
    fresh.setNormalizedMax(1.0);
    fresh.setGlowColor(QColor(80, 160, 255));
    fresh.setPaint(QColor(Qt::cyan));
    fresh.setSamples(QVariant::fromValue(gap));
    fresh.setPosition(QPointF(200, 100));
    fresh.setSize(QSizeF(90, 44));
    QTRY_VERIFY(fresh.paintCount() >= 1);
    EXPECT_EQ(grab(&plot), grab(&fresh));
}

// The sparkline's own line stroker against QPainter's stroke of the same points: the same
// place, width, joins and brush, off only by a few levels on edge pixels (never a shifted,
// thinner or doubly blended line), at fractional pixel ratios too.
TEST(RoundPolyline, LooksLikeQPaintersStroke)
{
    QList<double> spikes, noisy;
    for (int i = 0; i < 60; ++i) {
        spikes << (i % 9 == 4 ? 0.95 : 0.08);
        noisy << 0.5 + 0.45 * std::sin(i * 2.3) * std::cos(i * 0.7);
    }
    QLinearGradient across(0, 0, 265, 0);
    across.setColorAt(0, QColor(60, 255, 200));
    across.setColorAt(1, QColor(170, 90, 255, 200));
    const struct {
        const char *name;
        QList<double> samples;
        double width, dpr;
        QBrush brush;
    } cases[] = {
        {"flat", QList<double>(60, 0.4), 2.2, 1, QColor(120, 220, 255)},
        {"two steep samples", {0, 1}, 2.2, 1, QColor(255, 255, 255, 200)},
        {"spikes, gradient", spikes, 2.2, 1, across},
        {"noisy, translucent", noisy, 2.2, 1, QColor(120, 220, 255, 120)},
        {"noisy at 1.5x", noisy, 2.2, 1.5, across},
        {"wide glow", noisy.mid(20), 5.5, 1, QColor(255, 160, 60, 40)},
        {"thin at 2x", noisy.mid(20), 1.5, 2, QColor(255, 160, 60)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QPolygonF pts = sparkline::linePoints(c.samples, 265, 30, 1.0);
        QImage images[2];
        for (int fast = 0; fast < 2; ++fast) {
            QImage &img = images[fast];
            img = QImage(QSize(qRound(265 * c.dpr), qRound(30 * c.dpr)), QImage::Format_ARGB32_Premultiplied);
            img.setDevicePixelRatio(c.dpr);
            img.fill(QColor(20, 24, 40, 128));
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            if (fast) {
                ASSERT_TRUE(strokeRoundPolyline(&p, pts, c.width, c.brush));
            } else {
                p.setPen(QPen(c.brush, c.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(pts);
            }
        }
        double sum = 0;
        int off = 0, drawn = 0;
        const QImage &a = images[0], &b = images[1];
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
                const int d = std::max({std::abs(qAlpha(pa) - qAlpha(pb)), std::abs(qRed(pa) - qRed(pb)),
                                        std::abs(qGreen(pa) - qGreen(pb)), std::abs(qBlue(pa) - qBlue(pb))});
                sum += d;
                off += d > 20;
                drawn += pa != qRgba(20, 24, 40, 128);
            }
        EXPECT_LT(sum / (a.width() * a.height()), 0.5);
        EXPECT_LE(off, drawn / 50) << off << " of " << drawn << " drawn pixels differ by more than 20 levels";
    }

    // What it cannot draw the same way is left to QPainter, untouched.
    QImage img(40, 20, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    const QImage untouched = img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF line{{0, 5}, {30, 10}};
    EXPECT_FALSE(strokeRoundPolyline(&p, {{0, 5}, {1e12, 10}}, 2.2, QColor(Qt::white)));
    EXPECT_FALSE(strokeRoundPolyline(&p, {{0, 5}, {qInf(), 10}}, 2.2, QColor(Qt::white)));
    EXPECT_FALSE(strokeRoundPolyline(&p, {{0, 5}}, 2.2, QColor(Qt::white)));
    EXPECT_FALSE(strokeRoundPolyline(&p, line, 2.2, QRadialGradient(10, 10, 5)));
    p.setOpacity(0.5);
    EXPECT_FALSE(strokeRoundPolyline(&p, line, 2.2, QColor(Qt::white)));
    p.end();
    EXPECT_EQ(img, untouched);
}

// The items the dashboard repaints each second, painted as their textures are made: nothing
// goes to Qt's thread pool, where the same drawing in one go hands the raster engine's fills
// over (the arc and the glow), and the picture is the one-go picture but for a gradient's
// rounding on a rare edge pixel.
struct BandCase {
    const char *name;
    QSizeF size;
    std::function<std::unique_ptr<RasterItem>()> make;
    bool wholeHandsOff = false;
};
void PrintTo(const BandCase &c, std::ostream *os) { *os << c.name; }

class RasterBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(RasterBands, PaintWithoutThePoolAsInOneGo)
{
    const BandCase &c = GetParam();
    std::unique_ptr<RasterItem> item = c.make();
    item->setSize(c.size);
    const QSize px = c.size.toSize();
    QImage whole(px, QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::transparent);
    int before = test::poolStarts();
    {
        QPainter p(&whole);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        item->paint(&p);
    }
    if (c.wholeHandsOff)
        EXPECT_GT(test::poolStarts(), before) << "painted in one go, the fills went to the pool";

    // A fresh item: nothing it keeps between paints comes from the first.
    item = c.make();
    item->setSize(c.size);
    QImage banded(px, QImage::Format_ARGB32_Premultiplied);
    banded.fill(Qt::transparent);
    before = test::poolStarts();
    // As the textures are made: strip by strip, each band by band.
    for (int y = 0; y < px.height(); y += RasterItem::kStripRows) {
        QImage strip(px.width(), std::min(RasterItem::kStripRows, px.height() - y), QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        RasterItem::paintInto(*item, strip, y);
        QPainter p(&banded);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, y, strip);
    }
    EXPECT_EQ(test::poolStarts(), before);
    expectAsInOneGo(whole, banded);
}

INSTANTIATE_TEST_SUITE_P(
    DashboardItems, RasterBands,
    ::testing::Values(
        BandCase{"loadRing", {92, 92},
                 [] {
                     auto arc = std::make_unique<ArcStroke>();
                     arc->setPaint(QVariant::fromValue(QColor(80, 160, 255)));
                     arc->setRadius(30);
                     arc->setStartAngle(-90);
                     arc->setEndAngle(180);
                     arc->setLineWidth(12);
                     return std::unique_ptr<RasterItem>(std::move(arc));
                 }},
        BandCase{"gradientRing", {92, 92},
                 [] {
                     auto arc = std::make_unique<ArcStroke>();
                     // A palette gradient: what the metric tiles' rings stroke with.
                     arc->setPaint(QVariant::fromValue(PaletteGradient{QColor(255, 80, 40), QColor(40, 120, 255, 160),
                                                                       {0, 0}, {1, 1}}));
                     arc->setRadius(30);
                     arc->setStartAngle(-90);
                     arc->setEndAngle(180);
                     arc->setLineWidth(12);
                     return std::unique_ptr<RasterItem>(std::move(arc));
                 },
                 true},
        BandCase{"sparkline", {265, 60},
                 [] {
                     auto plot = std::make_unique<SparklinePlot>();
                     QList<double> v;
                     for (int i = 0; i < 60; ++i)
                         v << 0.5 + 0.4 * std::sin(i * 0.37);
                     plot->setSamples(QVariant::fromValue(v));
                     plot->setNormalizedMax(1.0);
                     plot->setShowGrid(true);
                     plot->setPaint(QVariant::fromValue(QColor(Qt::cyan)));
                     plot->setGlowColor(QColor(80, 160, 255));
                     return std::unique_ptr<RasterItem>(std::move(plot));
                 }},
        BandCase{"glowingBar", {220, 120},
                 [] {
                     auto glow = std::make_unique<effects::SoftGlow>();
                     glow->setInset(14);
                     glow->setCornerRadius(8);
                     glow->setColor(QColor(80, 160, 255, 166));
                     glow->setRadius(12);
                     glow->setColor2(QColor(255, 255, 255, 90));
                     glow->setRadius2(4);
                     return std::unique_ptr<RasterItem>(std::move(glow));
                 },
                 true},
        BandCase{"bloom", {140, 140},
                 [] {
                     auto bloom = std::make_unique<effects::RoundedGradientPainter>();
                     bloom->setRadius(70);
                     bloom->setFromPoint({70, 70});
                     bloom->setGradientRadius(70);
                     bloom->setFromColor(QColor(80, 160, 255, 56));
                     bloom->setToColor(Qt::transparent);
                     return std::unique_ptr<RasterItem>(std::move(bloom));
                 }},
        BandCase{"ticks", {92, 92}, [] { return std::unique_ptr<RasterItem>(std::make_unique<RingTicks>()); }}),
    [](const auto &info) { return std::string(info.param.name); });

// A tall picture under a frame that changes two places side by side (a card's ring and
// sparkline over its glass) is drawn by the software renderer without the pool: its strips
// are short enough. A painted item of the same size, one texture, hands that drawing over.
TEST_F(RasterItemFixture, TallPictureRedrawsWithoutThePool)
{
    window.resize(400, 300);
    Painted painted(window.contentItem());
    painted.setSize(QSizeF(180, 260));
    Raster raster(window.contentItem());
    raster.setPosition(QPointF(200, 0));
    raster.setSize(QSizeF(180, 260));
    // Two changing places over each picture, side by side over many rows.
    std::vector<std::unique_ptr<Blank>> marks;
    for (int i = 0; i < 4; ++i) {
        auto m = std::make_unique<Blank>(window.contentItem());
        m->setPosition(QPointF((i / 2) * 200 + (i % 2) * 100 + 10, 20));
        m->setSize(QSizeF(60, 200));
        marks.push_back(std::move(m));
    }
    QTRY_VERIFY(raster.paintCount() >= 1);
    ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
    const auto startsForAFrame = [&](int mark0, int mark1) {
        const int before = test::poolStarts();
        marks[mark0]->setFillColor(marks[mark0]->fillColor() == Qt::transparent ? QColor(255, 255, 255, 1) : QColor(Qt::transparent));
        marks[mark1]->setFillColor(marks[mark1]->fillColor() == Qt::transparent ? QColor(255, 255, 255, 1) : QColor(Qt::transparent));
        EXPECT_TRUE(corvane::test::waitForFrames(window, 2));
        return test::poolStarts() - before;
    };
    EXPECT_GT(startsForAFrame(0, 1), 0) << "one tall texture under two changed places";
    EXPECT_EQ(startsForAFrame(2, 3), 0);
}

// A glow blurs once per shape: a new colour tints the kept blur again, and the picture is the
// one a glow made afresh with that colour shows. A new radius or text blurs anew.
TEST_F(RasterItemFixture, GlowBlursOncePerShape)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(18);
    font.setBold(true);
    const auto setUp = [&](effects::SoftGlow &g, QPointF at) {
        g.setParentItem(window.contentItem());
        g.setPosition(at);
        g.setSize(QSizeF(140, 40));
        g.setInset(8);
        g.setText(QStringLiteral("12.4 MB/s"));
        g.setFont(font);
        g.setRadius(6);
        g.setRadius2(2.4);
        g.setColor(QColor(80, 160, 255, 128));
        g.setColor2(QColor(80, 160, 255, 77));
    };
    effects::SoftGlow glow;
    setUp(glow, {10, 10});
    QTRY_VERIFY(glow.paintCount() >= 1);
    EXPECT_EQ(glow.blurCount(), 2);

    const int painted = glow.paintCount();
    glow.setColor(QColor(255, 120, 60, 128));
    glow.setColor2(QColor(255, 120, 60, 77));
    QTRY_COMPARE(glow.paintCount(), painted + 1);
    EXPECT_EQ(glow.blurCount(), 2);
    effects::SoftGlow fresh;
    setUp(fresh, {10, 100});
    fresh.setColor(QColor(255, 120, 60, 128));
    fresh.setColor2(QColor(255, 120, 60, 77));
    QTRY_VERIFY(fresh.paintCount() >= 1);
    EXPECT_EQ(grab(&glow), grab(&fresh));

    glow.setRadius2(3.2);
    QTRY_COMPARE(glow.paintCount(), painted + 2);
    EXPECT_EQ(glow.blurCount(), 3);
    glow.setText(QStringLiteral("9.1 MB/s"));
    QTRY_COMPARE(glow.paintCount(), painted + 3);
    EXPECT_EQ(glow.blurCount(), 5);
    glow.update(); // a repaint asked for without a change
    QTRY_COMPARE(glow.paintCount(), painted + 4);
    EXPECT_EQ(glow.blurCount(), 5);
}

// The tint gives the bytes that painting the mask with DestinationIn over a fill of the
// colour gave, for any coverage and for translucent colours.
TEST(SoftGlowTint, MatchesDestinationInOverAFill)
{
    QImage mask(64, 48, QImage::Format_Alpha8);
    QRandomGenerator rng(7);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            mask.scanLine(y)[x] = uchar(rng.bounded(256));
    for (const QColor &c : {QColor(80, 160, 255, 128), QColor(255, 255, 255), QColor(12, 200, 90, 77), QColor(0, 0, 0, 1)}) {
        QImage painted(mask.size(), QImage::Format_ARGB32_Premultiplied);
        painted.fill(c);
        QPainter p(&painted);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
        p.end();
        EXPECT_EQ(effects::SoftGlow::tint(mask, c), painted) << c.name(QColor::HexArgb).toStdString();
    }
}

// A sparkline whose history moves along by whole pixels shifts its kept picture and draws
// only its ends; at every step the picture is the one drawn whole from the same samples.
// Where a step is not whole pixels, the scale follows the data or the line's colour changes
// along the item, it draws whole.
struct ShiftCase {
    const char *name;
    double width;
    QVariant max;
    bool shifts;
    QPointF gradientEnd = {0, 1}; // the line's gradient, from the top left corner
};
void PrintTo(const ShiftCase &c, std::ostream *os) { *os << c.name; }
class SparklineShift : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(SparklineShift, KeepsThePictureOfAWholeRedraw)
{
    const ShiftCase &c = GetParam();
    const auto setUp = [&](SparklinePlot &plot) {
        plot.setSize(QSizeF(c.width, 30));
        plot.setShowGrid(true);
        plot.setNormalizedMax(c.max);
        plot.setGlowColor(QColor(80, 160, 255));
        plot.setPaint(QVariant::fromValue(PaletteGradient{QColor(255, 80, 40), QColor(40, 120, 255), {0, 0}, c.gradientEnd}));
    };
    const auto picture = [](SparklinePlot &plot) {
        QImage img(plot.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        RasterItem::paintInto(plot, img);
        return img;
    };
    QRandomGenerator rng(11);
    QList<double> history;
    for (int i = 0; i < 60; ++i)
        history << rng.generateDouble() * 0.9;
    SparklinePlot plot;
    setUp(plot);
    plot.setSamples(QVariant::fromValue(history));
    picture(plot);
    for (int second = 0; second < 6; ++second) {
        history.removeFirst();
        history << (second == 3 ? 1.0 : rng.generateDouble() * 0.9); // a peak at the top too
        plot.setSamples(QVariant::fromValue(history));
        const QImage kept = picture(plot);
        SparklinePlot fresh;
        setUp(fresh);
        fresh.setSamples(QVariant::fromValue(history));
        const QImage whole = picture(fresh);
        const PictureDiff d = diff(kept, whole);
        EXPECT_EQ(kept, whole) << "second " << second << ": " << d.pixels << " pixels up to " << d.levels << " levels, " << kept.width() << "x" << kept.height() << " vs " << whole.width() << "x" << whole.height();
    }
    EXPECT_EQ(plot.wholeRedraws(), c.shifts ? 1 : 7);
}

INSTANTIATE_TEST_SUITE_P(Histories, SparklineShift,
                         ::testing::Values(ShiftCase{"twoPixelsASample", 118, 1.0, true},
                                           ShiftCase{"threePixelsASample", 177, 1.0, true},
                                           ShiftCase{"fractionalStep", 265, 1.0, false},
                                           ShiftCase{"scaleFollowsTheData", 118, QVariant(), false},
                                           ShiftCase{"lineColouredAlongTheItem", 118, 1.0, false, {1, 1}}),
                         [](const auto &info) { return std::string(info.param.name); });

// A sparkline's picture drawn band by band, each band drawing only the layers that reach its
// rows, is the picture its grid, fill and line make drawn in one go (but for a gradient's
// rounding on a rare edge pixel), and nothing of it goes to Qt's pool. It is drawn once for
// all the bands it is painted in.
struct PlotCase {
    const char *name;
    QSizeF size;
    qreal dpr;
    std::function<double(int)> sample; // of 90
    QVariant max, paint;
    bool grid = true, fill = true;
};
void PrintTo(const PlotCase &c, std::ostream *os) { *os << c.name; }
class SparklineBands : public ::testing::TestWithParam<PlotCase> {};

TEST_P(SparklineBands, DrawWhatTheLayersDrawInOneGo)
{
    const PlotCase &c = GetParam();
    QList<double> samples;
    for (int i = 0; i < 90; ++i)
        samples << c.sample(i);
    const QColor glow(80, 160, 255);
    SparklinePlot plot;
    plot.setSize(c.size);
    plot.setShowGrid(c.grid);
    plot.setDrawFill(c.fill);
    plot.setNormalizedMax(c.max);
    plot.setPaint(c.paint);
    plot.setGlowColor(glow);
    plot.setSamples(QVariant::fromValue(samples));
    const QSize px(qRound(c.size.width() * c.dpr), qRound(c.size.height() * c.dpr));
    QImage banded(px, QImage::Format_ARGB32_Premultiplied);
    banded.setDevicePixelRatio(c.dpr);
    banded.fill(Qt::transparent);
    const int before = test::poolStarts();
    RasterItem::paintInto(plot, banded);
    EXPECT_EQ(test::poolStarts(), before);
    EXPECT_EQ(plot.wholeRedraws(), 1);

    QImage whole(px, QImage::Format_ARGB32_Premultiplied);
    whole.setDevicePixelRatio(c.dpr);
    whole.fill(Qt::transparent);
    QPainter p(&whole);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = c.size.width(), h = c.size.height();
    if (c.grid) {
        QPen pen(QColor::fromRgbF(1, 1, 1, 0.06f), 0.5, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({4, 6});
        p.setPen(pen);
        for (double y : sparkline::gridLines(h))
            p.drawLine(QPointF(0, y), QPointF(w, y));
    }
    const std::optional<double> max = c.max.isValid() ? std::optional(c.max.toDouble()) : std::nullopt;
    if (c.fill) {
        QLinearGradient fill(0, 0, 0, h);
        QColor top = glow, bottom = glow;
        top.setAlphaF(0.55f);
        bottom.setAlphaF(0);
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(sparkline::fillPolygon(samples, w, h, max));
    }
    ASSERT_TRUE(strokeRoundPolyline(&p, sparkline::linePoints(samples, w, h, max), 2.2,
                                    brushForPaint(c.paint, QRectF(0, 0, w, h))));
    p.end();
    expectAsInOneGo(whole, banded);
}

INSTANTIATE_TEST_SUITE_P(
    Plots, SparklineBands,
    ::testing::Values(
        // The line and fill stay in the bottom rows: the bands above draw the grid or nothing.
        PlotCase{"idleLineInATallPlot", {265, 60}, 1, [](int i) { return 0.05 + 0.02 * (i % 5); }, 1.0,
                 QVariant::fromValue(QColor(77, 166, 255))},
        // A spike past the top of a fixed scale, across every band.
        PlotCase{"spikePastTheTopAt2x", {120, 34}, 2,
                 [](int i) { return i == 40 ? 1.3 : i == 70 ? 0.95 : 0.1 + 0.03 * (i % 3); }, 1.0,
                 QVariant::fromValue(Palette::cpuGradient())},
        // The line alone, as under a glow, its scale following the data, with a gap.
        PlotCase{"lineAloneWithAGap", {266, 60}, 1,
                 [](int i) { return i % 17 == 3 ? std::numeric_limits<double>::quiet_NaN() : 0.4 + 0.3 * std::sin(i * 0.2); },
                 QVariant(), QVariant::fromValue(Palette::downloadGradient()), false, false}),
    [](const auto &info) { return std::string(info.param.name); });

// The watermark standing still under the software renderer: drawn in strips, it shows what an
// Image of the same glyph at that source size showed, faint (as the dashboard shows it) or not.
TEST_F(RasterItemFixture, StillImageShowsWhatAnImageShowed)
{
    window.resize(1100, 560);
    QQmlEngine engine;
    // An item of the window made from QML.
    const auto make = [&](const char *qml) {
        QQmlComponent component(&engine);
        component.setData(QByteArray("import QtQuick\n") + qml, QUrl());
        std::unique_ptr<QQuickItem> item(qobject_cast<QQuickItem *>(component.create()));
        if (item)
            item->setParentItem(window.contentItem());
        else
            ADD_FAILURE() << component.errorString().toStdString();
        return item;
    };
    std::unique_ptr<QQuickItem> image = make("Image { source: 'qrc:/images/VexelMark.svg'; sourceSize: Qt.size(520, 520);"
                                             " width: 520; height: 520; smooth: true; fillMode: Image.PreserveAspectFit }");
    ASSERT_TRUE(image);
    image->setPosition(QPointF(10, 20));
    effects::StillImage still(window.contentItem());
    still.setSource(QUrl(QStringLiteral("qrc:/images/VexelMark.svg")));
    still.setPosition(QPointF(560, 20));
    still.setSize(QSizeF(520, 520));
    for (const qreal opacity : {1.0, 0.04}) {
        image->setOpacity(opacity);
        still.setOpacity(opacity);
        QTRY_VERIFY(still.paintCount() >= 1 && image->property("status").toInt() == 1);
        ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
        EXPECT_EQ(grab(image.get()), grab(&still)) << "opacity " << opacity;
    }

    // It lies under a whole row of the dashboard's changing figures: each changed rectangle
    // cuts every row of a strip into one more span to blend, and the renderer's redraw of the
    // picture under them must stay on the thread all the same.
    std::unique_ptr<QQuickItem> row = make("Row { x: 568; y: 220; spacing: 12; property int tick: 0\n Repeater { model: 10;"
                                           " Rectangle { width: 38; height: 30; color: Qt.rgba(1, 1, 1, 0.1 + (tick % 2) * 0.2) } } }");
    ASSERT_TRUE(row);
    ASSERT_TRUE(corvane::test::waitForFrames(window, 2));
    const int before = test::poolStarts();
    for (int tick = 1; tick <= 4; ++tick) {
        row->setProperty("tick", tick);
        ASSERT_TRUE(corvane::test::waitForFrames(window, 1));
    }
    EXPECT_EQ(test::poolStarts(), before);
}
