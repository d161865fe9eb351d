// Geometry and text rules of the shared controls: sparkline scaling, gauge ticks and readout,
// the logo's tilt, ring clamping and the spring that drives the entrances.
#include "ui/shared/GaugeGeometry.h"
#include "ui/shared/MotionGeometry.h"
#include "ui/shared/SparklineGeometry.h"
#include "ui/shared/StrokeItems.h"

#include <cmath>
#include "support/ParamNames.h"
#include <gtest/gtest.h>
#include <limits>

using namespace corvane;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

// --- Sparkline -------------------------------------------------------------------------

struct ScaleCase {
    const char *name;
    QList<double> samples;
    std::optional<double> fixedMax;
    double expected;
};
class SparklineScale : public ::testing::TestWithParam<ScaleCase> {};
TEST_P(SparklineScale, TopOfScale) { EXPECT_DOUBLE_EQ(sparkline::scaleMax(GetParam().samples, GetParam().fixedMax), GetParam().expected); }
INSTANTIATE_TEST_SUITE_P(
    Cases, SparklineScale,
    ::testing::Values(ScaleCase{"empty", {}, std::nullopt, 1.0},
                      ScaleCase{"allZero", {0, 0, 0}, std::nullopt, 0.0001},
                      ScaleCase{"negatives", {-3, -1}, std::nullopt, 0.0001},
                      ScaleCase{"largest", {2, 7, 3}, std::nullopt, 7},
                      ScaleCase{"fixedWins", {2, 700}, 100.0, 100},
                      ScaleCase{"fixedZeroFallsBack", {2, 5}, 0.0, 5},
                      ScaleCase{"fixedNegativeFallsBack", {2, 5}, -4.0, 5},
                      ScaleCase{"fixedNaNFallsBack", {2, 5}, kNaN, 5},
                      ScaleCase{"nanSampleIgnored", {kNaN, 3, 1}, std::nullopt, 3},
                      ScaleCase{"infSampleIgnored", {kInf, 3}, std::nullopt, 3},
                      ScaleCase{"onlyNaN", {kNaN, kNaN}, std::nullopt, 1.0}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(SparklinePoints, SpanTheFullWidthAndScaleFromTheBottom)
{
    const auto two = sparkline::linePoints({1, 2}, 200, 50, std::nullopt);
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0], QPointF(0, 25));
    EXPECT_EQ(two[1], QPointF(200, 0));

    const auto fill = sparkline::fillPolygon({1, 2}, 200, 50, std::nullopt);
    EXPECT_EQ(fill, QPolygonF({QPointF(0, 50), QPointF(0, 25), QPointF(200, 0), QPointF(200, 50)}));

    // Flat series: zeros on the bottom edge, equal positives on the top edge.
    for (const QPointF &p : sparkline::linePoints({0, 0, 0}, 90, 30, std::nullopt))
        EXPECT_DOUBLE_EQ(p.y(), 30);
    for (const QPointF &p : sparkline::linePoints({4, 4, 4}, 90, 30, std::nullopt))
        EXPECT_DOUBLE_EQ(p.y(), 0);
}

TEST(SparklinePoints, FixedMaximumIsNotClamped)
{
    const auto pts = sparkline::linePoints({50, 150, -50}, 100, 40, 100.0);
    EXPECT_DOUBLE_EQ(pts[0].y(), 20);
    EXPECT_DOUBLE_EQ(pts[1].y(), -20); // above the top edge
    EXPECT_DOUBLE_EQ(pts[2].y(), 60);  // below the bottom edge
}

TEST(SparklinePoints, NaNSampleDrawsAtZeroAndKeepsThePathFinite)
{
    for (const QPointF &p : sparkline::linePoints({1, kNaN, 2}, 100, 40, std::nullopt)) {
        EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
    }
    EXPECT_DOUBLE_EQ(sparkline::linePoints({1, kNaN, 2}, 100, 40, std::nullopt)[1].y(), 40);
}

TEST(SparklinePulse, NeedsTwoSamplesAndSitsOnTheNewest)
{
    EXPECT_FALSE(sparkline::pulsePoint({}, 100, 40, std::nullopt));
    EXPECT_FALSE(sparkline::pulsePoint({5}, 100, 40, std::nullopt));
    EXPECT_EQ(*sparkline::pulsePoint({1, 5}, 100, 40, std::nullopt), QPointF(100, 0)); // top-right corner
    EXPECT_EQ(sparkline::gridLines(40), QList<double>({30, 20, 10}));
}

// --- Speedometer gauge -----------------------------------------------------------------

