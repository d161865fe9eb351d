#pragma once
// Whether any microphone (input-capable audio device) is recording, and which. Event-driven
// where the sound server sends events; a source without events is polled on the
// listener's own scheduler. Never paused.
#include "monitors/SamplerScheduler.h"
#include "platform/AudioDevices.h"

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

class MicrophoneMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(bool isMicrophoneOn READ isMicrophoneOn NOTIFY isMicrophoneOnChanged)
    Q_PROPERTY(QStringList activeMicNames READ activeMicNames NOTIFY activeMicNamesChanged)
public:
    struct Snapshot {
        bool any = false;
        QStringList names;
    };

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

signals:
    void isMicrophoneOnChanged();
    void activeMicNamesChanged();

private:
    Snapshot rebuildLocked();
    Snapshot evaluateLocked();

    std::unique_ptr<AudioDevices> m_platform;
    std::unique_ptr<SamplerScheduler> m_poller;
    // Listener callbacks arrive on the platform's thread; the bookkeeping is shared with
    // the constructor's first rebuild.
    mutable std::mutex m_mutex;
    std::vector<std::pair<QString, int>> m_devices; // device, listener token
    bool m_isMicrophoneOn = false;
    QStringList m_activeMicNames;
};

} // namespace corvane
