#include "monitors/CameraMonitor.h"

namespace corvane {

CameraMonitor::CameraMonitor(QObject *parent) : CameraMonitor(makeLinuxCameraDevices(), parent) {}

CameraMonitor::CameraMonitor(std::unique_ptr<CameraDevices> platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform))
{
    // Listener work runs on the listener thread (reading /proc can take milliseconds);
    // only the publication is handed to the main thread.
    m_platform->setDeviceListListener([this] {
        const Snapshot s = rebuildDevices();
        QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
    });
    publish(rebuildDevices());
}

CameraMonitor::~CameraMonitor()
{
    m_platform.reset(); // stops the listener thread before the rest goes
}

QStringList CameraMonitor::devices() const
{
    std::lock_guard lock(m_mutex);
    QStringList out;
    for (const auto &d : m_devices)
        out.append(d.first);
    return out;
}

CameraMonitor::Snapshot CameraMonitor::rebuildDevices()
{
    std::lock_guard lock(m_mutex);
    return rebuildLocked();
}

CameraMonitor::Snapshot CameraMonitor::evaluate()
{
    std::lock_guard lock(m_mutex);
    return evaluateLocked();
}

CameraMonitor::Snapshot CameraMonitor::rebuildLocked()
{
    // Drop every listener first so repeated rebuilds never stack them.
    for (const auto &[device, token] : m_devices)
        m_platform->removeRunningListener(device, token);
    m_devices.clear();
    const std::optional<QStringList> list = m_platform->deviceList();
    if (!list)
        return evaluateLocked();
    for (const QString &device : *list) {
        const int token = m_platform->addRunningListener(device, [this] {
            const Snapshot s = evaluate();
            QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
        });
        m_devices.emplace_back(device, token);
    }
    return evaluateLocked();
}

CameraMonitor::Snapshot CameraMonitor::evaluateLocked()
{
    Snapshot s;
    for (const auto &d : m_devices) {
        const std::optional<bool> running = m_platform->isRunningSomewhere(d.first);
        if (!running || !*running)
            continue;
        s.any = true;
        const std::optional<QString> name = m_platform->name(d.first);
        s.names.append(name && !name->isEmpty() ? *name : QStringLiteral("Unknown camera"));
    }
    return s;
}

void CameraMonitor::publish(const Snapshot &s)
{
    // Every evaluation assigns both fields, the flag first: a subscriber reacting to the
    // flag still sees the previous names.
    m_isCameraOn = s.any;
    emit isCameraOnChanged();
    m_activeCameraNames = s.names;
    emit activeCameraNamesChanged();
}

} // namespace corvane
