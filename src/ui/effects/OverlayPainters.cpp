#include "OverlayPainters.h"

#include "OverlayGeometry.h"

#include <QPainter>
#include <QPainterPath>

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

GrainPainter::GrainPainter(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    setFillColor(Qt::transparent);
}

void GrainPainter::setDensity(int d)
{
    if (assign(m_density, d)) {
        emit densityChanged();
        update();
    }
}

void GrainPainter::setClipRadius(qreal r)
{
    if (assign(m_clipRadius, r)) {
        emit clipRadiusChanged();
        update();
    }
}

void GrainPainter::paint(QPainter *p)
{
    const QSizeF sz = size();
    p->setRenderHint(QPainter::Antialiasing);
    clipToRoundedRect(p, sz, m_clipRadius);
    p->setPen(Qt::NoPen);
    QColor white(Qt::white);
    for (const GrainDot &d : grainDots(m_density, sz.width(), sz.height())) {
        white.setAlphaF(static_cast<float>(d.alpha));
        p->setBrush(white);
        p->drawEllipse(QRectF(d.x, d.y, kGrainDotSize, kGrainDotSize));
    }
}

LinePatternPainter::LinePatternPainter(QQuickItem *parent) : QQuickPaintedItem(parent)
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

} // namespace corvane::effects
