#include "monitors/GPUMonitor.h"
#include "monitors/Publish.h"

#include <algorithm>

namespace corvane {

GPUMonitor::GPUMonitor(QObject *parent) : GPUMonitor(makeLinuxGpuStats(), Clock::system(), true, parent) {}

GPUMonitor::GPUMonitor(std::unique_ptr<GpuStats> stats, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<GPUSampler>(std::move(stats))), m_history(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.gpu-sampler"), Cadence::every(m_interval),
        [this, sampler = m_sampler.get(), request = m_startRequest] {
            const bool immediate = request->immediatePending.exchange(false);
            const quint64 generation = request->generation.load();
            GPUSnapshot s = sampler->sample();
            if (!immediate) {
                // A steady tick: straight into the batch, no wake-up of the main thread.
                PublicationBatch *batch = PublicationBatch::current();
                if (batch && batch->runsOn(this)) {
                    batch->add(this, [this, s = std::move(s)] { publish(s); });
                    return;
                }
            }
            QMetaObject::invokeMethod(
                this,
                [this, s = std::move(s), immediate, generation]() mutable {
                    // The immediate sample is done: join the steady cadence, unless a pause
                    // or a newer start() came in between.
                    if (immediate && generation == m_startRequest->generation.load() && m_scheduler->isActive())
                        m_scheduler->setCadence(Cadence::every(m_interval));
                    applyInBatch(this, [this, s = std::move(s)] { publish(s); });
                },
                Qt::QueuedConnection);
        },
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

GPUMonitor::~GPUMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void GPUMonitor::start()
{
    // Sysfs and the NVIDIA library can be slow: the immediate sample runs on the sampler
    // thread too, as a first tick with no delay.
    ++m_startRequest->generation;
    m_startRequest->immediatePending = true;
    m_scheduler->setCadence(Cadence::offsetThenEvery(0.0, 1.0));
    m_scheduler->start();
}

void GPUMonitor::setInterval(double seconds)
{
    m_interval = seconds;
    // While the immediate sample is still due, its answer switches to the new cadence.
    if (!m_startRequest->immediatePending.load())
        m_scheduler->setCadence(Cadence::every(seconds));
}

void GPUMonitor::stop()
{
    m_scheduler->stop();
}

std::optional<double> GPUSampler::readUtilization(const std::optional<std::vector<GpuAcceleratorReading>> &accelerators)
{
    if (!accelerators)
        return std::nullopt;
    std::optional<double> best;
    for (const auto &a : *accelerators)
        for (const int64_t pct : a.utilizationPercents) {
            const double v = static_cast<double>(pct) / 100.0;
            if (!best || v > *best)
                best = v;
        }
    return best;
}

GPUSnapshot GPUSampler::sample()
{
    GPUSnapshot s;
    if (!m_deviceRead) {
        m_deviceRead = true;
        const auto dev = m_stats->defaultDevice();
        m_hasDevice = dev.has_value();
        s.device = dev;
    }
    s.hasDevice = m_hasDevice;
    if (m_hasDevice)
        s.usedBytes = m_stats->defaultDeviceUsedBytes();
    s.utilization = readUtilization(m_stats->accelerators());
    s.quickReads = !m_stats->readsMayBlock();
    return s;
}

void GPUMonitor::publish(const Snapshot &s)
{
    // A thread of its own only while there is a device to read; otherwise one wake-up less
    // a second.
    m_scheduler->tickOnSharedThread(s.quickReads);
    ChangeSet changes;
    if (s.device && *s.device) {
        const GpuDeviceInfo &d = **s.device;
        changes.set(this, m_gpuName, d.name.isEmpty() ? QStringLiteral("—") : d.name, &GPUMonitor::gpuNameChanged);
        changes.set(this, m_vramRecommendedMaxBytes, quint64(d.vramTotalBytes.value_or(0)),
                    &GPUMonitor::vramRecommendedMaxBytesChanged);
    }
    if (s.hasDevice && s.usedBytes)
        changes.set(this, m_vramUsedBytes, quint64(*s.usedBytes), &GPUMonitor::vramUsedBytesChanged);
    if (s.utilization) {
        changes.set(this, m_utilization, std::clamp(*s.utilization, 0.0, 1.0), &GPUMonitor::utilizationChanged);
        changes.set(this, m_utilizationKnown, true, &GPUMonitor::utilizationKnownChanged);
    }
    m_history->push(m_utilization);
    changes.emitAll();
    emit updated();
}

} // namespace corvane
