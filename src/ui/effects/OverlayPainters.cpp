#include "OverlayPainters.h"

#include "OverlayGeometry.h"

#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

namespace corvane::effects {

namespace {

void clipToRoundedRect(QPainter *p, const QSizeF &size, qreal radius)
{
    if (radius <= 0)
        return;
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    p->setClipPath(path);
}

template <typename T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

GrainPainter::GrainPainter(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void GrainPainter::invalidate()
{
    m_dirty = true;
    update();
}

void GrainPainter::setDensity(int d)
{
    if (assign(m_density, d)) {
        emit densityChanged();
        invalidate();
    }
}

void GrainPainter::setClipRadius(qreal r)
{
    if (assign(m_clipRadius, r)) {
        emit clipRadiusChanged();
        invalidate();
    }
}

void GrainPainter::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        invalidate();
}

void GrainPainter::releaseResources()
{
    // The node (and its texture) goes with the scene graph; the next frame draws again.
    m_dirty = true;
}

QImage GrainPainter::render(QSize size, qreal dpr, int density, qreal clipRadius)
{
    if (size.isEmpty())
        return {};
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    const QSizeF sz = QSizeF(size) / dpr;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    clipToRoundedRect(&p, sz, clipRadius);
    p.setPen(Qt::NoPen);
    QColor white(Qt::white);
    for (const GrainDot &d : grainDots(density, sz.width(), sz.height())) {
        white.setAlphaF(static_cast<float>(d.alpha));
        p.setBrush(white);
        p.drawEllipse(QRectF(d.x, d.y, kGrainDotSize, kGrainDotSize));
    }
    return img;
}

QSGNode *GrainPainter::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(old);
    QQuickWindow *win = window();
    const qreal dpr = win ? win->effectiveDevicePixelRatio() : 1.0;
    const QSize px = (size() * dpr).toSize();
    if (!win || px.isEmpty() || m_density <= 0) {
        delete node;
        return nullptr;
    }
    if (node && (m_dirty || node->texture()->textureSize() != px)) {
        delete node; // and its texture
        node = nullptr;
    }
    if (!node) {
        ++m_renders;
        node = win->createImageNode();
        node->setOwnsTexture(true);
        // The image lives on only as the texture.
        node->setTexture(win->createTextureFromImage(render(px, dpr, m_density, m_clipRadius)));
        m_dirty = false;
    }
    node->setRect(boundingRect());
    node->setFiltering(QSGTexture::Nearest);
    return node;
}

LinePatternPainter::LinePatternPainter(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setFillColor(Qt::transparent);
}

void LinePatternPainter::setPattern(Pattern v)
{
    if (assign(m_pattern, v)) {
        emit patternChanged();
        update();
    }
}

void LinePatternPainter::setColor(const QColor &v)
{
    if (assign(m_color, v)) {
        emit colorChanged();
        update();
    }
}

void LinePatternPainter::setLineOpacity(qreal v)
{
    if (assign(m_lineOpacity, v)) {
        emit lineOpacityChanged();
        update();
    }
}

void LinePatternPainter::setSpacing(qreal v)
{
    if (assign(m_spacing, v)) {
        emit spacingChanged();
        update();
    }
}

void LinePatternPainter::setClipRadius(qreal v)
{
    if (assign(m_clipRadius, v)) {
        emit clipRadiusChanged();
        update();
    }
}

void LinePatternPainter::paint(QPainter *p)
{
    const qreal w = width();
    const qreal h = height();
    p->setRenderHint(QPainter::Antialiasing);
    clipToRoundedRect(p, size(), m_clipRadius);
    QColor c = m_color;
    c.setAlphaF(static_cast<float>(c.alphaF() * qBound<qreal>(0, m_lineOpacity, 1)));
    p->setPen(QPen(c, kOverlayLineWidth, Qt::SolidLine, Qt::FlatCap));
    if (m_pattern == Grid) {
        for (double x : lineOffsets(w, m_spacing))
            p->drawLine(QPointF(x, 0), QPointF(x, h));
    }
    for (double y : lineOffsets(h, m_spacing))
        p->drawLine(QPointF(0, y), QPointF(w, y));
}

RoundedGradientPainter::RoundedGradientPainter(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

#define CORVANE_PAINTER_SETTER(Setter, Type, field, signal) \
    void RoundedGradientPainter::Setter(Type v)              \
    {                                                        \
        if (assign(field, v)) {                              \
            emit signal();                                   \
            update();                                        \
        }                                                    \
    }
CORVANE_PAINTER_SETTER(setRadius, qreal, m_radius, radiusChanged)
CORVANE_PAINTER_SETTER(setRimWidth, qreal, m_rimWidth, rimWidthChanged)
CORVANE_PAINTER_SETTER(setFromColor, const QColor &, m_from, fromColorChanged)
CORVANE_PAINTER_SETTER(setToColor, const QColor &, m_to, toColorChanged)
CORVANE_PAINTER_SETTER(setFromPoint, const QPointF &, m_fromPoint, fromPointChanged)
CORVANE_PAINTER_SETTER(setToPoint, const QPointF &, m_toPoint, toPointChanged)
CORVANE_PAINTER_SETTER(setGradientRadius, qreal, m_gradientRadius, gradientRadiusChanged)
#undef CORVANE_PAINTER_SETTER

void paintRoundedGradient(QPainter *p, const QSizeF &size, const RoundedGradient &g)
{
    const QRectF outer(QPointF(0, 0), size);
    const auto radiusFor = [](const QRectF &r, qreal radius) {
        return qBound<qreal>(0, radius, qMin(r.width(), r.height()) / 2);
    };
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRoundedRect(outer, radiusFor(outer, g.radius), radiusFor(outer, g.radius));
    if (g.rimWidth > 0) {
        const QRectF inner = outer.adjusted(g.rimWidth, g.rimWidth, -g.rimWidth, -g.rimWidth);
        if (!inner.isEmpty()) {
            const qreal r = radiusFor(inner, g.radius - g.rimWidth);
            path.addRoundedRect(inner, r, r);
        }
    }
    p->setRenderHint(QPainter::Antialiasing);
    if (g.from == g.to) {
        p->fillPath(path, g.from);
    } else if (g.gradientRadius > 0) {
        QRadialGradient grad(g.fromPoint, g.gradientRadius);
        grad.setColorAt(0, g.from);
        grad.setColorAt(1, g.to);
        p->fillPath(path, grad);
    } else {
        QLinearGradient grad(g.fromPoint, g.toPoint);
        grad.setColorAt(0, g.from);
        grad.setColorAt(1, g.to);
        p->fillPath(path, grad);
    }
}

void RoundedGradientPainter::paint(QPainter *p)
{
    paintRoundedGradient(p, size(), {m_radius, m_rimWidth, m_from, m_to, m_fromPoint, m_toPoint, m_gradientRadius});
}

GlassPanePainter::GlassPanePainter(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

void GlassPanePainter::paint(QPainter *p)
{
    const QRectF r(QPointF(0, 0), size());
    const qreal radius = qBound<qreal>(0, m_radius, qMin(r.width(), r.height()) / 2);
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    for (const QColor &c : {m_base, m_tint}) {
        if (c.alpha() == 0)
            continue;
        p->setBrush(c);
        p->drawRoundedRect(r, radius, radius);
    }
    const auto lines = [&](const QColor &c, qreal spacing, bool vertical) {
        if (c.alpha() == 0 || spacing <= 0)
            return;
        p->save();
        clipToRoundedRect(p, size(), m_radius);
        p->setPen(QPen(c, kOverlayLineWidth, Qt::SolidLine, Qt::FlatCap));
        if (vertical) {
            for (double x : lineOffsets(r.width(), spacing))
                p->drawLine(QPointF(x, 0), QPointF(x, r.height()));
        }
        for (double y : lineOffsets(r.height(), spacing))
            p->drawLine(QPointF(0, y), QPointF(r.width(), y));
        p->restore();
    };
    lines(m_grid, m_gridSpacing, true);
    lines(m_scan, m_scanSpacing, false);
    if (m_glow.alpha() > 0 && m_glowRadius > 0) {
        QColor clear = m_glow;
        clear.setAlpha(0);
        paintRoundedGradient(p, size(), {m_radius, 0, m_glow, clear, m_glowCentre, {}, m_glowRadius});
    }
    if (m_rimWidth > 0 && (m_rimFrom.alpha() > 0 || m_rimTo.alpha() > 0))
        paintRoundedGradient(p, size(), {m_radius, m_rimWidth, m_rimFrom, m_rimTo, {0, 0}, {r.width(), r.height()}, 0});
}

} // namespace corvane::effects
