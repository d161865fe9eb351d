#pragma once
// The cameras of the machine, whether some process uses each, and change listeners.
// Listeners run on the backend's own listener thread, never while it holds a lock of its
// own, so a listener may call back into the backend.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class CameraDevices {
public:
    using Listener = std::function<void()>;
    virtual ~CameraDevices() = default;

    // Called whenever a camera appears or goes away. Set once, before anything else.
    virtual void setDeviceListListener(Listener listener) = 0;
    // Device identifiers in a stable order; nullopt when the list cannot be read.
    virtual std::optional<QStringList> deviceList() = 0;
    // Called when the use of `device` may have changed. Returns a token for removal.
    virtual int addRunningListener(const QString &device, Listener listener) = 0;
    // Removes exactly the listener registered under `token`.
    virtual void removeRunningListener(const QString &device, int token) = 0;
    // True when a process other than ours holds the device; nullopt when unreadable.
    virtual std::optional<bool> isRunningSomewhere(const QString &device) = 0;
    // The same for several devices at once, in their order (one look at who holds what).
    virtual QList<std::optional<bool>> runningStates(const QStringList &devices)
    {
        QList<std::optional<bool>> out;
        for (const QString &d : devices)
            out.append(isRunningSomewhere(d));
        return out;
    }
    // The device's display name; nullopt or empty when it has none.
    virtual std::optional<QString> name(const QString &device) = 0;
};

// /dev/video* nodes named from <sysRoot>/class/video4linux/*/name; open/close seen through
// inotify (no polling) on a thread named "corvane.camera-listener"; users found by
// scanning <procRoot>/*/fd, once for all devices.
std::unique_ptr<CameraDevices> makeLinuxCameraDevices(const QString &devRoot = QStringLiteral("/dev"),
                                                      const QString &sysRoot = QStringLiteral("/sys"),
                                                      const QString &procRoot = QStringLiteral("/proc"));

} // namespace corvane
