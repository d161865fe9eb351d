#pragma once
// The sampler shared by the camera and microphone monitors: one running-state listener per
// watched device, re-registered on every rebuild, and an evaluation of which devices are in
// use. Listener callbacks arrive on the platform's thread while the owner's constructor may
// be rebuilding, so everything here runs under one lock. Evaluations made on the listener
// thread go to `deliver`; the monitor itself is never touched there.
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace corvane {

struct DeviceUseSnapshot {
    bool any = false;
    QStringList names;
};

// Platform: deviceList(), addRunningListener(device, fn) -> token,
// removeRunningListener(device, token), isRunningSomewhere(device), name(device); and
// runningStates(devices) where one look answers for all.
template <class Platform>
class DeviceWatch {
public:
    using Snapshot = DeviceUseSnapshot;
    using Deliver = std::function<void(Snapshot)>;
    // `deliver` receives, on the platform's thread, the evaluation that follows a watched
    // device starting or stopping, and the one that follows a device-list change;
    // `watches` decides which listed devices get a listener.
    DeviceWatch(Platform &platform, QString unknownName, Deliver deliver,
                std::function<bool(const QString &)> watches = {})
        : m_platform(platform), m_unknownName(std::move(unknownName)), m_deliver(std::move(deliver)),
          m_watches(std::move(watches))
    {
    }

    // The platform's device-list listener.
    void deviceListChanged() { m_deliver(rebuild()); }

    QStringList devices() const
    {
        std::lock_guard lock(m_mutex);
        QStringList out;
        for (const auto &d : m_devices)
            out.append(d.first);
        return out;
    }

    // Re-reads the device list and re-registers the listeners, then evaluates.
    Snapshot rebuild()
    {
        std::lock_guard lock(m_mutex);
        // Drop every listener first so repeated rebuilds never stack them.
        for (const auto &[device, token] : m_devices)
            m_platform.removeRunningListener(device, token);
        m_devices.clear();
        if (const std::optional<QStringList> list = m_platform.deviceList()) {
            for (const QString &device : *list) {
                if (m_watches && !m_watches(device))
                    continue;
                m_devices.emplace_back(device, m_platform.addRunningListener(device, [this] { m_deliver(evaluate()); }));
            }
        }
        return evaluateLocked();
    }

    // Reads the running flag and name of every watched device.
    Snapshot evaluate()
    {
        std::lock_guard lock(m_mutex);
        return evaluateLocked();
    }

private:
    Snapshot evaluateLocked()
    {
        Snapshot s;
        QList<std::optional<bool>> states;
        if constexpr (requires { m_platform.runningStates(QStringList()); }) {
            QStringList names;
            for (const auto &d : m_devices)
                names.append(d.first);
            states = m_platform.runningStates(names);
        } else {
            for (const auto &d : m_devices)
                states.append(m_platform.isRunningSomewhere(d.first));
        }
        for (qsizetype i = 0; i < qsizetype(m_devices.size()); ++i) {
            const auto &d = m_devices[size_t(i)];
            const std::optional<bool> running = i < states.size() ? states[i] : std::nullopt;
            if (!running || !*running)
                continue;
            s.any = true;
            const std::optional<QString> name = m_platform.name(d.first);
            s.names.append(name && !name->isEmpty() ? *name : m_unknownName);
        }
        return s;
    }

    Platform &m_platform;
    QString m_unknownName;
    Deliver m_deliver;
    std::function<bool(const QString &)> m_watches;
    mutable std::mutex m_mutex;
    std::vector<std::pair<QString, int>> m_devices; // device, listener token
};

} // namespace corvane
