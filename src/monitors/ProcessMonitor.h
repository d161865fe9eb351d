#pragma once
// The busiest processes by CPU and by memory: every 2.5 s while their lists are on screen,
// every 15 s otherwise, so that CPU shares exist the moment a reader asks.
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/ProcessTable.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace corvane {

struct ProcSnap {
    Q_GADGET
    QML_VALUE_TYPE(procSnap)
    Q_PROPERTY(int id MEMBER id)
    Q_PROPERTY(int pid MEMBER pid)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(double cpuPercent MEMBER cpuPercent)
    Q_PROPERTY(quint64 memoryBytes MEMBER memoryBytes)
    Q_PROPERTY(quint64 startTime MEMBER startTime)
public:
    int32_t id = 0;
    int32_t pid = 0;
    QString name;
    double cpuPercent = 0;
    quint64 memoryBytes = 0;
    // When the process started (the platform's own count): a terminate action checks it so
    // a pid handed to a newer process is never hit.
    quint64 startTime = 0;
    bool operator==(const ProcSnap &) const = default;
};

struct ProcessSnapshot {
    QList<ProcSnap> byCPU;
    QList<ProcSnap> byRAM;
    int count = 0;
    // Monotonic time of the pass; 0 for lists made by hand, which always apply.
    uint64_t sampledNs = 0;
};

// The sampling side: the process table and last pass's CPU times. Sampler thread only, or
// a thread that has stopped the scheduler and waited for its tick.
class ProcessSampler {
public:
    static constexpr int kTopCount = 8;

    // A process's CPU time at the last pass; the start time tells a reused pid apart.
    struct CpuBaseline {
        uint64_t startTime = 0;
        uint64_t cpuNs = 0;
    };
    struct State {
        QHash<int32_t, CpuBaseline> prevCPUNs;
        uint64_t prevSampleNs = 0;
        Timebase timebase;
    };

    ProcessSampler(std::unique_ptr<ProcessTable> table, const Clock &clock);
    ProcessSnapshot sample();
    // Monotonic time of the last pass, 0 before the first; any thread.
    uint64_t lastPassNs() const { return m_lastPassNs.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<ProcessTable> m_table;
    const Clock &m_clock;
    State m_state;
    std::atomic<uint64_t> m_lastPassNs{0};
};

class ProcessMonitor : public QObject, public Pausable {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(QVariantList topByCPU READ topByCPUVariant NOTIFY topByCPUChanged)
    Q_PROPERTY(QVariantList topByRAM READ topByRAMVariant NOTIFY topByRAMChanged)
    Q_PROPERTY(int totalProcesses READ totalProcesses NOTIFY totalProcessesChanged)
public:
    static constexpr int kTopCount = ProcessSampler::kTopCount;
    using Snapshot = ProcessSnapshot;
    // Seconds between passes while the lists are watched, and while they are not.
    static constexpr double kWatchedInterval = 2.5;
    static constexpr double kBackgroundInterval = 15.0;
    // A pass younger than this is fresh enough for a reader: a share over a shorter span
    // would be mostly the clock-tick granularity of the CPU times.
    static constexpr double kFreshFor = 1.0;

    explicit ProcessMonitor(QObject *parent = nullptr);
    ProcessMonitor(std::unique_ptr<ProcessTable> table, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~ProcessMonitor() override;

    // Passes on the current cadence (the first one shortly after), or none.
    void start();
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }
    // Whether a screen shows the lists: the cadence follows. Watched again, a running monitor
    // passes at once unless its last pass is fresh.
    void setWatched(bool watched);
    bool watched() const { return m_watched; }
    // For a reader about to use the lists: a running monitor whose last pass is not fresh
    // passes now on the samplers' thread and publishes when done; `ready` runs once the lists
    // are fresh (at once when they are, or when the monitor isn't running; never if the
    // monitor goes first). Never waits.
    void ensureFresh(std::function<void()> ready = {});

    const QList<ProcSnap> &topByCPU() const { return m_topByCPU; }
    const QList<ProcSnap> &topByRAM() const { return m_topByRAM; }
    int totalProcesses() const { return m_totalProcesses; }
    QVariantList topByCPUVariant() const;
    QVariantList topByRAMVariant() const;

    // Applies one pass on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);
    // The sampler thread's; tests drive it by hand while the monitor is not started.
    ProcessSampler &sampler() const { return *m_sampler; }
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void topByCPUChanged();
    void topByRAMChanged();
    void totalProcessesChanged();

private:
    // Seconds since the last pass; infinite before the first.
    double secondsSinceLastPass() const;
    // The cadence for the current mode: the next pass one interval after the last one.
    Cadence cadence() const;
    // Asks for a pass now unless the last one is fresh; true when one is on its way.
    bool requestFreshPass();

    const Clock &m_clock;
    std::unique_ptr<ProcessSampler> m_sampler;
    bool m_watched = false;
    uint64_t m_appliedNs = 0;
    QList<ProcSnap> m_topByCPU;
    QList<ProcSnap> m_topByRAM;
    int m_totalProcesses = 0;
    // Monotonic time a fresh pass was asked for, 0 when none is awaited; and who waits for it.
    uint64_t m_freshAfterNs = 0;
    std::vector<std::function<void()>> m_whenFresh;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::ProcSnap)
