#include "GlassTilt.h"

#include <algorithm>

namespace corvane::effects {

namespace {
// Offset of the pointer from the centre as a fraction of the extent.
double fromCentre(double pos, double extent)
{
    return (pos - extent / 2) / std::max(1.0, extent);
}
} // namespace

double glassTiltAboutX(QPointF pointer, QSizeF size)
{
    return -kGlassTiltSpan * fromCentre(pointer.y(), size.height());
}

double glassTiltAboutY(QPointF pointer, QSizeF size)
{
    return kGlassTiltSpan * fromCentre(pointer.x(), size.width());
}

double glassShadowOffsetX(QPointF pointer, QSizeF size)
{
    return kGlassShadowSpan * fromCentre(pointer.x(), size.width());
}

QPointF glassGlowCenter(QPointF pointer, QSizeF area)
{
    return {pointer.x() / std::max(1.0, area.width()), pointer.y() / std::max(1.0, area.height())};
}

} // namespace corvane::effects
