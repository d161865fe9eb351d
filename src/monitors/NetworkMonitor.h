#pragma once
// Download and upload rates, totals and the busiest interface, once a second.
#include "monitors/MetricHistory.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/NetworkCounters.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

struct NetworkSnapshot {
    struct Rates {
        uint64_t down = 0;
        uint64_t up = 0;
    };
    std::optional<Rates> rates; // absent on the first tick: no baseline yet
    uint64_t received = 0;
    uint64_t sent = 0;
    QString primary = QStringLiteral("—");
};

// The sampling side: the counters source and the last tick's totals. Sampler thread only.
class NetworkSampler {
public:
    struct Totals {
        uint64_t received = 0;
        uint64_t sent = 0;
        QString primary = QStringLiteral("—");
    };

    NetworkSampler(std::unique_ptr<NetworkCounters> source, const Clock &clock)
        : m_source(std::move(source)), m_clock(clock)
    {
    }
    // Nothing when the interfaces cannot be listed or none are: the baseline stays as it was.
    std::optional<NetworkSnapshot> sample();

    // Sums the counted interfaces (physical ones only: loopback, tunnels, bridges, veth and
    // peer-to-peer links are left out). The primary one is the one carrying the default
    // route, else the one with the most traffic; ties go to the first listed.
    static Totals sumInterfaceCounters(const QList<InterfaceCounters> &list);

private:
    std::unique_ptr<NetworkCounters> m_source;
    const Clock &m_clock;
    // Baseline: kept across pauses, so the first rate after one spans the pause.
    uint64_t m_lastIn = 0, m_lastOut = 0, m_lastTimestampNs = 0;
};

class NetworkMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(quint64 downloadBytesPerSec READ downloadBytesPerSec NOTIFY downloadBytesPerSecChanged)
    Q_PROPERTY(quint64 uploadBytesPerSec READ uploadBytesPerSec NOTIFY uploadBytesPerSecChanged)
    Q_PROPERTY(quint64 totalDownloadedBytes READ totalDownloadedBytes NOTIFY totalDownloadedBytesChanged)
    Q_PROPERTY(quint64 totalUploadedBytes READ totalUploadedBytes NOTIFY totalUploadedBytesChanged)
    Q_PROPERTY(QString primaryInterface READ primaryInterface NOTIFY primaryInterfaceChanged)
    Q_PROPERTY(corvane::MetricHistory *downHistory READ downHistory CONSTANT)
    Q_PROPERTY(corvane::MetricHistory *upHistory READ upHistory CONSTANT)
public:
    using Snapshot = NetworkSnapshot;

    explicit NetworkMonitor(QObject *parent = nullptr);
    NetworkMonitor(std::unique_ptr<NetworkCounters> source, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~NetworkMonitor() override;

    void start();
    // Seconds between samples (1: on every whole second of the wall clock).
    void setInterval(double seconds);
    double interval() const { return m_interval; }
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }

    quint64 downloadBytesPerSec() const { return m_down; }
    quint64 uploadBytesPerSec() const { return m_up; }
    quint64 totalDownloadedBytes() const { return m_totalDown; }
    quint64 totalUploadedBytes() const { return m_totalUp; }
    QString primaryInterface() const { return m_primary; }
    MetricHistory *downHistory() const { return m_downHistory; }
    MetricHistory *upHistory() const { return m_upHistory; }

    // Applies one tick on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);
    void publish(const std::optional<Snapshot> &s)
    {
        if (s)
            publish(*s);
    }
    // The sampler thread's; tests drive it by hand while the monitor is not started.
    NetworkSampler &sampler() const { return *m_sampler; }
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void downloadBytesPerSecChanged();
    void uploadBytesPerSecChanged();
    void totalDownloadedBytesChanged();
    void totalUploadedBytesChanged();
    void primaryInterfaceChanged();

private:
    std::unique_ptr<NetworkSampler> m_sampler;
    quint64 m_down = 0, m_up = 0, m_totalDown = 0, m_totalUp = 0;
    QString m_primary = QStringLiteral("—");
    MetricHistory *m_downHistory;
    MetricHistory *m_upHistory;
    std::unique_ptr<SamplerScheduler> m_scheduler;
    double m_interval = 1.0;
};

} // namespace corvane