struct FractionCase {
    double value, maxValue, expected;
};
class GaugeFraction : public ::testing::TestWithParam<FractionCase> {};
TEST_P(GaugeFraction, ClampsToTheScale) { EXPECT_DOUBLE_EQ(gauge::fraction(GetParam().value, GetParam().maxValue), GetParam().expected); }
INSTANTIATE_TEST_SUITE_P(Cases, GaugeFraction,
                         ::testing::Values(FractionCase{50, 100, 0.5}, FractionCase{250, 100, 1}, FractionCase{-5, 100, 0},
                                           FractionCase{3, 0, 1}, FractionCase{0, 0, 0}, FractionCase{kNaN, 100, 0},
                                           FractionCase{5, kNaN, 0}, FractionCase{0.00005, 0.0001, 0.5}),
    [](const auto &i) { return "Value" + corvane::test::numberName(i.param.value) + "Of" + corvane::test::numberName(i.param.maxValue); });

TEST(GaugeTicks, ElevenOverAHundred)
{
    const auto ticks = gauge::ticks(11, 135, 405, 100);
    ASSERT_EQ(ticks.size(), 11);
    QStringList labels;
    for (const auto &t : ticks)
        if (t.major)
            labels << t.label;
        else
            EXPECT_TRUE(t.label.isEmpty());
    EXPECT_EQ(labels, QStringList({"0.0", "20.0", "40.0", "60.0", "80.0", "100"}));
    EXPECT_DOUBLE_EQ(ticks.first().angle, 135);
    EXPECT_DOUBLE_EQ(ticks.last().angle, 405);
    EXPECT_DOUBLE_EQ(ticks[5].angle, 270);
}

TEST(GaugeTicks, SixOverFiveThousandEndsOnAnUnlabelledMinor)
{
    const auto ticks = gauge::ticks(6, 0, 180, 5000);
    QStringList labels;
    for (const auto &t : ticks)
        if (t.major)
            labels << t.label;
    EXPECT_EQ(labels, QStringList({"0", "2000", "4000"}));
    EXPECT_FALSE(ticks.last().major);
}

TEST(GaugeTicks, SmallAndDegenerateCounts)
{
    const auto two = gauge::ticks(2, 135, 405, 100);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[0].major);
    EXPECT_FALSE(two[1].major);
    EXPECT_DOUBLE_EQ(two[1].angle, 405);

    const auto one = gauge::ticks(1, 135, 405, 100); // no span to divide: the start
    ASSERT_EQ(one.size(), 1);
    EXPECT_DOUBLE_EQ(one[0].angle, 135);
    EXPECT_TRUE(gauge::ticks(0, 0, 180, 100).isEmpty());
    EXPECT_TRUE(gauge::ticks(-3, 0, 180, 100).isEmpty());

    for (const auto &t : gauge::ticks(5, 0, 180, 0)) {
        if (t.major) {
            EXPECT_EQ(t.label, "0.0");
        }
    }
}

struct ReadoutCase {
    double value;
    const char *text;
};
class GaugeReadout : public ::testing::TestWithParam<ReadoutCase> {};
TEST_P(GaugeReadout, Text) { EXPECT_EQ(gauge::valueReadoutText(GetParam().value), QString::fromUtf8(GetParam().text)); }
INSTANTIATE_TEST_SUITE_P(Cases, GaugeReadout,
                         ::testing::Values(ReadoutCase{1500, "1.5K"}, ReadoutCase{4321, "4.3K"}, ReadoutCase{1000, "1.0K"},
                                           ReadoutCase{999.96, "1000"}, ReadoutCase{250, "250"}, ReadoutCase{12.5, "12.5"},
                                           ReadoutCase{9.999, "10.00"}, ReadoutCase{2.5, "2.50"}, ReadoutCase{-3, "-3.00"},
                                           ReadoutCase{kNaN, "—"}, ReadoutCase{kInf, "—"}),
    [](const auto &i) { return "Value" + corvane::test::numberName(i.param.value); });

TEST(GaugeGeometryTest, RadiusAndNeedleTip)
{
    EXPECT_DOUBLE_EQ(gauge::radius(240, 200), 92);
    EXPECT_DOUBLE_EQ(gauge::radius(10, 10), 0); // too small a frame draws from a point
    const QPointF tip = NeedleShape::tip(QRectF(0, 0, 200, 200), 90, 50);
    EXPECT_NEAR(tip.x(), 100, 1e-9);
    EXPECT_NEAR(tip.y(), 150, 1e-9); // 90 degrees points down
}

// --- Logo tilt -------------------------------------------------------------------------

