#pragma once
// The GPU stress screen's run: its own GPU and frame-rate monitors, a 0.2 s sampling ticker
// over them for the chosen duration, and the result rows. The screen draws the load.
#include "checks/ReportLine.h"
#include "monitors/FPSMonitor.h"
#include "monitors/GPUMonitor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <memory>

namespace corvane {

class GPUStressSession : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool running READ running NOTIFY stateChanged)
    Q_PROPERTY(bool done READ done NOTIFY stateChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY sampled)
    Q_PROPERTY(int sampleCount READ sampleCount NOTIFY sampled)
    Q_PROPERTY(double durationSec READ durationSec WRITE setDurationSec NOTIFY durationSecChanged)
    Q_PROPERTY(double intensity READ intensity WRITE setIntensity NOTIFY intensityChanged)
    // False while no utilisation figure has been read (none yet, or the GPU gives none).
    Q_PROPERTY(bool utilizationMeasured READ utilizationMeasured NOTIFY monitorsUpdated)
    Q_PROPERTY(corvane::GPUMonitor *gpu READ gpu CONSTANT)
    Q_PROPERTY(corvane::FPSMonitor *fps READ fps CONSTANT)
public:
    static constexpr int kTickMs = 200;

    explicit GPUStressSession(QObject *parent = nullptr);
    // Tests inject the monitors' sources; `monotonicNs` stands in for the run's clock.
    GPUStressSession(std::unique_ptr<GpuStats> stats, FPSMonitor::LinkFactory links, const Clock &clock,
                     bool autoStartMonitors, QObject *parent = nullptr);
    ~GPUStressSession() override;

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    // The screen goes away: the run ends without a result.
    Q_INVOKABLE void halt();
    void tick();

    // The result rows as the card shows them, read from the monitors now.
    Q_INVOKABLE QVariantList resultLines() const;
    Q_INVOKABLE QString subtitle() const { return StressRules::gpuSubtitle(m_elapsed); }
    GpuRunFigures figures() const;

    bool running() const { return m_running; }
    bool done() const { return m_done; }
    double elapsed() const { return m_elapsed; }
    int sampleCount() const { return static_cast<int>(m_utilSamples.size()); }
    double durationSec() const { return m_durationSec; }
    void setDurationSec(double s);
    double intensity() const { return m_intensity; }
    void setIntensity(double v);
    bool utilizationMeasured() const;
    const QList<double> &utilSamples() const { return m_utilSamples; }
    const QList<double> &fpsSamples() const { return m_fpsSamples; }
    bool tickerActive() const { return m_ticker.isActive(); }
    GPUMonitor *gpu() const { return m_gpu; }
    FPSMonitor *fps() const { return m_fps; }

signals:
    void stateChanged();
    void sampled();
    void durationSecChanged();
    void intensityChanged();
    void monitorsUpdated();

private:
    const Clock &m_clock;
    // Whether the latest reading carried a utilisation figure (written on the sampler thread).
    std::shared_ptr<std::atomic<bool>> m_measured = std::make_shared<std::atomic<bool>>(false);
    GPUMonitor *m_gpu;
    FPSMonitor *m_fps;
    bool m_running = false;
    bool m_done = false;
    bool m_hasStart = false;
    bool m_sawUtilization = false;
    uint64_t m_startNs = 0;
    double m_elapsed = 0;
    double m_durationSec = 30;
    double m_intensity = 0.8;
    QList<double> m_utilSamples;
    QList<double> m_fpsSamples;
    QTimer m_ticker;
};

} // namespace corvane
