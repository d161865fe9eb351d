#include "monitors/CameraMonitor.h"
#include "monitors/Publish.h"

namespace corvane {

CameraMonitor::CameraMonitor(QObject *parent) : CameraMonitor(makeLinuxCameraDevices(), parent) {}

CameraMonitor::CameraMonitor(std::unique_ptr<CameraDevices> platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform))
{
    // Listener work runs on the listener thread (reading /proc can take milliseconds);
    // only the snapshot is handed to the main thread.
    m_watch = std::make_unique<DeviceWatch<CameraDevices>>(*m_platform, QStringLiteral("Unknown camera"),
                                                           [this](Snapshot s) { handOver(this, std::move(s)); });
    m_platform->setDeviceListListener([watch = m_watch.get()] { watch->deviceListChanged(); });
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
    ChangeSet changes;
    changes.set(this, m_isCameraOn, s.any, &CameraMonitor::isCameraOnChanged);
    changes.set(this, m_activeCameraNames, s.names, &CameraMonitor::activeCameraNamesChanged);
    changes.emitAll();
    emit updated();
}

} // namespace corvane