TEST(LogoTilt, CentreIsFlatAndCornersTipByTheFactors)
{
    EXPECT_DOUBLE_EQ(tilt::angleX(50, 100), 0);
    EXPECT_DOUBLE_EQ(tilt::angleY(50, 100), 0);
    EXPECT_DOUBLE_EQ(tilt::angleX(0, 100), 6);   // top edge tips back
    EXPECT_DOUBLE_EQ(tilt::angleY(0, 100), -7);  // left edge
    EXPECT_DOUBLE_EQ(tilt::angleX(100, 100), -6);
    EXPECT_DOUBLE_EQ(tilt::angleY(100, 100), 7);
    EXPECT_EQ(tilt::lightCentre(QPointF(0, 0), QSizeF(100, 100)), QPointF(0, 0));
    EXPECT_EQ(tilt::lightCentre(QPointF(50, 25), QSizeF(100, 100)), QPointF(0.5, 0.25));
    // Zero-sized tile: denominators are at least 1, nothing becomes infinite.
    EXPECT_TRUE(std::isfinite(tilt::angleX(3, 0)));
    EXPECT_TRUE(std::isfinite(tilt::lightCentre(QPointF(3, 3), QSizeF(0, 0)).x()));
}

// --- Spring ----------------------------------------------------------------------------

TEST(SpringMotion, SettlesOnTargetAndSurvivesLongFrames)
{
    spring::State s;
    double peak = 0;
    for (int i = 0; i < 120; ++i) { // two seconds at 60 Hz
        s = spring::step(s, 1.0, 1.0 / 60, 0.55, 0.85);
        peak = std::max(peak, s.position);
    }
    EXPECT_NEAR(s.position, 1.0, 1e-3);
    EXPECT_GT(peak, 1.0);  // an under-damped spring overshoots a little...
    EXPECT_LT(peak, 1.02); // ...but only a little at 0.85

    // A half-second stall must not explode a stiff spring.
    spring::State t;
    t = spring::step(t, 1.0, 0.5, 0.2, 0.78);
    EXPECT_TRUE(std::isfinite(t.position));
    EXPECT_LT(std::abs(t.position - 1.0), 0.1);

    EXPECT_EQ(spring::step({0.3, 0}, 1, 0, 0.2, 0.78).position, 0.3); // no time, no motion
    EXPECT_EQ(spring::step({kNaN, 0}, 1, 0.016, 0.2, 0.78).position, 1);
}

// --- Ring and effect views --------------------------------------------------------------

TEST(RingGeometry, ProgressAndHighlight)
{
    EXPECT_DOUBLE_EQ(ring::progress(0.5), 0.5);
    EXPECT_DOUBLE_EQ(ring::progress(1.3), 1);
    EXPECT_DOUBLE_EQ(ring::progress(-0.2), 0);
    EXPECT_DOUBLE_EQ(ring::progress(kNaN), 0);
    EXPECT_DOUBLE_EQ(ring::highlightOpacity(0.02), 0);
    EXPECT_DOUBLE_EQ(ring::highlightOpacity(0.021), 0.6);
    EXPECT_DOUBLE_EQ(ring::highlightOpacity(-0.2), 0);
}

TEST(RingGeometry, SixtyTicksHaveTwelveMajors)
{
    const auto ticks = ring::ticks(60);
    ASSERT_EQ(ticks.size(), 60);
    QList<double> majors;
    for (const auto &t : ticks)
        if (t.major)
            majors << t.angle;
    ASSERT_EQ(majors.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_DOUBLE_EQ(majors[i], i * 30.0);
    EXPECT_TRUE(ring::ticks(0).isEmpty());
}

TEST(EffectGeometry, RadiiAndEntranceDelay)
{
    EXPECT_DOUBLE_EQ(ring::sweepRadius(QSizeF(40, 20), 4, 2), 6);
    EXPECT_DOUBLE_EQ(ring::sweepRadius(QSizeF(4, 4), 4, 2), 1);
    EXPECT_DOUBLE_EQ(ring::pulseRadius(QSizeF(40, 40)), 18);
    EXPECT_DOUBLE_EQ(ring::pulseRadius(QSizeF(2, 2)), 1);
    EXPECT_EQ(ring::entranceDelayMs(0, 0), 0);
    EXPECT_EQ(ring::entranceDelayMs(0.1, 10), 600);
    EXPECT_EQ(ring::entranceDelayMs(0.1, -4), 0); // a start in the past runs at once
    EXPECT_EQ(ring::entranceDelayMs(0.3, -2), 200);
}
