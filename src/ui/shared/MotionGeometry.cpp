#include "ui/shared/MotionGeometry.h"

#include "common/Numbers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {

namespace tilt {
double angleX(double pointerY, double height) { return (pointerY - height / 2) / std::max(1.0, height) * -12.0; }
double angleY(double pointerX, double width) { return (pointerX - width / 2) / std::max(1.0, width) * 14.0; }
QPointF lightCentre(QPointF p, QSizeF size)
{
    return {p.x() / std::max(1.0, size.width()), p.y() / std::max(1.0, size.height())};
}
} // namespace tilt

namespace spring {
State step(State s, double target, double dt, double response, double dampingFraction)
{
    if (!std::isfinite(dt) || dt <= 0)
        return s;
    if (!std::isfinite(s.position) || !std::isfinite(s.velocity))
        return {target, 0};
    const double omega = 2 * std::numbers::pi / std::max(response, 1e-3);
    const double k = omega * omega;
    const double c = 2 * std::max(dampingFraction, 0.0) * omega;
    // Semi-implicit Euler is stable while h * omega stays small; 1/480 s covers fast springs.
    const double maxStep = std::min(1.0 / 480, 0.1 / omega);
    dt = std::min(dt, 1.0); // a stalled frame should not replay a whole second of motion
    while (dt > 0) {
        const double h = std::min(dt, maxStep);
        s.velocity += (k * (target - s.position) - c * s.velocity) * h;
        s.position += s.velocity * h;
        dt -= h;
    }
    return s;
}
} // namespace spring

namespace ring {
double progress(double value)
{
    if (std::isnan(value) || value <= 0)
        return 0;
    return std::min(value, 1.0);
}

double highlightOpacity(double value) { return value > 0.02 ? 0.6 : 0.0; }

QList<Tick> ticks(int tickCount)
{
    QList<Tick> out;
    for (int i = 0; i < tickCount; ++i)
        out << Tick{double(i) / double(tickCount) * 360.0, i % 5 == 0};
    return out;
}

double sweepRadius(QSizeF size, double lineWidth, double inset)
{
    return std::max(std::min(size.width(), size.height()) * 0.5 - lineWidth * 0.5 - inset, 1.0);
}

double pulseRadius(QSizeF size) { return std::max(std::min(size.width(), size.height()) * 0.5 - 2, 1.0); }

int entranceDelayMs(double baseDelay, int index)
{
    return saturatingCast<int>(std::max(0.0, std::round((baseDelay + index * 0.05) * 1000)));
}
} // namespace ring

QVariantMap MotionGeometry::springStep(double position, double velocity, double target, double dt,
                                       double response, double dampingFraction) const
{
    const auto s = spring::step({position, velocity}, target, dt, response, dampingFraction);
    return {{QStringLiteral("position"), s.position}, {QStringLiteral("velocity"), s.velocity}};
}

QVariantList MotionGeometry::ringTicks(int tickCount) const
{
    QVariantList out;
    for (const auto &t : ring::ticks(tickCount))
        out << QVariantMap{{QStringLiteral("angle"), t.angle}, {QStringLiteral("major"), t.major}};
    return out;
}

} // namespace corvane
