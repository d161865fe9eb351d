#include "ui/shared/WaveformPlot.h"

#include "ui/shared/StrokeItems.h"

#include <QPainter>
#include <QPainterPath>

namespace corvane {

WaveformPlot::WaveformPlot(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

void WaveformPlot::setBuffer(WaveformBuffer *b)
{
    if (m_buffer == b)
        return;
    if (m_buffer)
        disconnect(m_buffer, nullptr, this, nullptr);
    m_buffer = b;
    if (b)
        connect(b, &WaveformBuffer::samplesChanged, this, [this] { update(); });
    emit changed();
    update();
}

void WaveformPlot::paint(QPainter *p)
{
    if (!m_buffer)
        return;
    const QList<QPointF> pts = ToneRules::waveformPoints(m_buffer->samples(), width(), height());
    if (pts.size() < 2)
        return;
    QPainterPath path(pts.first());
    for (qsizetype i = 1; i < pts.size(); ++i)
        path.lineTo(pts[i]);
    p->setRenderHint(QPainter::Antialiasing);
    // The glow: a soft wider line under the stroke (no blur under the software renderer).
    QColor glow = m_glow;
    glow.setAlphaF(0.25f);
    p->strokePath(path, QPen(glow, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->strokePath(path, QPen(brushForPaint(m_paint, boundingRect()), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

} // namespace corvane
