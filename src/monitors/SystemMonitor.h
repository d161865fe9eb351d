#pragma once
// CPU load, memory use and uptime, once a second at the top of the second. Never paused.
// Ticks on the shared sampler thread; while nothing is shown, on the main thread instead,
// which then wakes once a second for the read and its publication together.
#include "monitors/MetricHistory.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/HostStats.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

// One tick's figures, as the sampler read them.
struct SystemSnapshot {
    std::optional<double> cpu; // absent on the first tick and when the reading failed
    uint64_t usedBytes = 0;
    uint64_t totalBytes = 0;
    double uptime = 0;
};

// The sampling side: the host source and the CPU baseline. Used by the sampler thread only.
class SystemSampler {
public:
    struct State {
        std::optional<CpuLoadInfo> prev;
    };
    explicit SystemSampler(std::unique_ptr<HostStats> host) : m_host(std::move(host)) {}
    SystemSnapshot sample();

    // Busy / total over the tick deltas, modulo 2^32 per counter; 0 when no tick elapsed.
    static double cpuFraction(const CpuLoadInfo &prev, const CpuLoadInfo &now);

private:
    std::unique_ptr<HostStats> m_host;
    State m_state;
};

class SystemMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(double cpuUsage READ cpuUsage NOTIFY cpuUsageChanged)
    Q_PROPERTY(quint64 ramUsedBytes READ ramUsedBytes NOTIFY ramUsedBytesChanged)
    Q_PROPERTY(quint64 ramTotalBytes READ ramTotalBytes NOTIFY ramTotalBytesChanged)
    Q_PROPERTY(double ramPressure READ ramPressure NOTIFY ramPressureChanged)
    Q_PROPERTY(double uptimeSeconds READ uptimeSeconds NOTIFY uptimeSecondsChanged)
    Q_PROPERTY(corvane::MetricHistory *cpuHistory READ cpuHistory CONSTANT)
    Q_PROPERTY(corvane::MetricHistory *ramHistory READ ramHistory CONSTANT)
public:
    using Snapshot = SystemSnapshot;

    explicit SystemMonitor(QObject *parent = nullptr);
    SystemMonitor(std::unique_ptr<HostStats> host, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~SystemMonitor() override;

    void start();
    // Seconds between samples (1: on every whole second of the wall clock).
    void setInterval(double seconds);
    double interval() const { return m_interval; }
    // Moves the ticks to the main thread (true) or back to the sampler thread; the CPU
    // baseline carries over.
    void tickOnMainThread(bool on);
    // Paused: its quick reads tick on the main thread, which then wakes once a second in all.
    void setPaused(bool paused) override { tickOnMainThread(paused); }
    bool ticksOnMainThread() const { return m_scheduler->ticksOnCreatingThread(); }

    double cpuUsage() const { return m_cpuUsage; }
    quint64 ramUsedBytes() const { return m_ramUsedBytes; }
    quint64 ramTotalBytes() const { return m_ramTotalBytes; }
    double ramPressure() const { return m_ramPressure; }
    double uptimeSeconds() const { return m_uptimeSeconds; }
    MetricHistory *cpuHistory() const { return m_cpuHistory; }
    MetricHistory *ramHistory() const { return m_ramHistory; }

    // Applies one tick on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);

    // The sampler thread's; tests drive it by hand while the monitor is not started.
    SystemSampler &sampler() const { return *m_sampler; }

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void cpuUsageChanged();
    void ramUsedBytesChanged();
    void ramTotalBytesChanged();
    void ramPressureChanged();
    void uptimeSecondsChanged();

private:
    std::unique_ptr<SystemSampler> m_sampler;
    double m_cpuUsage = 0;
    quint64 m_ramUsedBytes = 0;
    quint64 m_ramTotalBytes = 0;
    double m_ramPressure = 0;
    double m_uptimeSeconds = 0;
    MetricHistory *m_cpuHistory;
    MetricHistory *m_ramHistory;
    std::unique_ptr<SamplerScheduler> m_scheduler;
    double m_interval = 1.0;
};

} // namespace corvane
