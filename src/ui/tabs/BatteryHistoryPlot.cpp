#include "ui/tabs/BatteryHistoryPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantMap>

#include <algorithm>

namespace corvane {

namespace batterychart {

namespace {
double step(qsizetype days, double width) { return width / double(std::max<qsizetype>(days, 2) - 1); }
} // namespace

QPolygonF healthPoints(const QList<double> &health, double width, double height)
{
    QPolygonF out;
    if (health.isEmpty())
        return out;
    const auto [mn, mx] = std::minmax_element(health.begin(), health.end());
    const double hi = std::max(*mx, 1.0);
    const double lo = std::max(50.0, std::min(hi - 1.0, *mn));
    const double span = std::max(1.0, hi - lo);
    const double s = step(health.size(), width);
    for (qsizetype i = 0; i < health.size(); ++i)
        out << QPointF(double(i) * s, height * (1.0 - (health[i] - lo) / span));
    return out;
}

QPolygonF cyclePoints(const QList<double> &cycles, qsizetype days, double width, double height)
{
    QPolygonF out;
    if (cycles.isEmpty())
        return out;
    const auto [mn, mx] = std::minmax_element(cycles.begin(), cycles.end());
    const double span = std::max(1.0, *mx - *mn);
    const double s = step(days, width);
    for (qsizetype i = 0; i < cycles.size(); ++i)
        out << QPointF(double(i) * s, height * (1.0 - (cycles[i] - *mn) / span));
    return out;
}

} // namespace batterychart

BatteryHistoryPlot::BatteryHistoryPlot(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
}

QList<double> BatteryHistoryPlot::values(const QVariantList &daily)
{
    QList<double> out;
    out.reserve(daily.size());
    for (const QVariant &v : daily)
        out << v.toMap().value(QStringLiteral("value")).toDouble();
    return out;
}

void BatteryHistoryPlot::paint(QPainter *p)
{
    const double w = width(), h = height();
    p->setRenderHint(QPainter::Antialiasing);

    QPen grid(QColor::fromRgbF(1, 1, 1, 0.05), 0.5, Qt::CustomDashLine, Qt::FlatCap);
    grid.setDashPattern({2 / 0.5, 3 / 0.5}); // dash lengths are in line widths
    p->setPen(grid);
    for (double f : {0.0, 0.25, 0.5, 0.75, 1.0})
        p->drawLine(QPointF(0, h * (1 - f)), QPointF(w, h * (1 - f)));

    const QList<double> health = values(m_health);
    const QList<double> cycles = values(m_cycles);
    if (health.size() >= 2) {
        const QPolygonF pts = batterychart::healthPoints(health, w, h);
        if (m_glows) {
            // A soft halo under the line stands in for the shadow.
            for (int r = 4; r >= 1; --r) {
                QColor c = m_healthColor;
                c.setAlphaF(0.7f * 0.12f);
                p->setPen(QPen(c, 2 + 2 * r, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p->drawPolyline(pts);
            }
        }
        p->setPen(QPen(m_healthColor, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->drawPolyline(pts);
    }
    if (cycles.size() >= 2) {
        QPen pen(m_cycleColor, 1.5, Qt::CustomDashLine, Qt::FlatCap);
        pen.setDashPattern({3 / 1.5, 2 / 1.5});
        p->setPen(pen);
        p->drawPolyline(batterychart::cyclePoints(cycles, health.size(), w, h));
    }
}

} // namespace corvane
