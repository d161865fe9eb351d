#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale.h>

using namespace corvane;

TEST(PrintfFixed, MatchesCLocalePrintf)
{
    struct Case { double v; int p; const char *want; };
    const Case cases[] = {
        {0.0, 1, "0.0"},        {1234.5678, 1, "1234.6"}, {0.125, 2, "0.12"}, // exact tie: to even, as printf
        {0.375, 2, "0.38"},     {2.5, 0, "2"},            {3.5, 0, "4"},
        {-1.25, 1, "-1.2"},     {1e20, 0, "100000000000000000000"}, {99.95, 1, "100.0"},
        {1234567.0, 0, "1234567"}, // no grouping
    };
    // The reference is printf in the C locale, whatever the suite runs under.
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const locale_t previous = uselocale(cLocale);
    for (const auto &c : cases) {
        char ref[512];
        std::snprintf(ref, sizeof ref, "%.*f", c.p, c.v);
        EXPECT_EQ(printfFixedStd(c.v, c.p), c.want) << c.v;
        EXPECT_EQ(printfFixedStd(c.v, c.p), ref) << c.v;
    }
    uselocale(previous);
    freelocale(cLocale);
}

TEST(PrintfFixed, IgnoresTheProcessLocale)
{
    // Qt sets the locale from the environment; a comma locale must not leak in.
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "ro_RO.UTF-8") || std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_EQ(printfFixed(1.5, 1), QStringLiteral("1.5"));
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(printfFixed(1.5, 1), QStringLiteral("1.5"));
}

TEST(CheckedCast, RejectsWhatAStaticCastCannotHold)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(checkedCast<uint64_t>(nan));
    EXPECT_FALSE(checkedCast<uint64_t>(inf));
    EXPECT_FALSE(checkedCast<uint64_t>(-1.0));
    EXPECT_FALSE(checkedCast<uint64_t>(18446744073709551616.0)); // 2^64
    EXPECT_EQ(checkedCast<uint64_t>(18446744073709549568.0), 18446744073709549568ULL); // largest below 2^64
    EXPECT_EQ(checkedCast<uint64_t>(-0.9), 0u); // truncation toward zero
    EXPECT_EQ(checkedCast<int32_t>(-1.9), -1);
    EXPECT_EQ(checkedCast<int32_t>(2147483647.9), 2147483647);
    EXPECT_FALSE(checkedCast<int32_t>(2147483648.0));
    EXPECT_EQ(checkedCast<int32_t>(-2147483648.0), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(checkedCast<int64_t>(9223372036854775808.0));
    EXPECT_FALSE(checkedCast<uint8_t>(256.0));
}

TEST(SaturatingCast, ClampsAndMapsNaN)
{
    EXPECT_EQ(saturatingCast<uint64_t>(1e30), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(saturatingCast<uint64_t>(-5.0), 0u);
    EXPECT_EQ(saturatingCast<int>(std::numeric_limits<double>::quiet_NaN(), -7), -7);
    EXPECT_EQ(saturatingCast<uint64_t>(1234.9), 1234u);
}
