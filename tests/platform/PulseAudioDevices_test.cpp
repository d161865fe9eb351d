#include "monitors/MicrophoneMonitor.h"
#include "platform/AudioDevices.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Runs against the sound server of this machine when there is one; skipped otherwise.
TEST(PulseAudioDevices, RecordingStreamTurnsTheMicrophoneOnAndOff)
{
    auto pulse = makePulseAudioDevices();
    if (!pulse)
        GTEST_SKIP() << "no sound server";
    AudioDevices *raw = pulse.get();
    const auto list = raw->deviceList();
    ASSERT_TRUE(list);
    QString mic;
    QString monitor;
    for (const QString &d : *list) {
        if (d.endsWith(".monitor")) {
            EXPECT_EQ(raw->hasInputChannels(d), false) << d.toStdString(); // output-only
            monitor = d;
        } else if (raw->hasInputChannels(d).value_or(false) && mic.isEmpty())
            mic = d;
    }
    MicrophoneMonitor m(std::move(pulse));
    EXPECT_FALSE(m.isMicrophoneOn());
    const QString parecord = QStandardPaths::findExecutable("parecord");
    if (mic.isEmpty() || parecord.isEmpty())
        GTEST_SKIP() << "no capture source or no parecord";

    if (!monitor.isEmpty()) {
        // Recording what the speakers play is not using a microphone.
        QProcess loopback;
        loopback.start(parecord, {"--device=" + monitor, "--raw", "/dev/null"});
        ASSERT_TRUE(loopback.waitForStarted());
        EXPECT_FALSE(QTest::qWaitFor([&] { return m.isMicrophoneOn(); }, 700));
        loopback.kill();
        loopback.waitForFinished();
    }

    QProcess rec;
    rec.start(parecord, {"--device=" + mic, "--raw", "/dev/null"});
    ASSERT_TRUE(rec.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.isMicrophoneOn(); }, 3000));
    EXPECT_EQ(m.activeMicNames().size(), 1);
    rec.kill();
    rec.waitForFinished();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m.isMicrophoneOn(); }, 3000));
}

} // namespace
