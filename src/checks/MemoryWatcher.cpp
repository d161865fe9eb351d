#include "checks/MemoryWatcher.h"

namespace corvane {

MemoryWatcher::MemoryWatcher(QObject *parent) : MemoryWatcher(makeLinuxMemoryStats(), Clock::system(), parent) {}

MemoryWatcher::MemoryWatcher(std::unique_ptr<MemoryStats> stats, const Clock &clock, QObject *parent)
    : QObject(parent), m_stats(std::move(stats))
{
    m_meminfo.reserve(4096);
    m_psi.reserve(256);
    m_breakdown = takeReading();
    // Two small procfs reads: cheap enough for the main thread, where the screen reads them.
    m_scheduler = std::make_unique<SamplerScheduler>(QStringLiteral("corvane.memory-watcher"), Cadence::wholeSecond(),
                                                     [this] { tick(); }, SamplerScheduler::Placement::CallerThread,
                                                     clock);
    m_scheduler->start();
}

MemoryWatcher::~MemoryWatcher() { m_scheduler.reset(); }

MemoryBreakdown MemoryWatcher::takeReading()
{
    const bool haveInfo = m_stats->meminfo(m_meminfo);
    const bool havePsi = m_stats->pressure(m_psi);
    return MemoryReading::fromMeminfo(haveInfo ? std::optional<std::string_view>(m_meminfo) : std::nullopt,
                                      m_stats->physicalMemory(), m_stats->pageSize(),
                                      havePsi ? MemoryReading::pressureLevel(m_psi) : std::nullopt);
}

void MemoryWatcher::tick()
{
    m_breakdown = takeReading();
    m_history.append(m_breakdown.usedFraction());
    if (m_history.size() > kHistoryCap)
        m_history.remove(0, m_history.size() - kHistoryCap);
    emit updated();
}

} // namespace corvane
