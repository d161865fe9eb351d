#pragma once
#include "platform/PowerSources.h"

#include <QMutex>

namespace corvane::test {

class FakePowerSources final : public PowerSources {
public:
    std::optional<QList<PowerSourceDescription>> powerSources() override
    {
        QMutexLocker l(&m_mutex);
        return sources;
    }
    std::optional<SmartBatteryReading> smartBattery() override
    {
        QMutexLocker l(&m_mutex);
        return battery;
    }
    std::optional<AdapterDetails> adapterDetails() override
    {
        QMutexLocker l(&m_mutex);
        return adapter;
    }

    // Set these before the monitor samples (or while it is stopped).
    std::optional<QList<PowerSourceDescription>> sources;
    std::optional<SmartBatteryReading> battery;
    std::optional<AdapterDetails> adapter;

private:
    QMutex m_mutex;
};

} // namespace corvane::test
