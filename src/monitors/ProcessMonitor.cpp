#include "monitors/ProcessMonitor.h"
#include "common/Numbers.h"
#include "monitors/Publish.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace corvane {

ProcessMonitor::ProcessMonitor(QObject *parent)
    : ProcessMonitor(makeLinuxProcessTable(), Clock::system(), true, parent)
{
}

ProcessMonitor::ProcessMonitor(std::unique_ptr<ProcessTable> table, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_clock(clock), m_sampler(std::make_unique<ProcessSampler>(std::move(table), clock))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.process-sampler"), cadence(),
        sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::SharedThread, clock);
    if (autoStart)
        start();
}

ProcessMonitor::~ProcessMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void ProcessMonitor::start()
{
    m_scheduler->setCadence(cadence()); // re-arms an active scheduler
    if (!m_scheduler->isActive())
        m_scheduler->start();
}

void ProcessMonitor::stop() { m_scheduler->stop(); }

double ProcessMonitor::secondsSinceLastPass() const
{
    const uint64_t last = m_sampler->lastPassNs();
    if (last == 0)
        return std::numeric_limits<double>::infinity();
    const uint64_t now = m_clock.monotonicNs();
    return now > last ? static_cast<double>(now - last) / 1e9 : 0.0;
}

Cadence ProcessMonitor::cadence() const
{
    // A little delay at the least, so that a start does not add to the launch's work.
    constexpr double kFirstDelay = 0.2;
    const double interval = m_watched ? kWatchedInterval : kBackgroundInterval;
    return Cadence::offsetThenEvery(std::clamp(interval - secondsSinceLastPass(), kFirstDelay, interval), interval);
}

void ProcessMonitor::setWatched(bool watched)
{
    if (watched == m_watched)
        return;
    m_watched = watched;
    if (!m_scheduler->isActive())
        return; // paused or never started: the cadence applies at the next start
    if (watched && requestFreshPass())
        return; // the cadence is re-armed from that pass when it lands
    start();
}

void ProcessMonitor::ensureFresh(std::function<void()> ready)
{
    if (!m_scheduler->isActive() || !requestFreshPass()) {
        if (ready)
            ready();
        return;
    }
    if (ready)
        m_whenFresh.push_back(std::move(ready));
}

bool ProcessMonitor::requestFreshPass()
{
    if (m_freshAfterNs)
        return true; // one is on its way
    if (secondsSinceLastPass() < kFreshFor)
        return false;
    // On the samplers' thread, after whatever tick runs there now: the GUI thread neither
    // waits for that tick nor walks /proc itself. Meanwhile the lists shown are the last ones.
    m_freshAfterNs = std::max<uint64_t>(m_clock.monotonicNs(), 1);
    m_scheduler->tickNow();
    return true;
}

ProcessSampler::ProcessSampler(std::unique_ptr<ProcessTable> table, const Clock &clock)
    : m_table(std::move(table)), m_clock(clock)
{
    m_state.timebase = m_table->timebase();
}

