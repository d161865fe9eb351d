#pragma once
// Painted items behind the grain, scan-line and grid overlay views. They paint into
// their own transparent texture, so they work under the software renderer as well.
#include <QColor>
#include <QImage>
#include <QPointF>
#include "ui/shared/RasterItem.h"
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

// The grain never changes between frames. Under the software scene graph the specks are
// drawn straight into the frame, a tile at a time, only where the frame is repainted: a
// window-size image of them would cost megabytes for as long as the window shows. Other
// scene graphs get them drawn once per size into one image kept as the node's texture.
class GrainPainter : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int density READ density WRITE setDensity NOTIFY densityChanged)
    Q_PROPERTY(qreal clipRadius READ clipRadius WRITE setClipRadius NOTIFY clipRadiusChanged)
public:
    explicit GrainPainter(QQuickItem *parent = nullptr);

    int density() const { return m_density; }
    void setDensity(int d);
    qreal clipRadius() const { return m_clipRadius; }
    void setClipRadius(qreal r);

    // The grain of `size` device pixels at `dpr`, premultiplied; null for an empty size.
    static QImage render(QSize size, qreal dpr, int density, qreal clipRadius);
    // Times the image or the tiles were made (a static overlay makes them once per size).
    int renderCount() const { return m_renders; }
    // Side of the square tiles the software scene graph draws and flushes one by one.
    static constexpr int kTileSize = 64;

signals:
    void densityChanged();
    void clipRadiusChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void releaseResources() override;

private:
    void invalidate();
    int m_density = 0;
    qreal m_clipRadius = 0;
    bool m_dirty = true;
    int m_renders = 0;
};

class LinePatternPainter : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Pattern pattern READ pattern WRITE setPattern NOTIFY patternChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal lineOpacity READ lineOpacity WRITE setLineOpacity NOTIFY lineOpacityChanged)
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY spacingChanged)
    Q_PROPERTY(qreal clipRadius READ clipRadius WRITE setClipRadius NOTIFY clipRadiusChanged)
public:
    enum Pattern { ScanLines, Grid };
    Q_ENUM(Pattern)

    explicit LinePatternPainter(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

    Pattern pattern() const { return m_pattern; }
    void setPattern(Pattern p);
    QColor color() const { return m_color; }
    void setColor(const QColor &c);
    qreal lineOpacity() const { return m_lineOpacity; }
    void setLineOpacity(qreal o);
    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal s);
    qreal clipRadius() const { return m_clipRadius; }
    void setClipRadius(qreal r);

signals:
    void patternChanged();
    void colorChanged();
    void lineOpacityChanged();
    void spacingChanged();
    void clipRadiusChanged();

private:
    Pattern m_pattern = ScanLines;
    QColor m_color = Qt::white;
    qreal m_lineOpacity = 1;
    qreal m_spacing = 3;
    qreal m_clipRadius = 0;
};

// A rounded outline (or its rim) filled with a colour, a linear or a radial gradient.
struct RoundedGradient {
    qreal radius = 0;
    qreal rimWidth = 0; // 0 fills the whole shape
    QColor from, to;
    QPointF fromPoint, toPoint;
    qreal gradientRadius = 0; // 0: linear from fromPoint to toPoint
};
void paintRoundedGradient(QPainter *p, const QSizeF &size, const RoundedGradient &g);

// A rounded rectangle, or only its rim `rimWidth` wide, filled with a linear gradient from
// `fromColor` at `fromPoint` to `toColor` at `toPoint` (item coordinates), or with a radial
// one from `fromPoint` out to `gradientRadius` where that is set. Painted into an
// image rather than drawn as a shape: under the software scene graph a shape repaints its
// whole area whenever anything drawn over it changes.
class RoundedGradientPainter : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
    Q_PROPERTY(qreal rimWidth READ rimWidth WRITE setRimWidth NOTIFY rimWidthChanged)
    Q_PROPERTY(QColor fromColor READ fromColor WRITE setFromColor NOTIFY fromColorChanged)
    Q_PROPERTY(QColor toColor READ toColor WRITE setToColor NOTIFY toColorChanged)
    Q_PROPERTY(QPointF fromPoint READ fromPoint WRITE setFromPoint NOTIFY fromPointChanged)
    Q_PROPERTY(QPointF toPoint READ toPoint WRITE setToPoint NOTIFY toPointChanged)
    Q_PROPERTY(qreal gradientRadius READ gradientRadius WRITE setGradientRadius NOTIFY gradientRadiusChanged)
