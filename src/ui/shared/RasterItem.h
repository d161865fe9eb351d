#pragma once
// An item drawn with QPainter, like QQuickPaintedItem but holding one image per item instead
// of two: the software scene graph's painter node keeps its texture on the blank pixmap made
// at each resize while the first paint detaches a second one, so every painted item costs
// twice its pixels for as long as it keeps its size. Here each paint renders fresh images
// that live on only as the node's textures.
//
// The raster engine hands a fill of 96 spans or more (a span per row of a plain image, a few
// per row of a shape's edges) to Qt's thread pool and waits for it: a second of the dashboard
// then woke a pool thread twenty times and more. So the item hands the scene graph strips of
// a few dozen rows, each its own texture: the software renderer draws a strip under a frame's
// changed areas (often two or three rectangles side by side) in fewer spans than that. An
// item whose drawing allows it paints in bands of a few rows besides (setPaintsInBands).
#include <QColor>
#include <QQuickItem>

#include <algorithm>

class QPainter;

namespace corvane {

class RasterItem : public QQuickItem {
    Q_OBJECT
public:
    explicit RasterItem(QQuickItem *parent = nullptr);

    // Draws the item in its own coordinates, over `fillColor` (transparent unless set).
    virtual void paint(QPainter *painter) = 0;

    // Asks for a new paint at the next frame (the whole item: `rect` is not used).
    Q_INVOKABLE void update(const QRect &rect = QRect());

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &c);

    // How many times the item was painted (each paint makes new images).
    int paintCount() const { return m_paints; }

    // Rows of one texture, and rows painted at once in an item taller than one strip.
    static constexpr int kStripRows = 31;
    static constexpr int kBandRows = 8;
    int stripRows() const { return m_stripRows; }

    // Paints `item` into `img` (already filled) band by band, as the item's textures are made.
    static void paintInto(RasterItem &item, QImage &img, int firstRow = 0);

protected:
    // Painting band by band, each band a view on rows of the image, gives the same picture
    // for fills, strokes wider than a pixel, text and images (a gradient may land one level
    // apart on a rare edge pixel); lines of a pixel or thinner are clipped by QPainter's
    // cosmetic stroker at each band's edge and come out otherwise, so it is asked for.
    void setPaintsInBands(bool on) { m_bands = on; }
    // A large still picture lies under many of a frame's changes at once: a strip is blended
    // once per changed rectangle on each of its rows, and enough of those side by side go to
    // the pool again. Shorter strips keep that count down, for a few more nodes.
    void setStripRows(int rows) { m_stripRows = std::max(1, rows); }

    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void releaseResources() override;

private:
    QColor m_fill = Qt::transparent;
    bool m_dirty = true;
    bool m_bands = false;
    int m_stripRows = kStripRows;
    int m_paints = 0;
};

} // namespace corvane
