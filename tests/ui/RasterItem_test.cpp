// Items drawn through RasterItem look exactly as they did as QQuickPaintedItems, follow their
// size and repaint on request.
#include "support/QmlTestUtil.h"
#include "ui/shared/RasterItem.h"

#include <QPainter>
#include <QQuickPaintedItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

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
