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
        QMutexLocker l(&mutex);
        lastThread = QThread::currentThread()->objectName();
        return reading;
    }
    int locationAuthorizationStatus() const override { return status.load(); }
    void set(std::optional<WiFiInterfaceReading> r)
    {
        QMutexLocker l(&mutex);
        reading = std::move(r);
    }
    QMutex mutex;
    std::optional<WiFiInterfaceReading> reading;
    QString lastThread;
    std::atomic<int> status{kAuthorizedAlways};
};

} // namespace corvane::test
