#pragma once
#include "platform/GpuStats.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

namespace corvane::test {

// Figures the test sets; the sampler thread reads them.
class FakeGpuStats final : public GpuStats {
public:
    struct Figures {
        std::optional<GpuDeviceInfo> device;
        std::optional<uint64_t> usedBytes;
        std::optional<std::vector<GpuAcceleratorReading>> accelerators;
    };
    // Shared so a test can change the figures after handing the fake to a monitor.
    struct Shared {
        std::mutex lock;
        Figures figures;
        std::atomic<int> reads{0};
        QString lastThread;
        std::atomic<bool> mayBlock{true};
    };

    explicit FakeGpuStats(std::shared_ptr<Shared> s) : m_s(std::move(s)) {}

    std::optional<GpuDeviceInfo> defaultDevice() override
    {
        std::lock_guard l(m_s->lock);
        return m_s->figures.device;
    }
    std::optional<uint64_t> defaultDeviceUsedBytes() override
    {
        std::lock_guard l(m_s->lock);
        return m_s->figures.usedBytes;
    }
    std::optional<std::vector<GpuAcceleratorReading>> accelerators() override
    {
        std::lock_guard l(m_s->lock);
        ++m_s->reads;
        m_s->lastThread = QThread::currentThread()->objectName();
        return m_s->figures.accelerators;
    }
    bool readsMayBlock() override { return m_s->mayBlock; }

private:
    std::shared_ptr<Shared> m_s;
};

inline GpuAcceleratorReading accel(std::vector<int64_t> pcts) { return GpuAcceleratorReading{std::move(pcts)}; }

} // namespace corvane::test
