#pragma once
// Pieces of readable names for parameterised cases (letters, digits and '_' only).
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvane::test {

// 94.9 → "94_9", -40 → "minus40", 1e300 → "1e300", NaN → "NaN", -inf → "minusInf".
inline std::string numberName(double v)
{
    if (std::isnan(v))
        return "NaN";
    std::string sign = std::signbit(v) && v != 0 ? "minus" : "";
    v = std::fabs(v);
    if (std::isinf(v))
        return sign + "Inf";
    if (v >= 1e15) { // 1e300 → "1e300"
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0e", v);
        std::string text(buf);
        text.erase(text.find("+"), 1);
        return sign + text;
    }
    std::string text = std::to_string(v); // fixed, six decimals
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    for (char &c : text)
        if (c == '.')
            c = '_';
    return sign + text;
}

// Letters and digits kept, anything else '_'; never empty.
inline std::string textName(std::string_view s)
{
    std::string out;
    for (char c : s)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out.empty() ? std::string("empty") : out;
}

} // namespace corvane::test
