#include "OverlayPainters.h"

#include "OverlayGeometry.h"

#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QSGTexture>

#include <cmath>
#include <memory>

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

namespace {

// Each speck pre-drawn once into a 3 x 3 cell of one strip (a 1.2 pixel dot at any sub-pixel
// offset stays inside it): blitting a cell costs far less than rasterising an antialiased
// ellipse every time its area is repainted, and gives the pixels the grain image had.
constexpr int kSpriteSide = 3;

struct GrainSprites {
    QImage strip; // cell i at (3 i, 0)
    std::vector<GrainDot> dots; // for a tile off the pixel grid
};

struct TileDot {
    int index;      // into GrainSprites
    QPoint origin;  // the cell's top-left pixel in item coordinates
};

// One tile of the grain, drawn with the software renderer's own painter. The renderer
// repaints and flushes a node's whole rectangle whenever any of it is dirty, so the grain is
// split into tiles: a small change elsewhere redraws and flushes the few tiles around it.
class GrainTileNode final : public QSGRenderNode {
public:
    GrainTileNode(QQuickWindow *window, const QRectF &rect, std::shared_ptr<const GrainSprites> sprites,
                  std::vector<TileDot> dots, const QSizeF &itemSize, qreal clipRadius)
        : m_window(window), m_rect(rect), m_sprites(std::move(sprites)), m_dots(std::move(dots)),
          m_itemSize(itemSize), m_clipRadius(clipRadius)
    {
    }

    StateFlags changedStates() const override { return {}; }
    RenderingFlags flags() const override { return BoundedRectRendering; }
    QRectF rect() const override { return m_rect; }

    void render(const RenderState *state) override
    {
        auto *p = static_cast<QPainter *>(
            m_window->rendererInterface()->getResource(m_window, QSGRendererInterface::PainterResource));
        if (!p || m_dots.empty())
            return;
        const QTransform toWorld = matrix()->toTransform();
        // Neighbouring tiles round their shared edge the same way, so no pixel is blended
        // twice (or missed) where a speck straddles two of them.
        const QRectF world = toWorld.mapRect(m_rect);
        const QRect own(QPoint(qRound(world.left()), qRound(world.top())),
                        QPoint(qRound(world.right()) - 1, qRound(world.bottom()) - 1));
        QRegion area(own);
        if (const QRegion *dirty = state->clipRegion(); dirty && !dirty->isEmpty())
            area &= *dirty;
        if (area.isEmpty())
            return;
        p->setClipRegion(area, Qt::ReplaceClip);
        p->setTransform(toWorld);
        if (m_clipRadius > 0) {
            QPainterPath path;
            path.addRoundedRect(QRectF(QPointF(0, 0), m_itemSize), m_clipRadius, m_clipRadius);
            p->setClipPath(path, Qt::IntersectClip);
        }
        p->setOpacity(inheritedOpacity());
        // Only the specks that reach the repainted area.
        const QRectF reach = toWorld.inverted().mapRect(QRectF(area.boundingRect()));
        // The cells fit the pixel grid only when the tile lands on whole device pixels.
        const bool onGrid = toWorld.type() <= QTransform::TxTranslate && p->device()->devicePixelRatio() == 1
                            && toWorld.dx() == std::round(toWorld.dx()) && toWorld.dy() == std::round(toWorld.dy());
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(Qt::NoPen);
        QColor white(Qt::white);
        for (const TileDot &t : m_dots) {
            if (!reach.intersects(QRectF(t.origin, QSizeF(kSpriteSide, kSpriteSide))))
                continue;
            if (onGrid) {
                p->drawImage(t.origin, m_sprites->strip,
                             QRect(t.index * kSpriteSide, 0, kSpriteSide, kSpriteSide));
            } else {
                const GrainDot &d = m_sprites->dots[static_cast<std::size_t>(t.index)];
                white.setAlphaF(static_cast<float>(d.alpha));
                p->setBrush(white);
                p->drawEllipse(QRectF(d.x, d.y, kGrainDotSize, kGrainDotSize));
            }
        }
    }

private:
    QQuickWindow *m_window;
    QRectF m_rect;
    std::shared_ptr<const GrainSprites> m_sprites;
    std::vector<TileDot> m_dots;
    QSizeF m_itemSize;
    qreal m_clipRadius;
};

std::shared_ptr<const GrainSprites> grainSprites(const std::vector<GrainDot> &dots)
{
    auto sprites = std::make_shared<GrainSprites>();
    sprites->dots = dots;
    const int n = static_cast<int>(dots.size());
    sprites->strip = QImage(n * kSpriteSide, kSpriteSide, QImage::Format_ARGB32_Premultiplied);
    sprites->strip.fill(Qt::transparent);
    QPainter p(&sprites->strip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor white(Qt::white);
    for (int i = 0; i < n; ++i) {
        const GrainDot &d = dots[static_cast<std::size_t>(i)];
        white.setAlphaF(static_cast<float>(d.alpha));
        p.setBrush(white);
        p.drawEllipse(QRectF(i * kSpriteSide + (d.x - std::floor(d.x)), d.y - std::floor(d.y), kGrainDotSize,
                             kGrainDotSize));
    }
    return sprites;
}

// The tiles of a grain over `size`, each with the specks whose cells touch it.
QSGNode *grainTiles(QQuickWindow *window, const QSizeF &size, int density, qreal clipRadius)
{
    const int tile = GrainPainter::kTileSize;
    const int columns = static_cast<int>(std::ceil(size.width() / tile));
    const int rows = static_cast<int>(std::ceil(size.height() / tile));
    const std::vector<GrainDot> dots = grainDots(density, size.width(), size.height());
    const auto sprites = grainSprites(dots);
    std::vector<std::vector<TileDot>> buckets(static_cast<std::size_t>(columns) * rows);
    const auto cell = [&](int v, int count) { return qBound(0, v / tile, count - 1); };
    for (std::size_t i = 0; i < dots.size(); ++i) {
        const QPoint origin(static_cast<int>(std::floor(dots[i].x)), static_cast<int>(std::floor(dots[i].y)));
        const int c0 = cell(origin.x(), columns), c1 = cell(origin.x() + kSpriteSide - 1, columns);
        const int r0 = cell(origin.y(), rows), r1 = cell(origin.y() + kSpriteSide - 1, rows);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                buckets[static_cast<std::size_t>(r) * columns + c].push_back({static_cast<int>(i), origin});
    }
    auto *root = new QSGNode;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            auto &bucket = buckets[static_cast<std::size_t>(r) * columns + c];
            if (bucket.empty())
                continue;
            const QRectF rect = QRectF(c * tile, r * tile, tile, tile).intersected(QRectF(QPointF(0, 0), size));
            root->appendChildNode(new GrainTileNode(window, rect, sprites, std::move(bucket), size, clipRadius));
        }
    }
    return root;
}

} // namespace

QSGNode *GrainPainter::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    QQuickWindow *win = window();
    const qreal dpr = win ? win->effectiveDevicePixelRatio() : 1.0;
    const QSize px = (size() * dpr).toSize();
    if (!win || px.isEmpty() || m_density <= 0) {
        delete old;
        return nullptr;
    }
    if (win->rendererInterface()->graphicsApi() == QSGRendererInterface::Software) {
        if (old && !m_dirty)
            return old;
        delete old;
        ++m_renders;
        m_dirty = false;
        return grainTiles(win, size(), m_density, m_clipRadius);
    }
    auto *node = static_cast<QSGImageNode *>(old);
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
    setPaintsInBands(true);
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
