#pragma once
// An item drawn with QPainter, like QQuickPaintedItem but holding one image per item instead
// of two: the software scene graph's painter node keeps its texture on the blank pixmap made
// at each resize while the first paint detaches a second one, so every painted item costs
// twice its pixels for as long as it keeps its size. Here each paint renders a fresh image
// that lives on only as the node's texture.
#include <QColor>
#include <QQuickItem>

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

    // How many times the item was painted (each paint makes a new image).
    int paintCount() const { return m_paints; }

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void releaseResources() override;

private:
    QColor m_fill = Qt::transparent;
    bool m_dirty = true;
    int m_paints = 0;
};

} // namespace corvane
