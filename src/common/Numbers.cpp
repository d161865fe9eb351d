#include "common/Numbers.h"

#include <charconv>

namespace corvane {

std::string printfFixedStd(double value, int precision)
{
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    // Fixed notation of a double needs at most ~310 integer digits plus the fraction.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (res.ec != std::errc())
        return {};
    return std::string(buf, res.ptr);
}

} // namespace corvane
