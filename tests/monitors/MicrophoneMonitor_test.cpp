#include "monitors/MicrophoneMonitor.h"

#include "fakes/FakeAudioDevices.h"
#include "support/SilentSoundServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::FakeAudioDevices;
using corvane::test::SilentSoundServer;

namespace {

TEST(MicrophoneMonitor, OnlyInputCapableDevicesAreWatched)
{
    auto fake = std::make_unique<FakeAudioDevices>();
    fake->list = QStringList{"speakers", "speakers.monitor", "mic", "broken", "usb-mic"};
    fake->input = {{"speakers", false}, {"speakers.monitor", false}, {"mic", true}, {"usb-mic", true}}; // "broken": unreadable
    fake->running = {{"speakers", true}, {"speakers.monitor", true}, {"mic", false}, {"broken", true}, {"usb-mic", true}};
    fake->names = {{"speakers", "Speakers"}, {"mic", "Built-in"}};
    FakeAudioDevices *raw = fake.get();
    MicrophoneMonitor m(std::move(fake));

    EXPECT_EQ(m.devices(), (QStringList{"mic", "usb-mic"}));
    EXPECT_EQ(raw->listenersOn("speakers"), 0);
    EXPECT_TRUE(m.isMicrophoneOn());
    EXPECT_EQ(m.activeMicNames(), QStringList{"Unknown mic"}); // usb-mic runs and has no name
    EXPECT_EQ(m.poller(), nullptr); // an event source is never polled

    // The output device's running state never turns the flag on.
    raw->running["usb-mic"] = false;
    raw->fireRunning("usb-mic");
    raw->fireRunning("speakers");
    QCoreApplication::processEvents();
    EXPECT_FALSE(m.isMicrophoneOn());
    EXPECT_TRUE(m.activeMicNames().isEmpty());

    // Repeated device-list changes keep one listener per device.
    raw->fireDeviceList();
    raw->fireDeviceList();
    EXPECT_EQ(raw->listenersOn("mic"), 1);
    EXPECT_EQ(raw->listenerCount(), 2);
}

// A copy of the fixture /proc, so states can change under the monitor.
class AlsaFallback : public ::testing::Test {
protected:
    QTemporaryDir proc;

    void SetUp() override
    {
        ASSERT_TRUE(proc.isValid());
        ASSERT_EQ(QProcess::execute("cp", {"-r", CORVANE_FIXTURES "/asound/proc/asound", proc.path()}), 0);
    }
    void setStatus(const QString &rel, const QByteArray &text)
    {
        QFile f(proc.filePath("asound/" + rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(AlsaFallback, CapturePcmsOnlyAndPlaybackIgnored)
{
    auto alsa = makeAlsaAudioDevices(proc.path());
    AudioDevices *raw = alsa.get();
    MicrophoneMonitor m(std::move(alsa));
    EXPECT_EQ(raw->deviceList(), (QStringList{"card0/pcm0c", "card0/pcm0p", "card1/pcm0c"}));
    EXPECT_EQ(m.devices(), (QStringList{"card0/pcm0c", "card1/pcm0c"}));
    EXPECT_TRUE(m.isMicrophoneOn());
    EXPECT_EQ(m.activeMicNames(), QStringList{"ALC892 Analog"});
    ASSERT_NE(m.poller(), nullptr);
    EXPECT_EQ(m.poller()->label(), "corvane.mic-listener");
    EXPECT_TRUE(m.poller()->isActive());
}

TEST_F(AlsaFallback, PollReportsOnlyChanges)
{
    auto alsa = makeAlsaAudioDevices(proc.path());
    AudioDevices *raw = alsa.get();
    MicrophoneMonitor m(std::move(alsa));
    QSignalSpy spy(&m, &MicrophoneMonitor::updated);

    raw->poll(); // nothing changed
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);

    setStatus("card0/pcm0c/sub0/status", "closed\n");
    setStatus("card1/pcm0c/sub1/status", "state: RUNNING\nowner_pid   : 7\n");
    raw->poll();
    QCoreApplication::processEvents();
    EXPECT_GE(spy.count(), 1);
    EXPECT_TRUE(m.isMicrophoneOn());
    EXPECT_EQ(m.activeMicNames(), QStringList{"USB Audio"}); // empty name: the id

    setStatus("card0/pcm0p/sub0/status", "closed\n"); // playback: no listener to call
    setStatus("card1/pcm0c/sub1/status", "state: PREPARED\n");
    raw->poll();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m.isMicrophoneOn());

    ASSERT_TRUE(QDir(proc.filePath("asound/card1")).removeRecursively()); // unplugged
    raw->poll();
    QCoreApplication::processEvents();
    EXPECT_EQ(m.devices(), QStringList{"card0/pcm0c"});
}

TEST_F(AlsaFallback, SoundServerThatNeverAnswersHoldsNothingUp)
{
    SilentSoundServer server;
    ASSERT_TRUE(server.listening());
    // The fixture's capture PCM is recording: once ALSA stands in, the microphone is on.
    MicrophoneMonitor m(makeLinuxAudioDevices(proc.path()));
    // Start-up didn't wait for the server: nothing is known yet, so nothing is on.
    EXPECT_FALSE(m.isMicrophoneOn());
    EXPECT_TRUE(m.devices().isEmpty());
    // Given up on, the server leaves the status files to stand in.
    QTRY_VERIFY_WITH_TIMEOUT(m.isMicrophoneOn(), 20000);
    EXPECT_EQ(m.activeMicNames(), QStringList{"ALC892 Analog"});
}

TEST(MicrophoneMonitor, RealDevicesOnThisMachineShowTheAbsentState)
{
    MicrophoneMonitor m;
    QCoreApplication::processEvents();
    // A VM without a sound server or sound card: nothing watched, nothing on.
    if (m.devices().isEmpty()) {
        EXPECT_FALSE(m.isMicrophoneOn());
        EXPECT_TRUE(m.activeMicNames().isEmpty());
    }
}

} // namespace
