// The shared number texts: whole numbers, byte counts, rates, uptimes and the clock.
#include "common/Formatters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace corvane;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(Formatters, WholeNumbersTruncateAndNeverFail)
{
    EXPECT_EQ(wholeText(0.456 * 100), "45");
    EXPECT_EQ(wholeText(1.2 * 100), "120");
    EXPECT_EQ(wholeText(-0.7), "0");
    EXPECT_EQ(wholeText(12.7), "12");
    EXPECT_EQ(wholeText(kNaN), "—");
    EXPECT_EQ(wholeText(kInf), "—");
    EXPECT_EQ(wholeText(1e300), "9223372036854775807");
}

TEST(Formatters, BitRateSteps)
{
    struct Case { uint64_t bytes; const char *want; };
    const Case cases[] = {
        {0, "0.0 bps"},
        {124, "992.0 bps"},
        {125, "1.0 Kbps"},
        {124'999, "1000.0 Kbps"}, // threshold on the unrounded value
        {125'000, "1.0 Mbps"},
        {125'000'000, "1.0 Gbps"},
        {125'000'000'000ULL, "1000.0 Gbps"}, // no unit above Gbps
        {1'537'500, "12.3 Mbps"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bitRateText(c.bytes), QString::fromUtf8(c.want)) << c.bytes;
    EXPECT_TRUE(bitRateText(std::numeric_limits<uint64_t>::max()).endsWith(QStringLiteral(" Gbps")));
}

TEST(Formatters, ByteRateSteps)
{
    struct Case { uint64_t bytes; const char *want; };
    const Case cases[] = {
        {0, "0.0 B/s"},
        {512, "512.0 B/s"},
        {1023, "1023.0 B/s"},
        {1024, "1.0 KB/s"},
        {1'048'575, "1024.0 KB/s"},
        {1'048'576, "1.0 MB/s"},
        {1'073'741'824, "1.0 GB/s"},
        {1'099'511'627'776ULL, "1024.0 GB/s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(byteRateText(c.bytes), QString::fromUtf8(c.want)) << c.bytes;
    EXPECT_TRUE(byteRateText(std::numeric_limits<uint64_t>::max()).endsWith(QStringLiteral(" GB/s")));
}

struct UptimeCase {
    const char *name;
    double seconds;
    const char *strip;     // uptimeString
    const char *dashboard; // dashboardUptimeText
    const char *report;    // uptimeText
};
inline void PrintTo(const UptimeCase &c, std::ostream *os) { *os << c.name; }
class Uptime : public ::testing::TestWithParam<UptimeCase> {};
TEST_P(Uptime, ThreeStyles)
{
    const UptimeCase &c = GetParam();
    EXPECT_EQ(uptimeString(c.seconds), QString::fromUtf8(c.strip));
    EXPECT_EQ(dashboardUptimeText(c.seconds), QString::fromUtf8(c.dashboard));
    EXPECT_EQ(uptimeText(c.seconds), QString::fromUtf8(c.report));
}
INSTANTIATE_TEST_SUITE_P(
    Formatters, Uptime,
    ::testing::Values(UptimeCase{"zero", 0, "0m", "0h 0m", "0z 0h 0m"},
                      UptimeCase{"seconds_only", 59, "0m", "0h 0m", "0z 0h 0m"},
                      UptimeCase{"five_minutes", 300, "5m", "0h 5m", "0z 0h 5m"},
                      UptimeCase{"hour_minus_a_fraction", 3599.99, "59m", "0h 59m", "0z 0h 59m"},
                      UptimeCase{"one_hour", 3600, "1h 0m", "1h 0m", "0z 1h 0m"},
                      UptimeCase{"day_minus_one", 86399, "23h 59m", "23h 59m", "0z 23h 59m"},
                      UptimeCase{"one_day", 86400, "1z 0h", "1z 0h 0m", "1z 0h 0m"},
                      UptimeCase{"day_hour_minute", 86400 + 3600 + 60 + 1.9, "1z 1h", "1z 1h 1m", "1z 1h 1m"},
                      UptimeCase{"negative", -5, "0m", "0h 0m", "0z 0h 0m"},
                      UptimeCase{"not_a_number", kNaN, "0m", "0h 0m", "0z 0h 0m"},
                      // saturates instead of overflowing
                      UptimeCase{"huge", 1e300, "106751991167300z 15h", "106751991167300z 15h 30m",
                                 "106751991167300z 15h 30m"}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(Formatters, ClockFollowsTheLocaleAndShowsSeconds)
{
    const QDateTime at(QDate(2024, 3, 6), QTime(14, 5, 9));
    const QLocale ro(QLocale::Romanian, QLocale::Romania);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(clockTime(at, ro), "14:05:09");
    const QString usTime = clockTime(at, us);
    EXPECT_TRUE(usTime.startsWith("2:05:09")) << usTime.toStdString();
    EXPECT_TRUE(usTime.contains("PM")) << usTime.toStdString();
    EXPECT_EQ(clockTime(at.addSecs(1), ro), "14:05:10");
    EXPECT_EQ(clockDate(at, us), "Wed, Mar 6");
    EXPECT_EQ(clockDate(at, QLocale(QLocale::English, QLocale::UnitedKingdom)), "Wed 6 Mar");
    EXPECT_EQ(dashboardClockDate(at, us), "Wednesday, March 6");
    EXPECT_EQ(dashboardClockDate(at, QLocale(QLocale::English, QLocale::UnitedKingdom)), "Wednesday, 6 March");
}

struct ByteCountCase {
    const char *name;
    uint64_t bytes;
    const char *c;  // C locale
    const char *ro; // ro_RO
};
inline void PrintTo(const ByteCountCase &c, std::ostream *os) { *os << c.name; }
class ByteCount : public ::testing::TestWithParam<ByteCountCase> {};
TEST_P(ByteCount, DecimalUnitsInTheLocalesWords)
{
    const ByteCountCase &k = GetParam();
    EXPECT_EQ(byteCountText(k.bytes, QLocale::c()), QString::fromUtf8(k.c));
    EXPECT_EQ(byteCountText(k.bytes, QLocale(QLocale::Romanian, QLocale::Romania)), QString::fromUtf8(k.ro));
}
INSTANTIATE_TEST_SUITE_P(
    Formatters, ByteCount,
    ::testing::Values(ByteCountCase{"zero", 0, "0 bytes", "0 octeți"},
                      ByteCountCase{"one", 1, "1 byte", "1 octet"},
                      ByteCountCase{"nineteen", 19, "19 bytes", "19 octeți"},
                      ByteCountCase{"twenty", 20, "20 bytes", "20 de octeți"},
                      ByteCountCase{"just_under_a_kilobyte", 999, "999 bytes", "999 de octeți"},
                      ByteCountCase{"one_kilobyte", 1000, "1 KB", "1 KB"},
                      ByteCountCase{"rounds_up_into_the_next_unit", 999'960, "1 MB", "1 MB"},
                      ByteCountCase{"half_a_gigabyte", 512'000'000, "512 MB", "512 MB"},
                      ByteCountCase{"one_and_a_half_gigabytes", 1'500'000'000, "1.5 GB", "1,5 GB"},
                      ByteCountCase{"sixteen_gigabytes", 16'000'000'000, "16 GB", "16 GB"},
                      ByteCountCase{"largest_signed", 9'223'372'036'854'775'807ULL, "9.2 EB", "9,2 EB"},
                      ByteCountCase{"beyond_signed", ~0ULL, "9.2 EB", "9,2 EB"}),
    [](const auto &i) { return std::string(i.param.name); });
