#include "ui/shared/RasterItem.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <QtMath>

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

QSGNode *RasterItem::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(old);
    QQuickWindow *win = window();
    const qreal dpr = win ? win->effectiveDevicePixelRatio() : 1.0;
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    if (!win || px.isEmpty()) {
        delete node;
        return nullptr;
    }
    if (!node || m_dirty || node->texture()->textureSize() != px) {
        QImage img(px, QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(dpr);
        img.fill(m_fill);
        {
            QPainter p(&img);
            if (antialiasing())
                p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
            paint(&p);
        }
        ++m_paints;
        m_dirty = false;
        if (!node) {
            node = win->createImageNode();
            node->setOwnsTexture(true);
        }
        // The image lives on only as the texture; the previous one goes with it.
        node->setTexture(win->createTextureFromImage(img));
    }
    node->setRect(QRectF(0, 0, px.width() / dpr, px.height() / dpr));
    node->setFiltering(smooth() ? QSGTexture::Linear : QSGTexture::Nearest);
    return node;
}

} // namespace corvane
