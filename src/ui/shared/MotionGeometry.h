#pragma once
// Small pieces of motion maths for the shared views: the logo's pointer tilt, a damped
// spring that can be re-aimed every frame, ring progress and the effect views' radii.
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace corvane {

namespace tilt {
// Degrees about x: the top edge tips back by +6 on any tile, the bottom edge forward.
double angleX(double pointerY, double height);
// Degrees about y: +7 at the right edge, -7 at the left.
double angleY(double pointerX, double width);
// Centre of the light spot as a unit point of the tile.
QPointF lightCentre(QPointF pointer, QSizeF size);
} // namespace tilt

namespace spring {
struct State {
    double position = 0;
    double velocity = 0;
};
// Advances a critically-or-under-damped spring towards target by dt seconds. `response` is
// the period of the undamped oscillation, `dampingFraction` the ratio to critical damping.
// Long frame gaps are cut into short sub-steps so the motion never blows up.
State step(State s, double target, double dt, double response, double dampingFraction);
} // namespace spring

namespace ring {
// Progress as a fraction of a turn, kept within 0...1 (not-a-number draws nothing).
double progress(double value);
// The travelling highlight shows only past 2 %.
double highlightOpacity(double value);
struct Tick {
    double angle; // clockwise from twelve o'clock, degrees
    bool major;   // every fifth
};
QList<Tick> ticks(int tickCount);
// Radius of the sweeping arc's path: never below 1.
double sweepRadius(QSizeF size, double lineWidth, double inset);
// Radius of the pulse rings: never below 1.
double pulseRadius(QSizeF size);
// Milliseconds before an entrance starts; a start in the past runs at once.
int entranceDelayMs(double baseDelay, int index);
} // namespace ring

class MotionGeometry : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE double tiltX(double pointerY, double height) const { return tilt::angleX(pointerY, height); }
    Q_INVOKABLE double tiltY(double pointerX, double width) const { return tilt::angleY(pointerX, width); }
    Q_INVOKABLE QPointF lightCentre(QPointF p, double w, double h) const { return tilt::lightCentre(p, QSizeF(w, h)); }
    // {position, velocity}
    Q_INVOKABLE QVariantMap springStep(double position, double velocity, double target, double dt,
                                       double response, double dampingFraction) const;
    Q_INVOKABLE double ringProgress(double value) const { return ring::progress(value); }
    // The same clamp for bars: nothing at or below 0, full from 1 up.
    Q_INVOKABLE double barFraction(double value) const { return ring::progress(value); }
    Q_INVOKABLE double ringHighlightOpacity(double value) const { return ring::highlightOpacity(value); }
    // [{angle, major}, ...]
    Q_INVOKABLE QVariantList ringTicks(int tickCount) const;
    Q_INVOKABLE double sweepRadius(double w, double h, double lineWidth, double inset) const
    {
        return ring::sweepRadius(QSizeF(w, h), lineWidth, inset);
    }
    Q_INVOKABLE double pulseRadius(double w, double h) const { return ring::pulseRadius(QSizeF(w, h)); }
    Q_INVOKABLE int entranceDelayMs(double baseDelay, int index) const { return ring::entranceDelayMs(baseDelay, index); }
};

} // namespace corvane
