#pragma once
// The speaker test's engine: a continuous sine on the left, right or both channels through the
// default audio output (QAudioSink pulling from a synthesiser), with the first channel of what
// is handed to the output decimated into a 128-point waveform and a peak level.
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QAudioSink;

namespace corvane {

enum class ToneChannel { left, right, both };

namespace ToneRules {
constexpr double kSampleRate = 44100;
constexpr float kAmplitude = 0.3f;
constexpr int kWaveformPoints = 128;
QString channelRaw(ToneChannel c);
std::optional<ToneChannel> channelFromRaw(const QString &raw);
// Interleaved stereo frames; `phase` carries on from one call to the next.
void synthesize(float *interleaved, qsizetype frames, double frequency, ToneChannel channel, double &phase);
struct Tap {
    QList<float> points; // always kWaveformPoints long
    float peak = 0;
};
// 128 points of channel 0 of an interleaved block, every (frames / 128)-th frame.
Tap decimate(const float *interleaved, qsizetype frames, int channels);
// Nearest equal-tempered note: "A4" for 440 Hz.
QString noteName(double frequency);
bool barLit(double level, int index, int bars);
// "critical", "warning" or "glow": the colour role of one bar.
QString barRole(int index, int bars);
QList<QPointF> waveformPoints(const QList<float> &samples, double width, double height);
} // namespace ToneRules

class WaveformBuffer : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by a ToneGenerator")
    Q_PROPERTY(QList<float> samples READ samples NOTIFY samplesChanged)
public:
    explicit WaveformBuffer(QObject *parent = nullptr);
    QList<float> samples() const { return m_samples; }
    void setSamples(QList<float> s);
signals:
    void samplesChanged();
private:
    QList<float> m_samples;
};

// Pull-mode source: synthesises whatever the sink asks for, on demand.
class ToneSource : public QIODevice {
    Q_OBJECT
public:
    enum class Encoding { float32, int16 };
    explicit ToneSource(QObject *parent = nullptr);
    void setEncoding(Encoding e) { m_encoding = e; }
    void setFrequency(double f) { m_frequency = f; }
    void setChannel(ToneChannel c) { m_channel = c; }
    double phase() const { return m_phase; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }
signals:
    // Emitted for every block handed to the sink.
    void tapped(const QList<float> &points, float peak);
protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }
private:
    std::atomic<double> m_frequency{440};
    std::atomic<ToneChannel> m_channel{ToneChannel::both};
    Encoding m_encoding = Encoding::float32;
    double m_phase = 0;
    std::vector<float> m_scratch;
};

class ToneGenerator : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(QString channel READ channel WRITE setChannel NOTIFY channelChanged)
    Q_PROPERTY(double frequency READ frequency WRITE setFrequency NOTIFY frequencyChanged)
    Q_PROPERTY(double level READ level NOTIFY levelChanged)
    Q_PROPERTY(corvane::WaveformBuffer *buffer READ buffer CONSTANT)
    // Why the output could not start; empty while all is well.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
public:
    explicit ToneGenerator(QObject *parent = nullptr);
    ~ToneGenerator() override;

    // Asks the sound server first (off the GUI thread) and starts the tone once it answers.
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();

    bool isPlaying() const { return m_playing; }
    QString channel() const { return ToneRules::channelRaw(m_channel); }
    void setChannel(const QString &raw);
    double frequency() const { return m_frequency; }
    void setFrequency(double f);
    double level() const { return m_level; }
    WaveformBuffer *buffer() const { return m_buffer; }
    QString errorMessage() const { return m_error; }
    double phase() const { return m_source.phase(); }

signals:
    void isPlayingChanged();
    void channelChanged();
    void frequencyChanged();
    void levelChanged();
    void errorMessageChanged();

private:
    void startOutput();
    void setPlaying(bool p);
    void setError(const QString &e);
    void applyTap(const QList<float> &points, float peak);

    WaveformBuffer *m_buffer;
    ToneSource m_source;
    // Declared after the source: the sink goes first, so it never pulls from a dead device.
    std::unique_ptr<QAudioSink> m_sink;
    bool m_playing = false;
    quint64 m_startToken = 0; // a start waiting for the sound server's answer
    bool m_starting = false;
    ToneChannel m_channel = ToneChannel::both;
    double m_frequency = 440;
    double m_level = 0;
    QString m_error;
};

} // namespace corvane
