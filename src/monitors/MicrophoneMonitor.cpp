#include "monitors/MicrophoneMonitor.h"
#include "monitors/Publish.h"

namespace corvane {

MicrophoneMonitor::MicrophoneMonitor(QObject *parent) : MicrophoneMonitor(makeLinuxAudioDevices(), parent) {}

MicrophoneMonitor::MicrophoneMonitor(std::unique_ptr<AudioDevices> platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform))
{
    // Listener work runs on the listener thread; only the snapshot is handed to the main
    // thread. Output-only devices and those whose layout cannot be read are not watched.
    AudioDevices *devices = m_platform.get();
    m_watch = std::make_unique<DeviceWatch<AudioDevices>>(
        *m_platform, QStringLiteral("Unknown mic"), [this](Snapshot s) { handOver(this, std::move(s)); },
        [devices](const QString &device) { return devices->hasInputChannels(device).value_or(false); });
    m_platform->setDeviceListListener([watch = m_watch.get()] { watch->deviceListChanged(); });
    publish(refreshDevices());
    if (const std::optional<double> interval = m_platform->pollInterval()) {
        // No change events from this source: it is polled, with the other quick procfs
        // readers, on whole seconds, so the poll shares their wake-up.
        AudioDevices *platform = m_platform.get();
        m_poller = std::make_unique<SamplerScheduler>(
            QStringLiteral("corvane.mic-listener"), Cadence::alignedTo(*interval), [platform] { platform->poll(); },
            SamplerScheduler::Placement::SharedThread);
        m_poller->start();
    }
}

MicrophoneMonitor::~MicrophoneMonitor()
{
    m_poller.reset(); // joins the polling thread
    m_platform.reset(); // stops the listener thread before the rest goes
}

void MicrophoneMonitor::tickOnMainThread(bool on)
{
    if (m_poller)
        m_poller->tickOnCreatingThread(on);
}

QStringList MicrophoneMonitor::devices() const { return m_watch->devices(); }
MicrophoneMonitor::Snapshot MicrophoneMonitor::refreshDevices() { return m_watch->rebuild(); }
MicrophoneMonitor::Snapshot MicrophoneMonitor::updateActiveMics() { return m_watch->evaluate(); }

void MicrophoneMonitor::publish(const Snapshot &s)
{
    ChangeSet changes;
    changes.set(this, m_isMicrophoneOn, s.any, &MicrophoneMonitor::isMicrophoneOnChanged);
    changes.set(this, m_activeMicNames, s.names, &MicrophoneMonitor::activeMicNamesChanged);
    changes.emitAll();
    emit updated();
}

} // namespace corvane
