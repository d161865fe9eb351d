#pragma once
// CPU load, memory use and uptime, once a second at the top of the second. Never paused.
#include "monitors/MetricHistory.h"
#include "monitors/SamplerScheduler.h"
#include "platform/HostStats.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

class SystemMonitor : public QObject {
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
    // Per-tick state, touched only on the sampler thread.
    struct State {
        std::optional<CpuLoadInfo> prev;
    };
    struct Snapshot {
        std::optional<double> cpu;
        uint64_t usedBytes = 0;
        uint64_t totalBytes = 0;
        double uptime = 0;
    };

    explicit SystemMonitor(QObject *parent = nullptr);
    SystemMonitor(std::unique_ptr<HostStats> host, const Clock &clock, bool autoStart, QObject *parent = nullptr);
    ~SystemMonitor() override;

    void start();

    double cpuUsage() const { return m_cpuUsage; }
    quint64 ramUsedBytes() const { return m_ramUsedBytes; }
    quint64 ramTotalBytes() const { return m_ramTotalBytes; }
    double ramPressure() const { return m_ramPressure; }
    double uptimeSeconds() const { return m_uptimeSeconds; }
    MetricHistory *cpuHistory() const { return m_cpuHistory; }
    MetricHistory *ramHistory() const { return m_ramHistory; }

    // One tick's reading (sampler thread).
    Snapshot sample();
    // The main-thread part of a tick.
    void publish(const Snapshot &s);

    // Busy / total over the tick deltas, modulo 2^32 per counter; 0 when no tick elapsed.
    static double cpuFraction(const CpuLoadInfo &prev, const CpuLoadInfo &now);

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
    std::unique_ptr<HostStats> m_host;
    State m_bgState;
    double m_cpuUsage = 0;
    quint64 m_ramUsedBytes = 0;
    quint64 m_ramTotalBytes = 0;
    double m_ramPressure = 0;
    double m_uptimeSeconds = 0;
    MetricHistory *m_cpuHistory;
    MetricHistory *m_ramHistory;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
