#pragma once
// Whether any camera is in use by any process, and which. Event-driven: re-evaluates when
// the platform reports a device opened or closed, rebuilds when cameras come and go.
// Never paused.
#include "platform/CameraDevices.h"

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

class CameraMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(bool isCameraOn READ isCameraOn NOTIFY isCameraOnChanged)
    Q_PROPERTY(QStringList activeCameraNames READ activeCameraNames NOTIFY activeCameraNamesChanged)
public:
    struct Snapshot {
        bool any = false;
        QStringList names;
    };

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
    void isCameraOnChanged();
    void activeCameraNamesChanged();

private:
    Snapshot rebuildLocked();
    Snapshot evaluateLocked();

    std::unique_ptr<CameraDevices> m_platform;
    // Listener callbacks arrive on the platform's thread; the bookkeeping is shared with
    // the constructor's first rebuild.
    mutable std::mutex m_mutex;
    std::vector<std::pair<QString, int>> m_devices; // device, listener token
    bool m_isCameraOn = false;
    QStringList m_activeCameraNames;
};

} // namespace corvane
