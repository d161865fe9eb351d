#pragma once
#include "platform/UsbRegistry.h"

#include <QMutex>
#include <QThread>

namespace corvane::test {

// Returns what the test sets; records the thread that asked.
class FakeUsbRegistry final : public UsbRegistry {
public:
    std::optional<QList<UsbDeviceProperties>> devices() override
    {
        QMutexLocker l(&mutex);
        lastThread = QThread::currentThread()->objectName();
        return list;
    }
    void set(std::optional<QList<UsbDeviceProperties>> d)
    {
        QMutexLocker l(&mutex);
        list = std::move(d);
    }
    QMutex mutex;
    std::optional<QList<UsbDeviceProperties>> list = QList<UsbDeviceProperties>{};
    QString lastThread;
};

} // namespace corvane::test
