#pragma once
#include "platform/UsbRegistry.h"

#include <QMutex>
#include <QThread>

namespace corvane::test {

// Returns whatever the test sets; records the thread that asked.
class FakeUsbRegistry final : public UsbRegistry {
public:
    std::optional<QList<UsbDeviceProperties>> devices() override
    {
        QMutexLocker l(&m_mutex);
        m_lastThread = QThread::currentThread()->objectName();
        return m_devices;
    }
    void set(std::optional<QList<UsbDeviceProperties>> d)
    {
        QMutexLocker l(&m_mutex);
        m_devices = std::move(d);
    }
    QString lastThread() const
    {
        QMutexLocker l(&m_mutex);
        return m_lastThread;
    }

private:
    mutable QMutex m_mutex;
    std::optional<QList<UsbDeviceProperties>> m_devices = QList<UsbDeviceProperties>{};
    QString m_lastThread;
};

} // namespace corvane::test
