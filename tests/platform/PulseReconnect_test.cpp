// Microphone watching across sound-server restarts, against a private PulseAudio server.
#include "monitors/MicrophoneMonitor.h"
#include "platform/AudioDevices.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// A PulseAudio server of our own on a socket in a temporary folder, with one capture
// source "testmic"; clients find it through PULSE_SERVER.
class PrivateServer {
public:
    PrivateServer()
    {
        m_socket = m_dir.filePath(QStringLiteral("native"));
        qputenv("PULSE_SERVER", ("unix:" + m_socket).toUtf8());
        qputenv("PULSE_RUNTIME_PATH", m_dir.path().toUtf8());
        qputenv("PULSE_STATE_PATH", m_dir.path().toUtf8());
    }
    ~PrivateServer()
    {
        stop();
        qunsetenv("PULSE_SERVER");
    }
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("parecord")).isEmpty();
    }
    bool start()
    {
        m_server.setProgram(QStringLiteral("pulseaudio"));
        m_server.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--disable-shm=yes", "--log-target=stderr",
                               "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket,
                               "-L", "module-null-source source_name=testmic"});
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start();
        return m_server.waitForStarted(5000)
            && QTest::qWaitFor([&] { return QFile::exists(m_socket); }, 10000);
    }
    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
        QFile::remove(m_socket);
    }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_server;
};

class Recording {
public:
    Recording()
    {
        m_rec.start(QStandardPaths::findExecutable(QStringLiteral("parecord")),
                    {"--device=testmic", "--raw", "/dev/null"});
        m_rec.waitForStarted(5000);
    }
    ~Recording()
    {
        m_rec.kill();
        m_rec.waitForFinished(5000);
    }

private:
    QProcess m_rec;
};

constexpr int kBack = 15000; // the retry backs off to a few seconds

TEST(PulseReconnect, WatchingComesBackAfterTheServerRestarts)
{
    if (!PrivateServer::available())
        GTEST_SKIP() << "no pulseaudio or parecord";
    PrivateServer server;
    ASSERT_TRUE(server.start());
    auto devices = makeLinuxAudioDevices(QStringLiteral("/nonexistent-proc"));
    MicrophoneMonitor m(std::move(devices));
    // The first answer comes after start-up, which doesn't wait for it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.devices().contains(QStringLiteral("testmic")); }, 5000));
    {
        Recording rec;
        EXPECT_TRUE(QTest::qWaitFor([&] { return m.isMicrophoneOn(); }, 5000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m.isMicrophoneOn(); }, 5000));

    server.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.devices().isEmpty(); }, 5000));
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.devices().contains(QStringLiteral("testmic")); }, kBack));
    Recording rec;
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.isMicrophoneOn(); }, 5000));
    EXPECT_EQ(m.activeMicNames().size(), 1);
}

TEST(PulseReconnect, ServerThatStartsLaterIsPickedUp)
{
    if (!PrivateServer::available())
        GTEST_SKIP() << "no pulseaudio or parecord";
    PrivateServer server; // not started yet
    MicrophoneMonitor m(makeLinuxAudioDevices(QStringLiteral("/nonexistent-proc")));
    EXPECT_FALSE(m.isMicrophoneOn());
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.devices().contains(QStringLiteral("testmic")); }, kBack));
    Recording rec;
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.isMicrophoneOn(); }, 5000));
}

} // namespace
