#pragma once
// Pointer-following pose of the glass card: the two tilt angles, the sideways shadow
// offset and the glow centre. Sizes below 1 point count as 1, so an unmeasured card
// (size zero) never divides by zero.
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

inline constexpr double kGlassTiltSpan = 6.0;   // degrees across the card: +-3 at the edges
inline constexpr double kGlassShadowSpan = 8.0; // points across the card: +-4 at the edges

// Rotation about the horizontal axis, degrees; positive with the pointer above centre.
double glassTiltAboutX(QPointF pointer, QSizeF size);
// Rotation about the vertical axis, degrees; positive with the pointer right of centre.
double glassTiltAboutY(QPointF pointer, QSizeF size);
double glassShadowOffsetX(QPointF pointer, QSizeF size);
// The pointer as a unit point of the area behind the card.
QPointF glassGlowCenter(QPointF pointer, QSizeF area);

class GlassTilt : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE double tiltAboutX(QPointF pointer, QSizeF size) const { return glassTiltAboutX(pointer, size); }
    Q_INVOKABLE double tiltAboutY(QPointF pointer, QSizeF size) const { return glassTiltAboutY(pointer, size); }
    Q_INVOKABLE double shadowOffsetX(QPointF pointer, QSizeF size) const { return glassShadowOffsetX(pointer, size); }
    Q_INVOKABLE QPointF glowCenter(QPointF pointer, QSizeF area) const { return glassGlowCenter(pointer, area); }
};

} // namespace corvane::effects
