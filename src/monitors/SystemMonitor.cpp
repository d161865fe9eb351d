#include "monitors/SystemMonitor.h"

namespace corvane {

SystemMonitor::SystemMonitor(QObject *parent)
    : SystemMonitor(makeLinuxHostStats(), Clock::system(), true, parent)
{
}

SystemMonitor::SystemMonitor(std::unique_ptr<HostStats> host, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_host(std::move(host)), m_cpuHistory(new MetricHistory(this)),
      m_ramHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.system-sampler"), Cadence::wholeSecond(),
        sampleThenPublish(this),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

SystemMonitor::~SystemMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sources go
}

void SystemMonitor::start()
{
    m_scheduler->start();
}

double SystemMonitor::cpuFraction(const CpuLoadInfo &prev, const CpuLoadInfo &now)
{
    // Unsigned 32-bit subtraction gives the true increase across a wrap.
    const double du = static_cast<uint32_t>(now.user - prev.user);
    const double ds = static_cast<uint32_t>(now.system - prev.system);
    const double di = static_cast<uint32_t>(now.idle - prev.idle);
    const double dn = static_cast<uint32_t>(now.nice - prev.nice);
    const double busy = du + ds + dn;
    const double total = busy + di;
    return total > 0 ? busy / total : 0.0;
}

SystemMonitor::Snapshot SystemMonitor::sample()
{
    Snapshot s;
    if (auto now = m_host->cpuLoad()) {
        if (m_bgState.prev)
            s.cpu = cpuFraction(*m_bgState.prev, *now);
        m_bgState.prev = *now;
    }
    s.totalBytes = m_host->physicalMemory();
    if (auto vm = m_host->vmCounters()) {
        const uint64_t page = m_host->pageSize();
        s.usedBytes = page * vm->active + page * vm->wired + page * vm->compressor;
    }
    s.uptime = m_host->uptimeSeconds();
    return s;
}

void SystemMonitor::publish(const Snapshot &s)
{
    if (s.cpu) {
        m_cpuUsage = *s.cpu;
        emit cpuUsageChanged();
        m_cpuHistory->push(*s.cpu);
    }
    m_ramTotalBytes = s.totalBytes;
    emit ramTotalBytesChanged();
    m_ramUsedBytes = s.usedBytes;
    emit ramUsedBytesChanged();
    m_ramPressure = s.totalBytes != 0 ? static_cast<double>(s.usedBytes) / static_cast<double>(s.totalBytes) : 0.0;
    emit ramPressureChanged();
    m_ramHistory->push(m_ramPressure);
    m_uptimeSeconds = s.uptime;
    emit uptimeSecondsChanged();
    emit updated();
}

} // namespace corvane
