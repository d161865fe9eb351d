#pragma once
#include "platform/WiFiLink.h"

#include <QMutex>
#include <QThread>

#include <atomic>

namespace corvane::test {

class FakeWiFiLink final : public WiFiLink {
public:
    std::optional<WiFiInterfaceReading> currentInterface() override
    {
        QMutexLocker l(&m_mutex);
        m_lastThread = QThread::currentThread()->objectName();
        ++m_calls;
        return m_reading;
    }
    int locationAuthorizationStatus() const override { return status.load(); }

    void set(std::optional<WiFiInterfaceReading> r)
    {
        QMutexLocker l(&m_mutex);
        m_reading = std::move(r);
    }
    QString lastThread() const
    {
        QMutexLocker l(&m_mutex);
        return m_lastThread;
    }
    int calls() const
    {
        QMutexLocker l(&m_mutex);
        return m_calls;
    }

    std::atomic<int> status{kAuthorizedAlways};

private:
    mutable QMutex m_mutex;
    std::optional<WiFiInterfaceReading> m_reading;
    QString m_lastThread;
    int m_calls = 0;
};

} // namespace corvane::test
