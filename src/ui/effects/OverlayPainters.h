#pragma once
// Painted items behind the grain, scan-line and grid overlay views. They paint into
// their own transparent texture, so they work under the software renderer as well.
#include <QColor>
#include <QImage>
#include "ui/shared/RasterItem.h"
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

// The grain never changes between frames: it is drawn once per size into one image that
// the scene graph keeps as its texture; no image is held beside it.
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
    // Times the image was drawn (a static overlay draws once per size).
    int renderCount() const { return m_renders; }

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

} // namespace corvane::effects
