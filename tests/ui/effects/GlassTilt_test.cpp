// Pointer-following pose of the glass card.
#include "ui/effects/FrameClock.h"
#include "ui/effects/GlassTilt.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvane::effects;

struct PoseCase {
    const char *name;
    QPointF pointer;
    QSizeF size;
    double tiltX, tiltY, shadowX;
};

class GlassPose : public ::testing::TestWithParam<PoseCase> {};

TEST_P(GlassPose, AnglesAndShadow)
{
    const PoseCase &c = GetParam();
    EXPECT_NEAR(glassTiltAboutX(c.pointer, c.size), c.tiltX, 1e-9);
    EXPECT_NEAR(glassTiltAboutY(c.pointer, c.size), c.tiltY, 1e-9);
    EXPECT_NEAR(glassShadowOffsetX(c.pointer, c.size), c.shadowX, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Card, GlassPose,
    ::testing::Values(
        PoseCase{"centre", {150, 100}, {300, 200}, 0, 0, 0},
        PoseCase{"topLeading", {0, 0}, {300, 200}, 3, -3, -4},
        PoseCase{"bottomTrailing", {300, 200}, {300, 200}, -3, 3, 4},
        PoseCase{"rightEdgeMiddle", {300, 100}, {300, 200}, 0, 3, 4},
        // Unmeasured card: every divisor is 1, the results stay finite.
        PoseCase{"unmeasured", {2, 1}, {0, 0}, -6, 12, 16},
        PoseCase{"subPointSize", {0.5, 0.25}, {0.5, 0.5}, -6 * (0.25 - 0.25), 6 * 0.25, 8 * 0.25}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GlassPose, TiltStaysWithinThreeDegreesInsideTheCard)
{
    const QSizeF size(317, 143);
    for (double x = 0; x <= size.width(); x += size.width() / 9)
        for (double y = 0; y <= size.height(); y += size.height() / 7) {
            EXPECT_LE(std::abs(glassTiltAboutX({x, y}, size)), 3 + 1e-9);
            EXPECT_LE(std::abs(glassTiltAboutY({x, y}, size)), 3 + 1e-9);
        }
}

TEST(GlassPose, GlowCentreIsAUnitPointGuardedAgainstZeroSize)
{
    EXPECT_EQ(glassGlowCenter({75, 50}, {300, 200}), QPointF(0.25, 0.25));
    EXPECT_EQ(glassGlowCenter({0.5, 3}, {0, 0}), QPointF(0.5, 3));
}

TEST(FrameClock, IntervalNeverExceedsTheRateCap)
{
    EXPECT_EQ(frameIntervalMs(30), 34); // 29.4 fps, never 30.3
    EXPECT_EQ(frameIntervalMs(60), 17);
    EXPECT_EQ(frameIntervalMs(25), 40);
    EXPECT_EQ(frameIntervalMs(0), 0);
    EXPECT_EQ(frameIntervalMs(-3), 0);
    for (int fps = 1; fps <= 240; ++fps)
        ASSERT_LE(1000.0 / frameIntervalMs(fps), fps) << fps;
}
