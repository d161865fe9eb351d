#pragma once
// Whether any camera is in use by any process, and which. Event-driven: re-evaluates when
// the platform reports a device opened or closed, rebuilds when cameras come and go.
// Never paused.
#include "monitors/DeviceWatch.h"
#include "platform/CameraDevices.h"

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace corvane {

class CameraMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(bool isCameraOn READ isCameraOn NOTIFY isCameraOnChanged)
    Q_PROPERTY(QStringList activeCameraNames READ activeCameraNames NOTIFY activeCameraNamesChanged)
public:
    using Snapshot = DeviceUseSnapshot;

    explicit CameraMonitor(QObject *parent = nullptr);
    // The first rebuild and evaluation run inside the constructor.
    explicit CameraMonitor(std::unique_ptr<CameraDevices> platform, QObject *parent = nullptr);
    ~CameraMonitor() override;

    bool isCameraOn() const { return m_isCameraOn; }
    const QStringList &activeCameraNames() const { return m_activeCameraNames; }
    // The devices that carry a running-state listener, in list order.
    QStringList devices() const;

    // Re-reads the device list and re-registers the per-device listeners, then evaluates.
    Snapshot rebuildDevices();
    // Reads the running flag and name of every watched device.
    Snapshot evaluate();
    void publish(const Snapshot &s);

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void isCameraOnChanged();
    void activeCameraNamesChanged();

private:
    std::unique_ptr<CameraDevices> m_platform;
    std::unique_ptr<DeviceWatch<CameraDevices>> m_watch;
    bool m_isCameraOn = false;
    QStringList m_activeCameraNames;
};

} // namespace corvane
