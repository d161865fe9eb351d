#include "ui/surfaces/PillChrome.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace corvane {

namespace {
QColor withAlpha(QColor c, double a)
{
    c.setAlphaF(static_cast<float>(c.alphaF() * a));
    return c;
}
} // namespace

PillChrome::PillChrome(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

void PillChrome::setAccent(const QColor &c)
{
    if (c == m_accent)
        return;
    m_accent = c;
    emit accentChanged();
    update();
}

void PillChrome::setRadius(double r)
{
    if (r == m_radius)
        return;
    m_radius = r;
    emit radiusChanged();
    update();
}

void PillChrome::setBackdrop(const QColor &c)
{
    if (c == m_backdrop)
        return;
    m_backdrop = c;
    emit backdropChanged();
    update();
}

void PillChrome::paint(QPainter *p)
{
    const QRectF r(0, 0, width(), height());
    if (r.isEmpty())
        return;
    p->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(r, m_radius, m_radius);

    if (m_backdrop.alpha() > 0)
        p->fillPath(shape, m_backdrop);
    p->fillPath(shape, QColor::fromRgbF(0, 0, 0, 0.12f));
    QLinearGradient tint(r.topLeft(), r.bottomRight());
    tint.setColorAt(0, withAlpha(m_accent, 0.10));
    tint.setColorAt(1, withAlpha(m_accent, 0.0));
    p->fillPath(shape, tint);

    // The 1-point border sits on the outline, half inside, as a stroked shape does.
    QLinearGradient edge(r.topLeft(), r.bottomRight());
    edge.setColorAt(0, withAlpha(m_accent, 0.55));
    edge.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.15f));
    QPen pen(QBrush(edge), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    p->setPen(pen);
    p->setBrush(Qt::NoBrush);
    p->drawPath(shape);
}

} // namespace corvane
