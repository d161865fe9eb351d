#include "ui/shared/GaugeGeometry.h"

#include "common/Numbers.h"

#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane::gauge {

double fraction(double value, double maxValue)
{
    const double f = value / (maxValue <= 0.0001 ? 0.0001 : maxValue);
    if (std::isnan(f) || f <= 0)
        return 0;
    return std::min(f, 1.0);
}

double radius(double width, double height)
{
    const double r = std::min(width, height) * 0.5 - 8;
    return std::isfinite(r) ? std::max(r, 0.0) : 0.0;
}

double angleAt(double startAngle, double endAngle, double f) { return startAngle + (endAngle - startAngle) * f; }

QList<GaugeTick> ticks(int tickCount, double startAngle, double endAngle, double maxValue)
{
    QList<GaugeTick> out;
    for (int i = 0; i < tickCount; ++i) {
        GaugeTick t;
        // A single mark has no span to divide; it stands at the start.
        t.fraction = tickCount > 1 ? double(i) / double(tickCount - 1) : 0.0;
        t.angle = angleAt(startAngle, endAngle, t.fraction);
        t.major = i % 2 == 0;
        if (t.major)
            t.label = tickLabelText(t.fraction, maxValue);
        out << t;
    }
    return out;
}

QString tickLabelText(double f, double maxValue)
{
    const double v = f * maxValue;
    if (maxValue >= 1000)
        return printfFixed(v, 0);
    return printfFixed(v, v >= 100 ? 0 : 1);
}

QString valueReadoutText(double v)
{
    if (!std::isfinite(v))
        return QStringLiteral("—");
    if (v >= 1000)
        return printfFixed(v / 1000, 1) + QLatin1Char('K');
    if (v >= 100)
        return printfFixed(v, 0);
    if (v >= 10)
        return printfFixed(v, 1);
    return printfFixed(v, 2);
}

QPointF pointAt(QPointF centre, double r, double angleDegrees)
{
    const double a = angleDegrees * std::numbers::pi / 180.0;
    return centre + QPointF(r * std::cos(a), r * std::sin(a));
}

} // namespace corvane::gauge

namespace corvane {

QVariantList GaugeGeometry::ticks(int tickCount, double startAngle, double endAngle, double maxValue) const
{
    QVariantList out;
    for (const GaugeTick &t : gauge::ticks(tickCount, startAngle, endAngle, maxValue))
        out << QVariantMap{{QStringLiteral("fraction"), t.fraction},
                           {QStringLiteral("angle"), t.angle},
                           {QStringLiteral("major"), t.major},
                           {QStringLiteral("label"), t.label}};
    return out;
}

} // namespace corvane
