// The tone generator: synthesis, decimation, note names and meter bars as plain functions,
// and the real output under a private PulseAudio server with a null sink.
#include "checks/ToneGenerator.h"

#include "support/SilentSoundServer.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

using namespace corvane;

namespace {

struct NoteCase {
    double hz;
    const char *name;
    friend void PrintTo(const NoteCase &c, std::ostream *os) { *os << c.hz << " Hz"; }
};
class NoteNames : public ::testing::TestWithParam<NoteCase> {};
TEST_P(NoteNames, NearestEqualTemperedNote)
{
    EXPECT_EQ(ToneRules::noteName(GetParam().hz), QString::fromLatin1(GetParam().name));
}
INSTANTIATE_TEST_SUITE_P(Tone, NoteNames, ::testing::Values(
    NoteCase{440, "A4"}, NoteCase{80, "D#2"}, NoteCase{8000, "B8"}, NoteCase{220, "A3"},
    NoteCase{2200, "C#7"}, NoteCase{4400, "C#8"}, NoteCase{440.9, "A4"}, NoteCase{27.5, "A0"}),
    [](const auto &info) {
        QString n = QString::number(info.param.hz).replace('.', '_') + "Hz_" + info.param.name;
        return n.replace('#', "sharp").toStdString();
    });

TEST(ToneSynthesis, ChannelsCarryTheToneAsChosenAndThePhaseStaysInOneTurn)
{
    constexpr int frames = 22050;
    std::vector<float> buf(2 * frames);
    struct C { ToneChannel ch; bool left, right; };
    for (const C &c : {C{ToneChannel::left, true, false}, C{ToneChannel::right, false, true}, C{ToneChannel::both, true, true}}) {
        double phase = 0;
        ToneRules::synthesize(buf.data(), frames, 440, c.ch, phase);
        float peakL = 0, peakR = 0;
        bool equal = true;
        for (int i = 0; i < frames; ++i) {
            peakL = std::max(peakL, std::fabs(buf[2 * i]));
            peakR = std::max(peakR, std::fabs(buf[2 * i + 1]));
            equal = equal && buf[2 * i] == buf[2 * i + 1];
        }
        EXPECT_EQ(peakL > 0.29f, c.left) << ToneRules::channelRaw(c.ch).toStdString();
        EXPECT_EQ(peakR > 0.29f, c.right);
        EXPECT_EQ(peakL == 0.f, !c.left);
        EXPECT_EQ(peakR == 0.f, !c.right);
        if (c.ch == ToneChannel::both)
            EXPECT_TRUE(equal);
        EXPECT_LE(peakL, 0.3f);
        // 220 whole turns in half a second of 440 Hz: back where it started, within one turn.
        EXPECT_GE(phase, 0.0);
        EXPECT_LE(phase, 2 * std::numbers::pi);
        EXPECT_NEAR(std::sin(phase), 0.0, 1e-6);
    }
}

TEST(ToneSynthesis, NextBlockContinuesWithoutAJump)
{
    std::vector<float> a(2 * 1000), b(2 * 1000);
    double phase = 0;
    ToneRules::synthesize(a.data(), 1000, 1000, ToneChannel::both, phase);
    ToneRules::synthesize(b.data(), 1000, 1000, ToneChannel::both, phase);
    const double step = 2 * std::numbers::pi * 1000 / 44100;
    const double expected = 0.3 * std::sin(1000 * step);
    EXPECT_NEAR(b[0], expected, 1e-4);
}

struct TapCase {
    const char *name;
    int frames, stride, real;
    friend void PrintTo(const TapCase &c, std::ostream *os) { *os << c.name; }
};
class Decimation : public ::testing::TestWithParam<TapCase> {};
TEST_P(Decimation, AlwaysGivesOneHundredTwentyEightPoints)
{
    const TapCase c = GetParam();
    std::vector<float> block(2 * c.frames);
    for (int i = 0; i < c.frames; ++i) {
        block[2 * i] = float(i + 1) / 10000.f;  // channel 0: its index
        block[2 * i + 1] = -1.f;               // channel 1 is never read
    }
    const auto tap = ToneRules::decimate(block.data(), c.frames, 2);
    ASSERT_EQ(tap.points.size(), 128);
    for (int k = 0; k < c.real; ++k)
        EXPECT_FLOAT_EQ(tap.points[k], float(k * c.stride + 1) / 10000.f) << k;
    for (int k = c.real; k < 128; ++k)
        EXPECT_EQ(tap.points[k], 0.f);
    EXPECT_FLOAT_EQ(tap.peak, float((c.real - 1) * c.stride + 1) / 10000.f);
}
INSTANTIATE_TEST_SUITE_P(Tone, Decimation, ::testing::Values(
    TapCase{"Block256", 256, 2, 128}, TapCase{"Block100", 100, 1, 100}, TapCase{"Block4800", 4800, 37, 128}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ToneMeter, BarsLightUpToTheLevel)
{
    auto lit = [](double level) {
        int n = 0;
        for (int i = 0; i < 24; ++i)
            n += ToneRules::barLit(level, i, 24);
        return n;
    };
    EXPECT_EQ(lit(0.3), 7);
    EXPECT_EQ(lit(8.0 / 24), 8); // exactly at a bar's threshold lights it
    EXPECT_EQ(lit(1), 24);
    EXPECT_EQ(lit(0), 0);
    QStringList roles;
    for (int i = 0; i < 24; ++i)
        roles << ToneRules::barRole(i, 24);
    EXPECT_EQ(roles.count("glow"), 14);
    EXPECT_EQ(roles.count("warning"), 6);
    EXPECT_EQ(roles.count("critical"), 4);
    EXPECT_EQ(roles.indexOf("warning"), 14);
}

TEST(ToneWaveform, PointsSpanTheWidthPositiveUp)
{
    QList<float> s(128, 0.f);
    s[0] = 1.f;
    s[127] = -1.f;
    const auto pts = ToneRules::waveformPoints(s, 254, 100);
    ASSERT_EQ(pts.size(), 128);
    EXPECT_DOUBLE_EQ(pts[1].x(), 2.0);
    EXPECT_DOUBLE_EQ(pts[127].x(), 254.0);
    EXPECT_DOUBLE_EQ(pts[0].y(), 5.0);
    EXPECT_DOUBLE_EQ(pts[127].y(), 95.0);
    EXPECT_EQ(ToneRules::waveformPoints({0.5f}, 100, 100).size(), 1);
    EXPECT_TRUE(ToneRules::waveformPoints({}, 100, 100).isEmpty());
}

// ---- Real output --------------------------------------------------------------------------

double goertzel(const std::vector<float> &x, double hz)
{
    const double w = 2 * std::numbers::pi * hz / 44100, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (float v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2) / double(x.size());
}

struct NoServerCase {
    const char *name;
    bool silent; // accepts connections and never answers
    const char *message;
    friend void PrintTo(const NoServerCase &c, std::ostream *os) { *os << c.name; }
};
class ToneWithoutServer : public ::testing::TestWithParam<NoServerCase> {};
TEST_P(ToneWithoutServer, ShowsWhyAndNeverPlays)
{
    std::optional<test::SilentSoundServer> silent;
    if (GetParam().silent)
        silent.emplace();
    else
        qputenv("PULSE_SERVER", "unix:/nonexistent/corvane/native");
    ToneGenerator tone;
    tone.start();
    QTRY_COMPARE_WITH_TIMEOUT(tone.errorMessage(), QString::fromUtf8(GetParam().message), 10000);
    EXPECT_FALSE(tone.isPlaying());
}
INSTANTIATE_TEST_SUITE_P(
    ToneOutput, ToneWithoutServer,
    ::testing::Values(NoServerCase{"NoServer", false, "Nicio ieșire audio: serverul de sunet nu rulează."},
                      NoServerCase{"SilentServer", true, "Ieșirea audio nu poate porni: serverul de sunet nu răspunde."}),
    [](const auto &info) { return std::string(info.param.name); });

// A PulseAudio server of our own with a null sink, on a socket in `dir`.
class NullSinkServer {
public:
    explicit NullSinkServer(const QTemporaryDir &dir) : m_dir(dir), m_socket(dir.filePath("native")) {}
    ~NullSinkServer()
    {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    QString socket() const { return m_socket; }
    static bool installed()
    {
        return !QStandardPaths::findExecutable("pulseaudio").isEmpty() && !QStandardPaths::findExecutable("parec").isEmpty();
    }
    // Empty when it runs, else why not.
    QString start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("XDG_CONFIG_HOME", m_dir.path());
        m_server.setProcessEnvironment(env);
        m_server.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                      "--disable-shm=yes", "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket,
                                      "-L", "module-null-sink sink_name=corvane_null rate=44100 channels=2"});
        QTest::qWaitFor([&] { return QFile::exists(m_socket) || m_server.state() == QProcess::NotRunning; }, 10000);
        return QFile::exists(m_socket) ? QString() : QString::fromLocal8Bit(m_server.readAllStandardError());
    }

private:
    const QTemporaryDir &m_dir;
    QString m_socket;
    QProcess m_server;
};

