#include "platform/DisplayLink.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace corvane;

namespace {

struct ModeCase {
    const char *name;
    uint32_t dotClock;
    uint16_t htotal, vtotal;
    bool interlace, doubleScan;
    std::optional<double> hz;
};

class ModeRefresh : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeRefresh, FromTheModeTimings)
{
    const auto &c = GetParam();
    const auto hz = displaylink::modeRefreshHz(c.dotClock, c.htotal, c.vtotal, c.interlace, c.doubleScan);
    ASSERT_EQ(hz.has_value(), c.hz.has_value());
    if (c.hz)
        EXPECT_NEAR(*hz, *c.hz, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeRefresh, ::testing::Values(
    ModeCase{"FullHd60", 148500000, 2200, 1125, false, false, 60.0},
    ModeCase{"FullHd5994", 148351648, 2200, 1125, false, false, 59.94},
    ModeCase{"Interlaced1080i", 74250000, 2200, 1125, true, false, 60.0},  // fields, not frames
    ModeCase{"DoubleScan320x240", 12587500, 400, 262, false, true, 60.05},
    // What Xvfb reports: a mode without timings, so no refresh to follow.
    ModeCase{"VirtualNoDotClock", 0, 0, 0, false, false, std::nullopt},
    ModeCase{"ZeroLines", 148500000, 2200, 0, false, false, std::nullopt}),
    [](const auto &i) { return std::string(i.param.name); });

} // namespace
