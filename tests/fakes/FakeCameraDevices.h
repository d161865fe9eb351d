#pragma once
#include "platform/AudioDevices.h"
#include "platform/CameraDevices.h"

#include <QMap>

#include <map>
#include <mutex>

namespace corvane::test {

// A device registry driven by the test: which devices exist, which run, their names,
// and the listeners the monitor keeps on each.
template <class Base>
class FakeDeviceRegistry : public Base {
public:
    using Listener = typename Base::Listener;

    std::optional<QStringList> list = QStringList();
    QMap<QString, bool> running; // missing: unreadable
    QMap<QString, QString> names; // missing: no name

    void setDeviceListListener(Listener l) override { m_listListener = std::move(l); }
    std::optional<QStringList> deviceList() override { return list; }
    int addRunningListener(const QString &device, Listener l) override
    {
        std::lock_guard lock(m_mutex);
        m_listeners.emplace(m_next, std::make_pair(device, std::move(l)));
        return m_next++;
    }
    void removeRunningListener(const QString &, int token) override
    {
        std::lock_guard lock(m_mutex);
        m_listeners.erase(token);
    }
    std::optional<bool> isRunningSomewhere(const QString &d) override
    {
        if (!running.contains(d))
            return std::nullopt;
        return running.value(d);
    }
    std::optional<QString> name(const QString &d) override
    {
        if (!names.contains(d))
            return std::nullopt;
        return names.value(d);
    }

    // What the platform would do on a device-list change / a running-state change.
    void fireDeviceList() { m_listListener(); }
    void fireRunning(const QString &device)
    {
        std::vector<Listener> ls;
        {
            std::lock_guard lock(m_mutex);
            for (const auto &[t, e] : m_listeners)
                if (e.first == device)
                    ls.push_back(e.second);
        }
        for (auto &l : ls)
            l();
    }
    int listenersOn(const QString &device) const
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto &[t, e] : m_listeners)
            n += e.first == device;
        return n;
    }
    int listenerCount() const
    {
        std::lock_guard lock(m_mutex);
        return int(m_listeners.size());
    }

private:
    Listener m_listListener;
    mutable std::mutex m_mutex;
    std::map<int, std::pair<QString, Listener>> m_listeners;
    int m_next = 1;
};

using FakeCameraDevices = FakeDeviceRegistry<CameraDevices>;

} // namespace corvane::test
