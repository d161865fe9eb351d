#pragma once
// Whether any microphone (input-capable audio device) is recording, and which. Event-driven
// where the sound server sends events; a source without events is polled on the shared
// sampler thread (on the main thread while nothing is shown). Never paused.
#include "monitors/DeviceWatch.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/AudioDevices.h"

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace corvane {

class MicrophoneMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(bool isMicrophoneOn READ isMicrophoneOn NOTIFY isMicrophoneOnChanged)
    Q_PROPERTY(QStringList activeMicNames READ activeMicNames NOTIFY activeMicNamesChanged)
public:
    using Snapshot = DeviceUseSnapshot;

    explicit MicrophoneMonitor(QObject *parent = nullptr);
    // The first rebuild and evaluation run inside the constructor.
    explicit MicrophoneMonitor(std::unique_ptr<AudioDevices> platform, QObject *parent = nullptr);
    ~MicrophoneMonitor() override;

    bool isMicrophoneOn() const { return m_isMicrophoneOn; }
    const QStringList &activeMicNames() const { return m_activeMicNames; }
    // The input-capable devices that carry a running-state listener, in list order.
    QStringList devices() const;

    // Re-reads the device list and re-registers the per-device listeners, then evaluates.
    Snapshot refreshDevices();
    // Reads the running flag and name of every watched device.
    Snapshot updateActiveMics();
    void publish(const Snapshot &s);
    // Only for a source that has to be polled.
    SamplerScheduler *poller() const { return m_poller.get(); }
    // Moves the polls to the main thread (true) or back to the sampler thread.
    void tickOnMainThread(bool on);
    // Paused: its quick reads tick on the main thread, which then wakes once a second in all.
    void setPaused(bool paused) override { tickOnMainThread(paused); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void isMicrophoneOnChanged();
    void activeMicNamesChanged();

private:
    std::unique_ptr<AudioDevices> m_platform;
    std::unique_ptr<DeviceWatch<AudioDevices>> m_watch;
    std::unique_ptr<SamplerScheduler> m_poller;
    bool m_isMicrophoneOn = false;
    QStringList m_activeMicNames;
};

} // namespace corvane
