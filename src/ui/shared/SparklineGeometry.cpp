#include "ui/shared/SparklineGeometry.h"

#include <algorithm>
#include <cmath>

namespace corvane::sparkline {

double scaleMax(const QList<double> &samples, std::optional<double> fixedMax)
{
    if (fixedMax && std::isfinite(*fixedMax) && *fixedMax > 0)
        return *fixedMax;
    std::optional<double> largest;
    for (double v : samples)
        if (std::isfinite(v))
            largest = largest ? std::max(*largest, v) : v;
    return std::max(largest.value_or(1.0), 0.0001);
}

QPolygonF linePoints(const QList<double> &samples, double width, double height, std::optional<double> fixedMax)
{
    QPolygonF out;
    const qsizetype n = samples.size();
    if (n == 0)
        return out;
    const double m = scaleMax(samples, fixedMax);
    const double step = width / double(std::max<qsizetype>(n - 1, 1));
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const double v = std::isfinite(samples[i]) ? samples[i] : 0.0;
        out << QPointF(double(i) * step, (1.0 - v / m) * height);
    }
    return out;
}

QPolygonF fillPolygon(const QList<double> &samples, double width, double height, std::optional<double> fixedMax)
{
    QPolygonF out;
    out << QPointF(0, height);
    out << linePoints(samples, width, height, fixedMax);
    out << QPointF(width, height);
    return out;
}

std::optional<QPointF> pulsePoint(const QList<double> &samples, double width, double height, std::optional<double> fixedMax)
{
    if (!hasPlot(samples))
        return std::nullopt;
    return linePoints(samples, width, height, fixedMax).last();
}

} // namespace corvane::sparkline
