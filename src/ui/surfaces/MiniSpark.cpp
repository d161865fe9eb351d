#include "ui/surfaces/MiniSpark.h"
#include "ui/shared/RoundPolyline.h"

#include <QJSValue>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane {

MiniSpark::MiniSpark(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

QList<QPointF> MiniSpark::points(const QList<double> &samples, double w, double h)
{
    const QList<double> last = samples.mid(std::max<qsizetype>(0, samples.size() - kMaxSamples));
    const qsizetype n = last.size();
    double largest = n > 0 ? -std::numeric_limits<double>::infinity() : 1.0;
    for (double v : last)
        if (std::isfinite(v))
            largest = std::max(largest, v);
    const double top = std::max(0.0001, largest);
    const double step = w / static_cast<double>(std::max<qsizetype>(n, 2) - 1);
    QList<QPointF> out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const double v = std::isfinite(last[i]) ? last[i] : 0.0;
        out.append(QPointF(static_cast<double>(i) * step, h * (1 - v / top)));
    }
    return out;
}

void MiniSpark::setSamples(const QVariant &v)
{
    QVariant value = v;
    if (value.metaType() == QMetaType::fromType<QJSValue>())
        value = value.value<QJSValue>().toVariant();
    QList<double> list;
    if (value.metaType() == QMetaType::fromType<QList<double>>()) {
        list = value.value<QList<double>>();
    } else if (value.canConvert<QVariantList>()) {
        const QVariantList vl = value.toList();
        list.reserve(vl.size());
        for (const QVariant &x : vl)
            list.append(x.toDouble());
    }
    if (list == m_samples)
        return;
    m_samples = list;
    emit changed();
    update();
}

void MiniSpark::setColor(const QColor &c)
{
    if (c == m_color)
        return;
    m_color = c;
    emit changed();
    update();
}

void MiniSpark::setBleed(double b)
{
    b = std::isfinite(b) ? std::max(0.0, b) : 0.0;
    if (b == m_bleed)
        return;
    m_bleed = b;
    emit changed();
    update();
}

void MiniSpark::paint(QPainter *p)
{
    const double w = std::max(0.0, width() - 2 * m_bleed), h = std::max(0.0, height() - 2 * m_bleed);
    p->translate(m_bleed, m_bleed);
    const QList<QPointF> pts = points(m_samples, w, h);
    if (pts.isEmpty())
        return;
    p->setRenderHint(QPainter::Antialiasing);

    QPainterPath area(QPointF(0, h));
    for (const QPointF &pt : pts)
        area.lineTo(pt);
    area.lineTo(w, h);
    area.closeSubpath();
    QLinearGradient fill(0, 0, 0, h);
    QColor topColor = m_color;
    topColor.setAlphaF(0.55f * m_color.alphaF());
    QColor clear = m_color;
    clear.setAlpha(0);
    fill.setColorAt(0, topColor);
    fill.setColorAt(1, clear);
    p->fillPath(area, fill);

    if (pts.size() < 2)
        return; // a lone point is only a move: nothing to stroke
    const QPolygonF line(pts);
    // A soft halo stands in for the glow: wider, fainter strokes under the line.
    for (const auto &[width, alpha] : {std::pair{5.5, 0.12}, std::pair{3.5, 0.2}}) {
        QColor glow = m_color;
        glow.setAlphaF(static_cast<float>(0.55 * alpha * m_color.alphaF()));
        drawRoundPolyline(p, line, width, glow);
    }
    drawRoundPolyline(p, line, 1.5, m_color);
}

} // namespace corvane