public:
    explicit RoundedGradientPainter(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

    qreal radius() const { return m_radius; }
    void setRadius(qreal r);
    // 0 fills the whole shape.
    qreal rimWidth() const { return m_rimWidth; }
    void setRimWidth(qreal w);
    QColor fromColor() const { return m_from; }
    void setFromColor(const QColor &c);
    QColor toColor() const { return m_to; }
    void setToColor(const QColor &c);
    QPointF fromPoint() const { return m_fromPoint; }
    void setFromPoint(const QPointF &p);
    QPointF toPoint() const { return m_toPoint; }
    void setToPoint(const QPointF &p);
    // 0: the gradient is linear.
    qreal gradientRadius() const { return m_gradientRadius; }
    void setGradientRadius(qreal r);

signals:
    void radiusChanged();
    void rimWidthChanged();
    void fromColorChanged();
    void toColorChanged();
    void fromPointChanged();
    void toPointChanged();
    void gradientRadiusChanged();

private:
    qreal m_radius = 0;
    qreal m_rimWidth = 0;
    QColor m_from = Qt::white;
    QColor m_to = Qt::white;
    QPointF m_fromPoint;
    QPointF m_toPoint;
    qreal m_gradientRadius = 0;
};

// A card's backdrop in one image: up to two rounded fills, a line grid and scan lines clipped
// to the same corners, a radial glow and a rim with a linear gradient from the top-left to the
// bottom-right corner. As separate items they were up to six scene-graph nodes, each blended
// again wherever anything on the card changed (and, on a tilted card, each in perspective).
class GlassPanePainter : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(QColor baseColor READ baseColor WRITE setBaseColor NOTIFY changed)
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor NOTIFY changed)
    Q_PROPERTY(QColor gridColor READ gridColor WRITE setGridColor NOTIFY changed)
    Q_PROPERTY(qreal gridSpacing READ gridSpacing WRITE setGridSpacing NOTIFY changed)
    Q_PROPERTY(QColor scanColor READ scanColor WRITE setScanColor NOTIFY changed)
    Q_PROPERTY(qreal scanSpacing READ scanSpacing WRITE setScanSpacing NOTIFY changed)
    Q_PROPERTY(QColor glowColor READ glowColor WRITE setGlowColor NOTIFY changed)
    Q_PROPERTY(QPointF glowCentre READ glowCentre WRITE setGlowCentre NOTIFY changed)
    Q_PROPERTY(qreal glowRadius READ glowRadius WRITE setGlowRadius NOTIFY changed)
    Q_PROPERTY(qreal rimWidth READ rimWidth WRITE setRimWidth NOTIFY changed)
    Q_PROPERTY(QColor rimFromColor READ rimFromColor WRITE setRimFromColor NOTIFY changed)
    Q_PROPERTY(QColor rimToColor READ rimToColor WRITE setRimToColor NOTIFY changed)
public:
    explicit GlassPanePainter(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

    qreal radius() const { return m_radius; }
    void setRadius(qreal v) { set(m_radius, v); }
    QColor baseColor() const { return m_base; }
    void setBaseColor(const QColor &v) { set(m_base, v); }
    QColor tintColor() const { return m_tint; }
    void setTintColor(const QColor &v) { set(m_tint, v); }
    // A transparent colour or a spacing of 0 leaves the pattern out.
    QColor gridColor() const { return m_grid; }
    void setGridColor(const QColor &v) { set(m_grid, v); }
    qreal gridSpacing() const { return m_gridSpacing; }
    void setGridSpacing(qreal v) { set(m_gridSpacing, v); }
    QColor scanColor() const { return m_scan; }
    void setScanColor(const QColor &v) { set(m_scan, v); }
    qreal scanSpacing() const { return m_scanSpacing; }
    void setScanSpacing(qreal v) { set(m_scanSpacing, v); }
    // Fades from glowColor at glowCentre to clear at glowRadius; transparent leaves it out.
    QColor glowColor() const { return m_glow; }
    void setGlowColor(const QColor &v) { set(m_glow, v); }
    QPointF glowCentre() const { return m_glowCentre; }
    void setGlowCentre(const QPointF &v) { set(m_glowCentre, v); }
    qreal glowRadius() const { return m_glowRadius; }
    void setGlowRadius(qreal v) { set(m_glowRadius, v); }
    qreal rimWidth() const { return m_rimWidth; }
    void setRimWidth(qreal v) { set(m_rimWidth, v); }
    QColor rimFromColor() const { return m_rimFrom; }
    void setRimFromColor(const QColor &v) { set(m_rimFrom, v); }
    QColor rimToColor() const { return m_rimTo; }
    void setRimToColor(const QColor &v) { set(m_rimTo, v); }

signals:
    void changed();

private:
    template <typename T>
    void set(T &field, const T &v)
    {
        if (field == v)
            return;
        field = v;
        emit changed();
        update();
    }
    qreal m_radius = 0;
    QColor m_base = Qt::transparent;
    QColor m_tint = Qt::transparent;
    QColor m_grid = Qt::transparent;
    qreal m_gridSpacing = 0;
    QColor m_scan = Qt::transparent;
    qreal m_scanSpacing = 0;
    QColor m_glow = Qt::transparent;
    QPointF m_glowCentre;
    qreal m_glowRadius = 0;
    qreal m_rimWidth = 0;
    QColor m_rimFrom = Qt::transparent;
    QColor m_rimTo = Qt::transparent;
};

} // namespace corvane::effects
