#include "platform/linux/PulseSourceState.h"

#include <gtest/gtest.h>

using namespace corvane::pulse;

namespace {

TEST(PulseSources, MonitorsAreOutputAndRecordingStreamsMeanRunning)
{
    const QList<SourceRecord> sources = {
        {0, "alsa_output.monitor", "Monitor of Speakers", true, 2, true},
        {1, "alsa_input.mic", "Built-in Mic", false, 2, false},
        {2, "usb.mic", "USB Mic", false, 1, false},
        {3, "bt.mic", "Headset", false, 1, true},
    };
    const QList<OutputRecord> outputs = {{0, false}, {1, true} /* corked */, {2, false}};
    const QList<Device> d = buildDevices(sources, outputs);
    ASSERT_EQ(d.size(), 4);
    EXPECT_FALSE(d[0].hasInput);
    EXPECT_TRUE(d[1].hasInput);
    EXPECT_FALSE(d[1].running); // a paused recording does not use the microphone
    EXPECT_TRUE(d[2].running);
    EXPECT_TRUE(d[3].running);
}

struct DiffCase {
    const char *label;
    QList<Device> before;
    QList<Device> after;
    bool listChanged;
    QStringList runningChanged;
};

void PrintTo(const DiffCase &c, std::ostream *os) { *os << c.label; }

class PulseDiff : public ::testing::TestWithParam<DiffCase> {};

TEST_P(PulseDiff, DecidesWhichListenersToCall)
{
    const Changes c = diff(GetParam().before, GetParam().after);
    EXPECT_EQ(c.listChanged, GetParam().listChanged);
    EXPECT_EQ(c.runningChanged, GetParam().runningChanged);
}

const Device micOff{"mic", "Mic", true, false};
const Device micOn{"mic", "Mic", true, true};
const Device usbOff{"usb", "USB", true, false};
const Device usbOn{"usb", "USB", true, true};

INSTANTIATE_TEST_SUITE_P(
    Cases, PulseDiff,
    ::testing::Values(DiffCase{"same", {micOff, usbOff}, {micOff, usbOff}, false, {}},
                      DiffCase{"one_starts", {micOff, usbOff}, {micOff, usbOn}, false, {"usb"}},
                      DiffCase{"both_flip", {micOn, usbOff}, {micOff, usbOn}, false, {"mic", "usb"}},
                      DiffCase{"added", {micOff}, {micOff, usbOn}, true, {}},
                      DiffCase{"replaced", {micOff}, {usbOn}, true, {}},
                      DiffCase{"server_gone", {micOn}, {}, true, {}}),
    [](const auto &info) { return std::string(info.param.label); });

} // namespace
