#pragma once
// Disk read/write rates over all drives, the first drive's name and the home volume's
// capacity, once a second.
#include "monitors/MetricHistory.h"
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/BlockStorage.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

struct StorageSnapshot {
    struct Rates {
        uint64_t read = 0;
        uint64_t write = 0;
    };
    std::optional<Rates> rates; // absent on the first tick: no baseline yet
    std::optional<QString> driveName; // absent when the drives could not be listed

    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    // The source's reads cannot hang: the ticks may share the other samplers' wake-up.
    bool quickReads = false;
};

// The sampling side: the storage source and the last tick's counters. Sampler thread only.
class StorageSampler {
public:
    struct DiskStatistics {
        uint64_t read = 0;
        uint64_t written = 0;
        QString name = QStringLiteral("—");
    };
    struct Capacity {
        uint64_t total = 0;
        uint64_t free = 0;
    };

    StorageSampler(std::unique_ptr<BlockStorage> source, const Clock &clock)
        : m_source(std::move(source)), m_clock(clock)
    {
    }
    // A failed or empty drive listing keeps the baseline and publishes only the capacity.
    StorageSnapshot sample();

    // Sums the drives' counters; the name is the first drive's that has one.
    static DiskStatistics sumDrives(const QList<DriveCounters> &drives);
    // Free space: the figure for important usage when non-zero, else the plain available one.
    static Capacity capacityOf(const VolumeCapacity &v);

private:
    std::unique_ptr<BlockStorage> m_source;
    const Clock &m_clock;
    // Baseline: kept across pauses, so the first rate after one spans the pause.
    uint64_t m_lastRead = 0, m_lastWrite = 0, m_lastTimestampNs = 0;
};

class StorageMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(quint64 readBytesPerSec READ readBytesPerSec NOTIFY readBytesPerSecChanged)
    Q_PROPERTY(quint64 writeBytesPerSec READ writeBytesPerSec NOTIFY writeBytesPerSecChanged)
    Q_PROPERTY(quint64 totalCapacityBytes READ totalCapacityBytes NOTIFY totalCapacityBytesChanged)
    Q_PROPERTY(quint64 freeCapacityBytes READ freeCapacityBytes NOTIFY freeCapacityBytesChanged)
    Q_PROPERTY(QString driveName READ driveName NOTIFY driveNameChanged)
    Q_PROPERTY(corvane::MetricHistory *readHistory READ readHistory CONSTANT)
    Q_PROPERTY(corvane::MetricHistory *writeHistory READ writeHistory CONSTANT)
public:
    using Snapshot = StorageSnapshot;

    explicit StorageMonitor(QObject *parent = nullptr);
    StorageMonitor(std::unique_ptr<BlockStorage> source, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~StorageMonitor() override;

    void start();
    // Seconds between samples (1: on every whole second of the wall clock).
    void setInterval(double seconds);
    double interval() const { return m_interval; }
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }

    quint64 readBytesPerSec() const { return m_read; }
    quint64 writeBytesPerSec() const { return m_write; }
    quint64 totalCapacityBytes() const { return m_total; }
    quint64 freeCapacityBytes() const { return m_free; }
    QString driveName() const { return m_driveName; }
    MetricHistory *readHistory() const { return m_readHistory; }
    MetricHistory *writeHistory() const { return m_writeHistory; }

    // Applies one tick on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);
    // The sampler thread's; tests drive it by hand while the monitor is not started.
    StorageSampler &sampler() const { return *m_sampler; }
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void readBytesPerSecChanged();
    void writeBytesPerSecChanged();
    void totalCapacityBytesChanged();
    void freeCapacityBytesChanged();
    void driveNameChanged();

private:
    std::unique_ptr<StorageSampler> m_sampler;
    quint64 m_read = 0, m_write = 0, m_total = 0, m_free = 0;
    QString m_driveName = QStringLiteral("—");
    MetricHistory *m_readHistory;
    MetricHistory *m_writeHistory;
    std::unique_ptr<SamplerScheduler> m_scheduler;
    double m_interval = 1.0;
};

} // namespace corvane
