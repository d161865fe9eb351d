#pragma once
// The audio devices of the machine, which of them capture, whether some process records
// from each, and change listeners. Listeners run on the backend's own thread and never
// while it holds a lock of its own, so a listener may call back into the backend.
#include <QString>
#include <QStringList>

#include <functional>

class QObject;
#include <memory>
#include <optional>

namespace corvane {

class AudioDevices {
public:
    using Listener = std::function<void()>;
    virtual ~AudioDevices() = default;

    // Called whenever a device appears or goes away. Set once, before anything else.
    virtual void setDeviceListListener(Listener listener) = 0;
    // Device identifiers in a stable order; nullopt when the list cannot be read.
    virtual std::optional<QStringList> deviceList() = 0;
    // True when the device has input channels, false for output-only devices (sinks and
    // their monitors, playback PCMs); nullopt when its layout cannot be read.
    virtual std::optional<bool> hasInputChannels(const QString &device) = 0;
    // Called when the running state of `device` may have changed. Returns a removal token.
    virtual int addRunningListener(const QString &device, Listener listener) = 0;
    virtual void removeRunningListener(const QString &device, int token) = 0;
    // True when some process records from the device; nullopt when unreadable.
    virtual std::optional<bool> isRunningSomewhere(const QString &device) = 0;
    virtual std::optional<QString> name(const QString &device) = 0;

    // A source without change events asks to be polled at this interval (seconds); its
    // poll() then calls the listeners of whatever changed.
    virtual std::optional<double> pollInterval() const { return std::nullopt; }
    virtual void poll() {}
};

// The sound server's sources through libpulse (PulseAudio or PipeWire) when one answers,
// reconnecting whenever it restarts; else the capture PCMs of <procRoot>/asound, polled,
// until a server appears. Never waits for the server: until its first answer (or until it
// is given up on) no device is listed.
std::unique_ptr<AudioDevices> makeLinuxAudioDevices(const QString &procRoot = QStringLiteral("/proc"));
// Whether a sound server answers: one that accepts a connection but says nothing counts as
// silent after `timeoutMs`. Runs off the calling thread; `done` runs on `context`'s thread,
// and not at all once `context` is gone.
enum class SoundServer { answers, absent, silent };
void probeSoundServer(QObject *context, std::function<void(SoundServer)> done, int timeoutMs = 2000);

// The two backends on their own (tests).
std::unique_ptr<AudioDevices> makePulseAudioDevices(); // nullptr when no server answers
std::unique_ptr<AudioDevices> makeAlsaAudioDevices(const QString &procRoot);

} // namespace corvane