ProcessSnapshot ProcessSampler::sample()
{
    const uint64_t now = m_clock.monotonicNs();
    const std::vector<int32_t> pids = m_table->listPids();
    const double dt = m_state.prevSampleNs != 0 && now > m_state.prevSampleNs
        ? static_cast<double>(now - m_state.prevSampleNs) : 0.0;
    const double numer = m_state.timebase.numer;
    const double denom = m_state.timebase.denom == 0 ? 1.0 : m_state.timebase.denom;

    QHash<int32_t, CpuBaseline> newCPU;
    newCPU.reserve(static_cast<qsizetype>(pids.size()));
    QList<ProcSnap> snaps;
    snaps.reserve(static_cast<qsizetype>(pids.size()));
    for (const int32_t pid : pids) {
        if (pid <= 0)
            continue;
        const auto info = m_table->taskInfo(pid);
        // Kernel threads run no program a user could end: neither listed nor counted.
        if (!info || info->kernelThread)
            continue;
        const uint64_t cpuNs = saturatingCast<uint64_t>(
            static_cast<double>(info->userTime + info->systemTime) * numer / denom);
        newCPU.insert(pid, {info->startTime, cpuNs});
        double pct = 0;
        if (dt > 0) {
            const auto prev = m_state.prevCPUNs.constFind(pid);
            // Another start time (or a lower figure) means the pid now names a new process,
            // whose CPU time has no baseline yet: no figure this pass.
            if (prev != m_state.prevCPUNs.constEnd() && prev->startTime == info->startTime && cpuNs >= prev->cpuNs)
                pct = static_cast<double>(cpuNs - prev->cpuNs) / dt * 100.0;
        }
        ProcSnap s;
        s.id = s.pid = pid;
        s.name = info->name.value_or(QStringLiteral("?"));
        s.cpuPercent = pct;
        s.memoryBytes = info->residentBytes;
        s.startTime = info->startTime;
        snaps.append(std::move(s));
    }
    m_state.prevCPUNs = std::move(newCPU);
    m_state.prevSampleNs = now;
    m_lastPassNs.store(now, std::memory_order_relaxed);

    ProcessSnapshot out;
    out.sampledNs = now;
    out.count = static_cast<int>(snaps.size());
    // Stable sort of indices: equal keys keep the listing order, and no record is copied
    // but the eight that are kept.
    std::vector<int> order(static_cast<size_t>(snaps.size()));
    const size_t n = std::min<size_t>(order.size(), kTopCount);
    auto sortBy = [&](auto greater) {
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return greater(snaps[a], snaps[b]); });
    };
    auto topEight = [&] {
        QList<ProcSnap> v;
        v.reserve(static_cast<qsizetype>(n));
        for (size_t i = 0; i < n; ++i)
            v.append(snaps[order[i]]);
        return v;
    };
    // The listing's memory figures can lag; the exact ones cost a read each, so only the
    // processes that may be shown get one: twice the eight largest, and the eight busiest.
    auto exactMemory = [&](size_t count) {
        for (size_t i = 0; i < std::min(count, order.size()); ++i) {
            ProcSnap &p = snaps[order[i]];
            if (const auto bytes = m_table->exactResidentBytes(p.pid))
                p.memoryBytes = *bytes;
        }
    };
    const auto byMemory = [](const ProcSnap &a, const ProcSnap &b) { return a.memoryBytes > b.memoryBytes; };
    sortBy(byMemory);
    exactMemory(2 * n);
    sortBy([](const ProcSnap &a, const ProcSnap &b) { return a.cpuPercent > b.cpuPercent; });
    exactMemory(n);
    out.byCPU = topEight();
    sortBy(byMemory);
    out.byRAM = topEight();
    return out;
}

void ProcessMonitor::publish(const Snapshot &s)
{
    // A pass taken at once for a reader may overtake an older one still waiting for its batch.
    if (s.sampledNs != 0) {
        if (s.sampledNs < m_appliedNs)
            return;
        m_appliedNs = s.sampledNs;
    }
    ChangeSet changes;
    changes.set(this, m_topByCPU, s.byCPU, &ProcessMonitor::topByCPUChanged);
    changes.set(this, m_topByRAM, s.byRAM, &ProcessMonitor::topByRAMChanged);
    changes.set(this, m_totalProcesses, s.count, &ProcessMonitor::totalProcessesChanged);
    changes.emitAll();
    emit updated();
    // A pass begun after the request is as fresh as the one asked for.
    if (m_freshAfterNs && s.sampledNs >= m_freshAfterNs) {
        m_freshAfterNs = 0;
        if (m_scheduler->isActive())
            start(); // the next pass one interval after this one
        for (auto &ready : std::exchange(m_whenFresh, {}))
            ready();
    }
}

static QVariantList toVariantList(const QList<ProcSnap> &l)
{
    QVariantList out;
    out.reserve(l.size());
    for (const auto &p : l)
        out.append(QVariant::fromValue(p));
    return out;
}

QVariantList ProcessMonitor::topByCPUVariant() const { return toVariantList(m_topByCPU); }
QVariantList ProcessMonitor::topByRAMVariant() const { return toVariantList(m_topByRAM); }

} // namespace corvane
