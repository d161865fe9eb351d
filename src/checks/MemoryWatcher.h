#pragma once
// The RAM details screen's own sampler: one memory reading at construction, then one at
// every whole second, with a two-minute history of the share in use.
#include "checks/MemoryBreakdown.h"
#include "monitors/SamplerScheduler.h"
#include "platform/MemoryStats.h"

#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <string>

namespace corvane {

class MemoryWatcher : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(corvane::MemoryBreakdown breakdown READ breakdown NOTIFY updated)
    Q_PROPERTY(QList<double> history READ history NOTIFY updated)
public:
    static constexpr int kHistoryCap = 120;

    explicit MemoryWatcher(QObject *parent = nullptr);
    MemoryWatcher(std::unique_ptr<MemoryStats> stats, const Clock &clock, QObject *parent = nullptr);
    ~MemoryWatcher() override;

    // One synchronous reading; touches nothing of the watcher's published state.
    MemoryBreakdown takeReading();
    // The per-second step (the scheduler's; public for tests).
    void tick();

    const MemoryBreakdown &breakdown() const { return m_breakdown; }
    const QList<double> &history() const { return m_history; }
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per reading, after breakdown and history are in place.
    void updated();

private:
    std::unique_ptr<MemoryStats> m_stats;
    std::string m_meminfo;
    std::string m_psi;
    MemoryBreakdown m_breakdown;
    QList<double> m_history;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
