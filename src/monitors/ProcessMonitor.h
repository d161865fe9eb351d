#pragma once
// The busiest processes by CPU and by memory, every 2.5 s.
#include "monitors/Pausable.h"
#include "monitors/SamplerScheduler.h"
#include "platform/ProcessTable.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <memory>

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
};

// The sampling side: the process table and last pass's CPU times. Sampler thread only.
class ProcessSampler {
public:
    static constexpr int kTopCount = 8;

    struct State {
        QHash<int32_t, uint64_t> prevCPUNs;
        uint64_t prevSampleNs = 0;
        Timebase timebase;
    };

    ProcessSampler(std::unique_ptr<ProcessTable> table, const Clock &clock);
    ProcessSnapshot sample();

private:
    std::unique_ptr<ProcessTable> m_table;
    const Clock &m_clock;
    State m_state;
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

    explicit ProcessMonitor(QObject *parent = nullptr);
    ProcessMonitor(std::unique_ptr<ProcessTable> table, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~ProcessMonitor() override;

    void start();
    void stop();
    // Paused: stopped.
    void setPaused(bool paused) override { paused ? stop() : start(); }

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
    std::unique_ptr<ProcessSampler> m_sampler;
    QList<ProcSnap> m_topByCPU;
    QList<ProcSnap> m_topByRAM;
    int m_totalProcesses = 0;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::ProcSnap)
