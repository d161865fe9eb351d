#pragma once
// Geometry of the decorative overlays (film grain, scan lines, grid), kept apart from
// painting so the exact placements can be checked.
#include <cstdint>
#include <vector>

namespace corvane::effects {

// 64-bit xorshift; the grain reseeds it on every render so the pattern never changes.
class Xorshift64 {
public:
    explicit Xorshift64(std::uint64_t seed) : m_state(seed) {}
    // Uniform in [0, 1) from the top 53 bits.
    double next();

private:
    std::uint64_t m_state;
};

inline constexpr std::uint64_t kGrainSeed = 0xB1ACB0E;
inline constexpr double kGrainDotSize = 1.2;
inline constexpr double kOverlayLineWidth = 0.5;

struct GrainDot {
    double x;     // top-left corner of the 1.2 x 1.2 dot
    double y;
    double alpha; // white at this opacity
};

// The dots of one grain render; a negative density draws nothing.
std::vector<GrainDot> grainDots(int density, double width, double height);

// Line positions 0, s, 2s ... up to and including `extent`. Each is k * spacing (no
// accumulated rounding). A spacing that is not a positive finite number gives no lines
// rather than looping forever.
std::vector<double> lineOffsets(double extent, double spacing);

} // namespace corvane::effects
