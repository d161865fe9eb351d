#include "monitors/SystemMonitor.h"
#include "monitors/Publish.h"

namespace corvane {

SystemMonitor::SystemMonitor(QObject *parent)
    : SystemMonitor(makeLinuxHostStats(), Clock::system(), true, parent)
{
}

SystemMonitor::SystemMonitor(std::unique_ptr<HostStats> host, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<SystemSampler>(std::move(host))), m_cpuHistory(new MetricHistory(this)),
      m_ramHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.system-sampler"), Cadence::every(m_interval),
        sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::SharedThread, clock);
    if (autoStart)
        start();
}

SystemMonitor::~SystemMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void SystemMonitor::start()
{
    m_scheduler->start();
}

void SystemMonitor::setInterval(double seconds)
{
    m_interval = seconds;
    m_scheduler->setCadence(Cadence::every(seconds));
}

void SystemMonitor::tickOnMainThread(bool on)
{
    m_scheduler->tickOnCreatingThread(on);
}

double SystemSampler::cpuFraction(const CpuLoadInfo &prev, const CpuLoadInfo &now)
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

SystemSnapshot SystemSampler::sample()
{
    SystemSnapshot s;
    if (auto now = m_host->cpuLoad()) {
        if (m_state.prev)
            s.cpu = cpuFraction(*m_state.prev, *now);
        m_state.prev = *now;
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
    ChangeSet changes;
    if (s.cpu)
        changes.set(this, m_cpuUsage, *s.cpu, &SystemMonitor::cpuUsageChanged);
    changes.set(this, m_ramTotalBytes, quint64(s.totalBytes), &SystemMonitor::ramTotalBytesChanged);
    changes.set(this, m_ramUsedBytes, quint64(s.usedBytes), &SystemMonitor::ramUsedBytesChanged);
    const double pressure = s.totalBytes != 0 ? static_cast<double>(s.usedBytes) / static_cast<double>(s.totalBytes) : 0.0;
    changes.set(this, m_ramPressure, pressure, &SystemMonitor::ramPressureChanged);
    changes.set(this, m_uptimeSeconds, s.uptime, &SystemMonitor::uptimeSecondsChanged);
    // Histories take one sample per tick, changed or not.
    if (s.cpu)
        m_cpuHistory->push(*s.cpu);
    m_ramHistory->push(pressure);
    changes.emitAll();
    emit updated();
}

} // namespace corvane
