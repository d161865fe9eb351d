#pragma once
// Number helpers shared by every sampler and screen.
//  - printfFixed: "%.Nf" with C-locale semantics (point, no grouping, printf rounding),
//    independent of whatever locale Qt has set.
//  - checkedCast / saturatingCast: the only way a double becomes an integer here;
//    NaN and out-of-range values are undefined behaviour for a plain static_cast.
#include <QString>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace corvane {

std::string printfFixedStd(double value, int precision);

inline QString printfFixed(double value, int precision)
{
    return QString::fromStdString(printfFixedStd(value, precision));
}

// "%lld" of an integer, for symmetry with the above.
inline QString printfInt(long long value) { return QString::number(value); }

// Truncates toward zero; nullopt for NaN, infinities and values outside I's range.
template <std::integral I>
std::optional<I> checkedCast(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double t = std::trunc(value);
    // Bounds as doubles: the max of a 64-bit type rounds up to 2^N, so compare with >=.
    constexpr double lo = static_cast<double>(std::numeric_limits<I>::min());
    constexpr double hiExclusive = std::numeric_limits<I>::is_signed
        ? -static_cast<double>(std::numeric_limits<I>::min())
        : 2.0 * (static_cast<double>(std::numeric_limits<I>::max() / 2) + 1.0);
    if (t < lo || t >= hiExclusive)
        return std::nullopt;
    return static_cast<I>(t);
}

// Truncates toward zero and clamps into I's range; NaN gives `nanValue`.
template <std::integral I>
I saturatingCast(double value, I nanValue = 0)
{
    if (std::isnan(value))
        return nanValue;
    if (auto v = checkedCast<I>(value))
        return *v;
    return value < 0 ? std::numeric_limits<I>::min() : std::numeric_limits<I>::max();
}

} // namespace corvane
