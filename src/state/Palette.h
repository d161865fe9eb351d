#pragma once
// Theme-independent colours and two-stop gradients shared by many views.
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

// A two-stop linear gradient between unit points of the filled shape
// (0,0 = top-leading, 1,1 = bottom-trailing).
struct PaletteGradient {
    Q_GADGET
    QML_VALUE_TYPE(paletteGradient)
    Q_PROPERTY(QColor from MEMBER from)
    Q_PROPERTY(QColor to MEMBER to)
    Q_PROPERTY(QPointF start MEMBER start)
    Q_PROPERTY(QPointF end MEMBER end)
public:
    QColor from;
    QColor to;
    QPointF start;
    QPointF end;
    bool operator==(const PaletteGradient &) const = default;
};

// QtQuick has a Palette type of its own, so QML sees this one as AppPalette.
class Palette : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(AppPalette)
    QML_SINGLETON
    Q_PROPERTY(QColor background READ background CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient backgroundGradient READ backgroundGradient CONSTANT)
    Q_PROPERTY(QVariantList backgroundColors READ backgroundColorsVariant CONSTANT)
    Q_PROPERTY(QColor cardFill READ cardFill CONSTANT)
    Q_PROPERTY(QColor cardStroke READ cardStroke CONSTANT)
    Q_PROPERTY(QColor textSecondary READ textSecondary CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient cpuGradient READ cpuGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient ramGradient READ ramGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient gpuGradient READ gpuGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient displayGradient READ displayGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient downloadGradient READ downloadGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient uploadGradient READ uploadGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient diskGradient READ diskGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient batteryGradient READ batteryGradient CONSTANT)
    Q_PROPERTY(corvane::PaletteGradient alertGradient READ alertGradient CONSTANT)
public:
    using QObject::QObject;

    static QColor background();
    static PaletteGradient backgroundGradient();
    static QList<QColor> backgroundColors();
    static QColor cardFill();
    static QColor cardStroke();
    static QColor textSecondary();
    static PaletteGradient cpuGradient();
    static PaletteGradient ramGradient();
    static PaletteGradient gpuGradient();
    static PaletteGradient displayGradient();
    static PaletteGradient downloadGradient();
    static PaletteGradient uploadGradient();
    static PaletteGradient diskGradient();
    static PaletteGradient batteryGradient();
    static PaletteGradient alertGradient();

    QVariantList backgroundColorsVariant() const;
};

} // namespace corvane
