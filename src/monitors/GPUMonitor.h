#pragma once
// GPU utilisation (the busiest accelerator), the default device's memory and name, once a
// second at the top of the second, with a 90-sample utilisation history.
#include "monitors/MetricHistory.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/GpuStats.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <memory>
#include <optional>

namespace corvane {

struct GPUSnapshot {
    // The default device, read once on the first tick (absent afterwards).
    std::optional<std::optional<GpuDeviceInfo>> device;
    bool hasDevice = false;
    std::optional<uint64_t> usedBytes;
    std::optional<double> utilization;
    // The source's reads cannot hang (nothing to read): the ticks may share the other
    // samplers' wake-up.
    bool quickReads = false;
};

// The sampling side: the GPU statistics source and whether the device was read. Sampler thread only.
class GPUSampler {
public:
    explicit GPUSampler(std::unique_ptr<GpuStats> stats) : m_stats(std::move(stats)) {}
    GPUSnapshot sample();

    // The highest utilisation any accelerator reports, as a fraction; nullopt when none reports one.
    static std::optional<double> readUtilization(const std::optional<std::vector<GpuAcceleratorReading>> &accelerators);

private:
    std::unique_ptr<GpuStats> m_stats;
    bool m_deviceRead = false;
    bool m_hasDevice = false;
};

class GPUMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState or a screen")
    Q_PROPERTY(double utilization READ utilization NOTIFY utilizationChanged)
    // False until an accelerator has reported a utilisation (none on a machine without a GPU,
    // or whose driver gives no figure): the screens show "—" rather than 0 %.
    Q_PROPERTY(bool utilizationKnown READ utilizationKnown NOTIFY utilizationKnownChanged)
    Q_PROPERTY(quint64 vramUsedBytes READ vramUsedBytes NOTIFY vramUsedBytesChanged)
    Q_PROPERTY(quint64 vramRecommendedMaxBytes READ vramRecommendedMaxBytes NOTIFY vramRecommendedMaxBytesChanged)
    Q_PROPERTY(QString gpuName READ gpuName NOTIFY gpuNameChanged)
    Q_PROPERTY(corvane::MetricHistory *history READ history CONSTANT)
public:
    using Snapshot = GPUSnapshot;

    explicit GPUMonitor(QObject *parent = nullptr);
    GPUMonitor(std::unique_ptr<GpuStats> stats, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~GPUMonitor() override;

    // Samples at once (on the sampler thread), then at every whole second.
    void start();
    // Seconds between steady samples (1: on every whole second of the wall clock).
    void setInterval(double seconds);
    double interval() const { return m_interval; }
    // Pauses the ticks; the figures keep their last values.
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }
    bool isRunning() const { return m_scheduler->isActive(); }

    double utilization() const { return m_utilization; }
    bool utilizationKnown() const { return m_utilizationKnown; }
    quint64 vramUsedBytes() const { return m_vramUsedBytes; }
    quint64 vramRecommendedMaxBytes() const { return m_vramRecommendedMaxBytes; }
    QString gpuName() const { return m_gpuName; }
    MetricHistory *history() const { return m_history; }

    // Applies one tick on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);
    // The sampler thread's; tests drive it by hand while the monitor is not started.
    GPUSampler &sampler() const { return *m_sampler; }

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void utilizationChanged();
    void utilizationKnownChanged();
    void vramUsedBytesChanged();
    void vramRecommendedMaxBytesChanged();
    void gpuNameChanged();

private:
    // Shared by start() and the tick: the next tick is the immediate one, after which the
    // whole-second cadence takes over.
    struct StartRequest {
        std::atomic<bool> immediatePending{false};
        std::atomic<quint64> generation{0};
    };

    std::unique_ptr<GPUSampler> m_sampler;
    std::shared_ptr<StartRequest> m_startRequest = std::make_shared<StartRequest>();

    double m_utilization = 0;
    bool m_utilizationKnown = false;
    quint64 m_vramUsedBytes = 0;
    quint64 m_vramRecommendedMaxBytes = 0;
    QString m_gpuName = QStringLiteral("—");
    MetricHistory *m_history;
    std::unique_ptr<SamplerScheduler> m_scheduler;
    double m_interval = 1.0;
};

} // namespace corvane
