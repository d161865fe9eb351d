#include "checks/ToneGenerator.h"

#include "platform/AudioDevices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {

// ---- Rules ------------------------------------------------------------------------------

QString ToneRules::channelRaw(ToneChannel c)
{
    switch (c) {
    case ToneChannel::left: return QStringLiteral("left");
    case ToneChannel::right: return QStringLiteral("right");
    case ToneChannel::both: return QStringLiteral("both");
    }
    return {};
}

std::optional<ToneChannel> ToneRules::channelFromRaw(const QString &raw)
{
    for (ToneChannel c : {ToneChannel::left, ToneChannel::right, ToneChannel::both})
        if (channelRaw(c) == raw)
            return c;
    return std::nullopt;
}

void ToneRules::synthesize(float *out, qsizetype frames, double frequency, ToneChannel channel, double &phase)
{
    constexpr double twoPi = 2 * std::numbers::pi;
    const double increment = frequency * twoPi / kSampleRate;
    for (qsizetype i = 0; i < frames; ++i) {
        const float s = float(std::sin(phase)) * kAmplitude;
        out[2 * i] = channel == ToneChannel::right ? 0.f : s;
        out[2 * i + 1] = channel == ToneChannel::left ? 0.f : s;
        phase += increment;
        if (phase > twoPi)
            phase -= twoPi;
    }
}

ToneRules::Tap ToneRules::decimate(const float *interleaved, qsizetype frames, int channels)
{
    Tap tap;
    tap.points.reserve(kWaveformPoints);
    const qsizetype stride = frames >= kWaveformPoints ? (frames >> 7) : 1;
    for (qsizetype i = 0; i < frames && tap.points.size() < kWaveformPoints; i += stride) {
        const float v = interleaved[i * channels];
        tap.points << v;
        tap.peak = std::max(tap.peak, std::fabs(v));
    }
    while (tap.points.size() < kWaveformPoints)
        tap.points << 0.f;
    return tap;
}

QString ToneRules::noteName(double frequency)
{
    static const char *const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (!(frequency > 0) || !std::isfinite(frequency))
        return QStringLiteral("—");
    const long long n = std::llround(12 * std::log2(frequency / 440) + 69);
    const int index = int(((n % 12) + 12) % 12);
    return QString::fromLatin1(names[index]) + QString::number(n / 12 - 1);
}

bool ToneRules::barLit(double level, int index, int bars)
{
    return bars > 0 && level >= double(index + 1) / double(bars);
}

QString ToneRules::barRole(int index, int bars)
{
    const double p = bars > 0 ? double(index + 1) / double(bars) : 0;
    if (p > 0.85)
        return QStringLiteral("critical");
    if (p > 0.6)
        return QStringLiteral("warning");
    return QStringLiteral("glow");
}

QList<QPointF> ToneRules::waveformPoints(const QList<float> &s, double w, double h)
{
    QList<QPointF> out;
    if (s.isEmpty())
        return out;
    const double step = w / double(std::max<qsizetype>(s.size(), 2) - 1);
    const double mid = h * 0.5;
    for (qsizetype i = 0; i < s.size(); ++i)
        out << QPointF(double(i) * step, mid - double(s[i]) * mid * 0.9);
    return out;
}

// ---- Waveform buffer and source ---------------------------------------------------------

WaveformBuffer::WaveformBuffer(QObject *parent) : QObject(parent), m_samples(ToneRules::kWaveformPoints, 0.f) {}

void WaveformBuffer::setSamples(QList<float> s)
{
    m_samples = std::move(s);
    emit samplesChanged();
}

ToneSource::ToneSource(QObject *parent) : QIODevice(parent) {}

qint64 ToneSource::readData(char *data, qint64 maxSize)
{
    const int sampleBytes = m_encoding == Encoding::float32 ? 4 : 2;
    const qint64 frames = maxSize / (2 * sampleBytes);
    if (frames <= 0)
        return 0;
    m_scratch.resize(size_t(frames) * 2);
    ToneRules::synthesize(m_scratch.data(), frames, m_frequency.load(), m_channel.load(), m_phase);
    if (m_encoding == Encoding::float32) {
        std::memcpy(data, m_scratch.data(), size_t(frames) * 8);
    } else {
        auto *out = reinterpret_cast<qint16 *>(data);
        for (size_t i = 0; i < m_scratch.size(); ++i)
            out[i] = qint16(std::lround(m_scratch[i] * 32767.f));
    }
    const ToneRules::Tap tap = ToneRules::decimate(m_scratch.data(), frames, 2);
    emit tapped(tap.points, tap.peak);
    return frames * 2 * sampleBytes;
}

