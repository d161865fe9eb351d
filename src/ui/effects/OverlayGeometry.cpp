#include "OverlayGeometry.h"

#include <cmath>

namespace corvane::effects {

double Xorshift64::next()
{
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return static_cast<double>(m_state >> 11) * 0x1.0p-53;
}

std::vector<GrainDot> grainDots(int density, double width, double height)
{
    std::vector<GrainDot> dots;
    if (density <= 0)
        return dots;
    dots.reserve(static_cast<std::size_t>(density));
    Xorshift64 rng(kGrainSeed);
    for (int i = 0; i < density; ++i) {
        const double u1 = rng.next();
        const double u2 = rng.next();
        const double u3 = rng.next();
        dots.push_back({u1 * width, u2 * height, 0.06 + 0.1 * u3});
    }
    return dots;
}

std::vector<double> lineOffsets(double extent, double spacing)
{
    std::vector<double> out;
    if (!(spacing > 0) || !std::isfinite(spacing) || !std::isfinite(extent) || extent < 0)
        return out;
    // A sub-pixel spacing over a huge extent would be millions of invisible lines.
    constexpr double kMaxLines = 100000;
    if (extent / spacing > kMaxLines)
        return out;
    for (long k = 0;; ++k) {
        const double pos = static_cast<double>(k) * spacing;
        if (pos > extent)
            break;
        out.push_back(pos);
    }
    return out;
}

} // namespace corvane::effects
