#pragma once
// GPU utilisation (the busiest accelerator), the default device's memory and name, once a
// second at the top of the second, with a 90-sample utilisation history.
#include "monitors/MetricHistory.h"
#include "monitors/SamplerScheduler.h"
#include "platform/GpuStats.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <memory>
#include <optional>

namespace corvane {

class GPUMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState or a screen")
    Q_PROPERTY(double utilization READ utilization NOTIFY utilizationChanged)
    Q_PROPERTY(quint64 vramUsedBytes READ vramUsedBytes NOTIFY vramUsedBytesChanged)
    Q_PROPERTY(quint64 vramRecommendedMaxBytes READ vramRecommendedMaxBytes NOTIFY vramRecommendedMaxBytesChanged)
    Q_PROPERTY(QString gpuName READ gpuName NOTIFY gpuNameChanged)
    Q_PROPERTY(corvane::MetricHistory *history READ history CONSTANT)
public:
    struct Snapshot {
        // The default device, read once on the first tick (absent afterwards).
        std::optional<std::optional<GpuDeviceInfo>> device;
        bool hasDevice = false;
        std::optional<uint64_t> usedBytes;
        std::optional<double> utilization;
    };

    explicit GPUMonitor(QObject *parent = nullptr);
    GPUMonitor(std::unique_ptr<GpuStats> stats, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~GPUMonitor() override;

    // Samples at once (on the sampler thread), then at every whole second.
    void start();
    // Pauses the ticks; the figures keep their last values.
    void stop();
    bool isRunning() const { return m_scheduler->isActive(); }

    double utilization() const { return m_utilization; }
    quint64 vramUsedBytes() const { return m_vramUsedBytes; }
    quint64 vramRecommendedMaxBytes() const { return m_vramRecommendedMaxBytes; }
    QString gpuName() const { return m_gpuName; }
    MetricHistory *history() const { return m_history; }

    // One tick's reading (sampler thread).
    Snapshot sample();
    // The main-thread part of a tick.
    void publish(const Snapshot &s);

    // The highest utilisation any accelerator reports, as a fraction; nullopt when none reports one.
    static std::optional<double> readUtilization(const std::optional<std::vector<GpuAcceleratorReading>> &accelerators);

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void utilizationChanged();
    void vramUsedBytesChanged();
    void vramRecommendedMaxBytesChanged();
    void gpuNameChanged();

private:
    std::unique_ptr<GpuStats> m_stats;
    // Sampler-thread state.
    bool m_deviceRead = false;
    bool m_hasDevice = false;
    // Set by start(): the next tick is the immediate one, after which the whole-second cadence takes over.
    std::atomic<bool> m_immediatePending{false};
    std::atomic<quint64> m_startGeneration{0};

    double m_utilization = 0;
    quint64 m_vramUsedBytes = 0;
    quint64 m_vramRecommendedMaxBytes = 0;
    QString m_gpuName = QStringLiteral("—");
    MetricHistory *m_history;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
