#include "monitors/CameraMonitor.h"

namespace corvane {

CameraMonitor::CameraMonitor(QObject *parent) : CameraMonitor(makeLinuxCameraDevices(), parent) {}

CameraMonitor::CameraMonitor(std::unique_ptr<CameraDevices> platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform))
{
    // Listener work runs on the listener thread (reading /proc can take milliseconds);
    // only the publication is handed to the main thread.
    m_watch = std::make_unique<DeviceWatch<CameraDevices>>(*m_platform, QStringLiteral("Unknown camera"), [this] {
        const Snapshot s = evaluate();
        QMetaObject::invokeMethod(this, [this, s] { publish(s); }, Qt::QueuedConnection);
    });
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

QStringList CameraMonitor::devices() const { return m_watch->devices(); }
CameraMonitor::Snapshot CameraMonitor::rebuildDevices() { return m_watch->rebuild(); }
CameraMonitor::Snapshot CameraMonitor::evaluate() { return m_watch->evaluate(); }

void CameraMonitor::publish(const Snapshot &s)
{
    // Every evaluation assigns both fields, the flag first: a subscriber reacting to the
    // flag still sees the previous names.
    m_isCameraOn = s.any;
    emit isCameraOnChanged();
    m_activeCameraNames = s.names;
    emit activeCameraNamesChanged();
    emit updated();
}

} // namespace corvane
