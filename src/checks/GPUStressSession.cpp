#include "checks/GPUStressSession.h"

#include <cmath>

namespace corvane {
namespace {

// Passes the GPU figures through and notes whether any accelerator gave a utilisation.
class UtilizationProbe final : public GpuStats {
public:
    UtilizationProbe(std::unique_ptr<GpuStats> inner, std::shared_ptr<std::atomic<bool>> measured)
        : m_inner(std::move(inner)), m_measured(std::move(measured))
    {
    }
    std::optional<GpuDeviceInfo> defaultDevice() override { return m_inner->defaultDevice(); }
    std::optional<uint64_t> defaultDeviceUsedBytes() override { return m_inner->defaultDeviceUsedBytes(); }
    std::optional<std::vector<GpuAcceleratorReading>> accelerators() override
    {
        auto readings = m_inner->accelerators();
        *m_measured = GPUSampler::readUtilization(readings).has_value();
        return readings;
    }

private:
    std::unique_ptr<GpuStats> m_inner;
    std::shared_ptr<std::atomic<bool>> m_measured;
};

} // namespace

GPUStressSession::GPUStressSession(QObject *parent)
    : GPUStressSession(makeLinuxGpuStats(), {}, Clock::system(), true, parent)
{
}

GPUStressSession::GPUStressSession(std::unique_ptr<GpuStats> stats, FPSMonitor::LinkFactory links,
                                   const Clock &clock, bool autoStartMonitors, QObject *parent)
    : QObject(parent), m_clock(clock)
{
    m_gpu = new GPUMonitor(std::make_unique<UtilizationProbe>(std::move(stats), m_measured), clock, autoStartMonitors, this);
    m_fps = links ? new FPSMonitor(std::move(links), clock, autoStartMonitors, this) : new FPSMonitor(this);
    connect(m_gpu, &GPUMonitor::updated, this, &GPUStressSession::monitorsUpdated);
    m_ticker.setInterval(kTickMs);
    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &GPUStressSession::tick);
}

GPUStressSession::~GPUStressSession() { m_ticker.stop(); }

bool GPUStressSession::utilizationMeasured() const { return m_measured->load(); }

void GPUStressSession::setDurationSec(double s)
{
    if (!std::isfinite(s) || s == m_durationSec)
        return;
    m_durationSec = s; // a run in progress ends against the new value at its next tick
    emit durationSecChanged();
}

void GPUStressSession::setIntensity(double v)
{
    if (!std::isfinite(v) || v == m_intensity)
        return;
    m_intensity = v;
    emit intensityChanged();
}

void GPUStressSession::start()
{
    m_running = true;
    m_done = false;
    m_hasStart = true;
    m_startNs = m_clock.monotonicNs();
    m_elapsed = 0;
    m_utilSamples.clear();
    m_fpsSamples.clear();
    m_sawUtilization = false;
    m_ticker.start();
    emit stateChanged();
    emit sampled();
}

void GPUStressSession::stop()
{
    m_running = false;
    m_done = true;
    m_ticker.stop();
    emit stateChanged();
}

void GPUStressSession::halt()
{
    m_ticker.stop();
    if (m_running) {
        m_running = false;
        emit stateChanged();
    }
}

void GPUStressSession::tick()
{
    if (!m_hasStart)
        return;
    m_elapsed = static_cast<double>(m_clock.monotonicNs() - m_startNs) / 1e9;
    m_sawUtilization = m_sawUtilization || utilizationMeasured();
    m_utilSamples.append(m_gpu->utilization());
    m_fpsSamples.append(m_fps->currentFPS());
    emit sampled();
    if (m_elapsed >= m_durationSec)
        stop();
}

GpuRunFigures GPUStressSession::figures() const
{
    return {m_utilSamples, m_fpsSamples, m_sawUtilization || utilizationMeasured(), m_fps->refreshNominalHz(), m_gpu->vramUsedBytes(),
            m_gpu->gpuName()};
}

QVariantList GPUStressSession::resultLines() const { return StressRulesBridge::toVariant(StressRules::gpuLines(figures())); }

} // namespace corvane