TEST(ToneOutput, SoundServerStartedAfterLaunchIsFoundAtTheNextPlay)
{
    if (!NullSinkServer::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    QTemporaryDir dir;
    NullSinkServer server(dir);
    qputenv("PULSE_SERVER", ("unix:" + server.socket()).toLocal8Bit());
    ToneGenerator tone;
    tone.start();
    QTRY_COMPARE_WITH_TIMEOUT(tone.errorMessage(), QStringLiteral("Nicio ieșire audio: serverul de sunet nu rulează."), 10000);

    const QString why = server.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "pulseaudio did not start: " << why.toStdString();
    tone.start();
    QTRY_VERIFY_WITH_TIMEOUT(tone.isPlaying(), 10000);
    EXPECT_TRUE(tone.errorMessage().isEmpty()) << tone.errorMessage().toStdString();
    tone.stop();
    EXPECT_FALSE(tone.isPlaying());
}

TEST(ToneOutput, PlaysFourForty)
{
    if (!NullSinkServer::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    QTemporaryDir dir;
    NullSinkServer server(dir);
    const QString why = server.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "pulseaudio did not start: " << why.toStdString();
    const QString socket = server.socket();
    qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());

    ToneGenerator tone;
    tone.start();
    QTRY_VERIFY_WITH_TIMEOUT(tone.isPlaying(), 10000);
    QProcess rec;
    rec.start("parec", {"--server=unix:" + socket, "-d", "corvane_null.monitor", "--format=float32le",
                        "--rate=44100", "--channels=2", "--raw", "--latency-msec=50"});
    ASSERT_TRUE(rec.waitForStarted(5000));
    QByteArray raw;
    // Until two seconds of sound have come in (the recorder can be slow to start on a busy
    // machine); the sink pulls from this thread's event loop meanwhile.
    (void)QTest::qWaitFor([&] {
        raw += rec.readAllStandardOutput();
        return raw.size() >= 2 * 44100 * 8 || rec.state() != QProcess::Running;
    }, 30000);
    rec.kill();
    rec.waitForFinished(3000);
    raw += rec.readAllStandardOutput();
    ASSERT_FALSE(raw.isEmpty()) << rec.readAllStandardError().toStdString();
    std::vector<float> left;
    const auto *f = reinterpret_cast<const float *>(raw.constData());
    for (qsizetype i = 0; i + 1 < raw.size() / 4; i += 2)
        left.push_back(f[i]);
    // Skip the start, where the stream may still be silent.
    std::vector<float> tail(left.begin() + std::min<size_t>(left.size(), 8820), left.end());
    ASSERT_GT(tail.size(), 22050u) << raw.size();
    const double at440 = goertzel(tail, 440);
    EXPECT_GT(at440, 0.1) << "the tone's amplitude is 0.3";
    for (double other : {220.0, 330.0, 600.0, 880.0, 1000.0})
        EXPECT_LT(goertzel(tail, other), at440 / 20) << other;
    QTRY_VERIFY_WITH_TIMEOUT(tone.level() > 0.25, 3000);
    tone.stop();
    EXPECT_FALSE(tone.isPlaying());
    EXPECT_EQ(tone.level(), 0.0);
}

} // namespace