// ---- Generator --------------------------------------------------------------------------

ToneGenerator::ToneGenerator(QObject *parent) : QObject(parent), m_buffer(new WaveformBuffer(this))
{
    // Queued: the sink may pull from its own thread; fields are written here only.
    connect(&m_source, &ToneSource::tapped, this, &ToneGenerator::applyTap, Qt::QueuedConnection);
}

ToneGenerator::~ToneGenerator()
{
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_source.close();
}

void ToneGenerator::setPlaying(bool p)
{
    if (p == m_playing)
        return;
    m_playing = p;
    emit isPlayingChanged();
}

void ToneGenerator::setError(const QString &e)
{
    if (e == m_error)
        return;
    m_error = e;
    emit errorMessageChanged();
}

void ToneGenerator::setChannel(const QString &raw)
{
    const auto c = ToneRules::channelFromRaw(raw);
    if (!c || *c == m_channel)
        return;
    m_channel = *c;
    m_source.setChannel(*c);
    emit channelChanged();
}

void ToneGenerator::setFrequency(double f)
{
    if (!std::isfinite(f))
        return;
    f = std::clamp(f, 20.0, 20000.0);
    if (f == m_frequency)
        return;
    m_frequency = f;
    m_source.setFrequency(f);
    emit frequencyChanged();
}

void ToneGenerator::start()
{
    if (m_playing || m_starting)
        return;
    // Qt's audio backend connects to the sound server once, on the GUI thread, the first time
    // its devices are asked for, and never again if no server answered then. So it is asked
    // only once a server is known to answer: a server started after launch is found at the
    // next press of play, and one that hangs never freezes the screen.
    m_starting = true;
    const quint64 token = ++m_startToken;
    probeSoundServer(this, [this, token](SoundServer server) {
        if (token != m_startToken)
            return; // stopped meanwhile
        m_starting = false;
        switch (server) {
        case SoundServer::answers:
            startOutput();
            break;
        case SoundServer::absent:
            setError(QStringLiteral("Nicio ieșire audio: serverul de sunet nu rulează."));
            break;
        case SoundServer::silent:
            setError(QStringLiteral("Ieșirea audio nu poate porni: serverul de sunet nu răspunde."));
            break;
        }
    });
}

void ToneGenerator::startOutput()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        setError(QStringLiteral("Nicio ieșire audio: serverul de sunet nu rulează."));
        return;
    }
    QAudioFormat format;
    format.setSampleRate(int(ToneRules::kSampleRate));
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Float);
    ToneSource::Encoding encoding = ToneSource::Encoding::float32;
    if (!device.isFormatSupported(format)) {
        format.setSampleFormat(QAudioFormat::Int16);
        encoding = ToneSource::Encoding::int16;
    }
    if (m_sink)
        m_sink->stop();
    m_sink = std::make_unique<QAudioSink>(device, format);
    // About a fifth of a second queued: a new frequency is heard almost at once.
    m_sink->setBufferSize(format.bytesForDuration(200'000));
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (m_playing && state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError) {
            setPlaying(false);
            setError(QStringLiteral("Ieșirea audio s-a oprit cu o eroare."));
        }
    });
    m_source.setEncoding(encoding);
    m_source.setFrequency(m_frequency);
    m_source.setChannel(m_channel);
    if (!m_source.isOpen())
        m_source.open(QIODevice::ReadOnly);
    m_sink->start(&m_source);
    // Without a sound server the sink fails at once and says nothing more.
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        m_sink.reset();
        setError(QStringLiteral("Ieșirea audio nu poate porni: serverul de sunet nu răspunde."));
        return;
    }
    setError({});
    setPlaying(true);
}

void ToneGenerator::stop()
{
    ++m_startToken;
    m_starting = false;
    if (m_sink) {
        m_sink->stop();
        m_sink.reset();
    }
    setPlaying(false);
    if (m_level != 0) {
        m_level = 0;
        emit levelChanged();
    }
}

void ToneGenerator::applyTap(const QList<float> &points, float peak)
{
    m_buffer->setSamples(points);
    if (double(peak) != m_level) {
        m_level = peak;
        emit levelChanged();
    }
}

} // namespace corvane
