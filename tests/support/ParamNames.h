#pragma once
// Pieces of readable names for parameterised cases (letters, digits and '_' only), the same
// under every locale: gtest refuses a name with the comma a Romanian decimal point becomes.
#include <charconv>
#include <cmath>
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
    char buf[400];
    if (v >= 1e15) { // 1e300 → "1e300"
        const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 0).ptr;
        std::string text(buf, end);
        text.erase(text.find("+"), 1);
        return sign + text;
    }
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6).ptr;
    std::string text(buf, end);
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
        out += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return out.empty() ? std::string("empty") : out;
}

} // namespace corvane::test
