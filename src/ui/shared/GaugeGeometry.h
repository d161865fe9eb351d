#pragma once
// Dial gauge maths: value fraction, radius, tick ring and the two number formats.
// Angles are degrees from the positive x axis with y pointing down (clockwise on screen).
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

struct GaugeTick {
    double fraction = 0; // position on the scale, 0 to 1
    double angle = 0;    // degrees
    bool major = false;  // even index
    QString label;       // majors only
};

namespace gauge {
// value / maxValue (a maximum at or below 0.0001 divides by 0.0001), kept within 0...1.
double fraction(double value, double maxValue);
// min(W, H) / 2 - 8, never negative.
double radius(double width, double height);
double angleAt(double startAngle, double endAngle, double fraction);
// tickCount marks with both ends included; one mark sits at the start, none for 0 or less.
QList<GaugeTick> ticks(int tickCount, double startAngle, double endAngle, double maxValue);
QString tickLabelText(double fraction, double maxValue);
// "1.5K", "250", "12.5", "2.50"; a reading that is not a number shows "—".
QString valueReadoutText(double value);
QPointF pointAt(QPointF centre, double radius, double angleDegrees);
} // namespace gauge

class GaugeGeometry : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE double fraction(double value, double maxValue) const { return gauge::fraction(value, maxValue); }
    Q_INVOKABLE double radius(double width, double height) const { return gauge::radius(width, height); }
    Q_INVOKABLE double angleAt(double s, double e, double f) const { return gauge::angleAt(s, e, f); }
    // [{fraction, angle, major, label}, ...]
    Q_INVOKABLE QVariantList ticks(int tickCount, double startAngle, double endAngle, double maxValue) const;
    Q_INVOKABLE QString tickLabelText(double f, double maxValue) const { return gauge::tickLabelText(f, maxValue); }
    Q_INVOKABLE QString valueReadoutText(double v) const { return gauge::valueReadoutText(v); }
    Q_INVOKABLE QPointF pointAt(QPointF c, double r, double a) const { return gauge::pointAt(c, r, a); }
};

} // namespace corvane
