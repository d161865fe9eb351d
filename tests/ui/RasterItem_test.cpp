// Items drawn through RasterItem look exactly as they did as QQuickPaintedItems, follow their
// size and repaint on request.
#include "support/QmlTestUtil.h"
#include "ui/shared/RasterItem.h"
#include "ui/shared/StrokeItems.h"

#include <QPainter>
#include <QQuickPaintedItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

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
