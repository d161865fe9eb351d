#include "ui/shared/RasterItem.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <QtMath>

#include <algorithm>

namespace corvane {

RasterItem::RasterItem(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void RasterItem::update(const QRect &)
{
    m_dirty = true;
    QQuickItem::update();
}

void RasterItem::setFillColor(const QColor &c)
{
    if (c == m_fill)
        return;
    m_fill = c;
    update();
}

void RasterItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

void RasterItem::releaseResources()
{
    m_dirty = true; // the node goes with the scene graph; the next frame paints again
}

void RasterItem::paintInto(RasterItem &item, QImage &img, int firstRow)
{
    const qreal dpr = img.devicePixelRatio();
    const int rows = img.height();
    // A short item paints in one go; a taller one band by band, each band a view on its rows
    // (the painter's device, so the raster engine meets no more rows than the band's).
    const bool whole = !item.m_bands || qRound(item.height() * dpr) <= item.m_stripRows;
    const int step = whole ? rows : kBandRows;
    for (int y = 0; y < rows; y += step) {
        const int h = std::min(step, rows - y);
        QImage band(img.bits() + qsizetype(y) * img.bytesPerLine(), img.width(), h, img.bytesPerLine(), img.format());
        band.setDevicePixelRatio(dpr);
        QPainter p(&band);
        if (item.antialiasing())
            p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        if (firstRow + y != 0)
            p.translate(0, -(firstRow + y) / dpr);
        item.paint(&p);
    }
}

QSGNode *RasterItem::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    QQuickWindow *win = window();
    const qreal dpr = win ? win->effectiveDevicePixelRatio() : 1.0;
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    if (!win || px.isEmpty()) {
        delete old;
        return nullptr;
    }
    const int stripRows = m_stripRows;
    const int strips = (px.height() + stripRows - 1) / stripRows;
    QSGNode *node = old;
    if (!node) {
        node = new QSGNode;
        m_dirty = true;
    }
    // A strip's texture knows its size: a change of size or of the pixel ratio paints anew.
    const auto *first = static_cast<QSGImageNode *>(node->firstChild());
    const QSize firstSize(px.width(), std::min(stripRows, px.height()));
    if (node->childCount() != strips || !first || first->texture()->textureSize() != firstSize)
        m_dirty = true;
    if (m_dirty) {
        while (node->childCount() > strips)
            delete node->lastChild();
        // Painted whole, the picture is cut into the strips; painted in bands, each strip is
        // painted where it lies.
        QImage whole;
        if (!m_bands) {
            whole = QImage(px, QImage::Format_ARGB32_Premultiplied);
            whole.setDevicePixelRatio(dpr);
            whole.fill(m_fill);
            paintInto(*this, whole);
        }
        QSGNode *child = node->firstChild();
        for (int y = 0; y < px.height(); y += stripRows) {
            const int rows = std::min(stripRows, px.height() - y);
            QImage img;
            if (m_bands) {
                img = QImage(px.width(), rows, QImage::Format_ARGB32_Premultiplied);
                img.setDevicePixelRatio(dpr);
                img.fill(m_fill);
                paintInto(*this, img, y);
            } else {
                img = strips == 1 ? whole : whole.copy(0, y, px.width(), rows);
                img.setDevicePixelRatio(dpr);
            }
            // The image lives on only as the texture; the previous one goes with it. A new
            // strip joins the tree with its texture: the renderer looks at it at once.
            if (child) {
                static_cast<QSGImageNode *>(child)->setTexture(win->createTextureFromImage(img));
                child = child->nextSibling();
            } else {
                QSGImageNode *strip = win->createImageNode();
                strip->setOwnsTexture(true);
                strip->setTexture(win->createTextureFromImage(img));
                strip->setRect(QRectF(0, y / dpr, px.width() / dpr, rows / dpr));
                node->appendChildNode(strip);
            }
        }
        ++m_paints;
        m_dirty = false;
    }
    int y = 0;
    for (QSGNode *child = node->firstChild(); child; child = child->nextSibling(), y += stripRows) {
        auto *strip = static_cast<QSGImageNode *>(child);
        const int rows = std::min(stripRows, px.height() - y);
        strip->setRect(QRectF(0, y / dpr, px.width() / dpr, rows / dpr));
        strip->setFiltering(smooth() ? QSGTexture::Linear : QSGTexture::Nearest);
    }
    return node;
}

} // namespace corvane
