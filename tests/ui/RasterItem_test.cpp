// Items drawn through RasterItem look exactly as they did as QQuickPaintedItems, follow their
// size and repaint on request.
#include "support/QmlTestUtil.h"
#include "ui/shared/RasterItem.h"
#include "ui/shared/RoundPolyline.h"
#include "ui/shared/SparklineGeometry.h"
#include "ui/shared/StrokeItems.h"

#include <QPainter>
#include <QQuickPaintedItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
