#include "monitors/MicrophoneMonitor.h"

namespace corvane {

MicrophoneMonitor::MicrophoneMonitor(QObject *parent) : MicrophoneMonitor(makeLinuxAudioDevices(), parent) {}

MicrophoneMonitor::MicrophoneMonitor(std::unique_ptr<AudioDevices> platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform))
{
    // Listener work runs on the listener thread; only the publication is handed to the
    // main thread.
    m_platform->setDeviceListListener([this] {
        const Snapshot s = refreshDevices();
        QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
    });
    publish(refreshDevices());
    if (const std::optional<double> interval = m_platform->pollInterval()) {
        // No change events from this source: the listener thread polls it instead.
        AudioDevices *platform = m_platform.get();
        m_poller = std::make_unique<SamplerScheduler>(
            QStringLiteral("corvane.mic-listener"), Cadence::offsetThenEvery(*interval, *interval),
            [platform] { platform->poll(); });
        m_poller->start();
    }
}

MicrophoneMonitor::~MicrophoneMonitor()
{
    m_poller.reset(); // joins the polling thread
    m_platform.reset(); // stops the listener thread before the rest goes
}

QStringList MicrophoneMonitor::devices() const
{
    std::lock_guard lock(m_mutex);
    QStringList out;
    for (const auto &d : m_devices)
        out.append(d.first);
    return out;
}

MicrophoneMonitor::Snapshot MicrophoneMonitor::refreshDevices()
{
    std::lock_guard lock(m_mutex);
    return rebuildLocked();
}

MicrophoneMonitor::Snapshot MicrophoneMonitor::updateActiveMics()
{
    std::lock_guard lock(m_mutex);
    return evaluateLocked();
}

MicrophoneMonitor::Snapshot MicrophoneMonitor::rebuildLocked()
{
    // Drop every listener first so repeated rebuilds never stack them.
    for (const auto &[device, token] : m_devices)
        m_platform->removeRunningListener(device, token);
    m_devices.clear();
    const std::optional<QStringList> list = m_platform->deviceList();
    if (!list)
        return evaluateLocked();
    for (const QString &device : *list) {
        // Output-only devices and those whose layout cannot be read are not watched.
        if (m_platform->hasInputChannels(device).value_or(false) == false)
            continue;
        const int token = m_platform->addRunningListener(device, [this] {
            const Snapshot s = updateActiveMics();
            QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
        });
        m_devices.emplace_back(device, token);
    }
    return evaluateLocked();
}

MicrophoneMonitor::Snapshot MicrophoneMonitor::evaluateLocked()
{
    Snapshot s;
    for (const auto &d : m_devices) {
        const std::optional<bool> running = m_platform->isRunningSomewhere(d.first);
        if (!running || !*running)
            continue;
        s.any = true;
        const std::optional<QString> name = m_platform->name(d.first);
        s.names.append(name && !name->isEmpty() ? *name : QStringLiteral("Unknown mic"));
    }
    return s;
}

void MicrophoneMonitor::publish(const Snapshot &s)
{
    // Every evaluation assigns both fields, the flag first: a subscriber reacting to the
    // flag still sees the previous names.
    m_isMicrophoneOn = s.any;
    emit isMicrophoneOnChanged();
    m_activeMicNames = s.names;
    emit activeMicNamesChanged();
}

} // namespace corvane
