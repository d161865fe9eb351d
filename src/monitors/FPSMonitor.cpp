#include "monitors/FPSMonitor.h"
#include "monitors/Publish.h"

#include <QGuiApplication>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvane {

FPSMonitor::FPSMonitor(QObject *parent)
    : FPSMonitor([this] { return makeVblankDisplayLink(followedWindow()); }, Clock::system(), true, parent)
{
}

QQuickWindow *FPSMonitor::followedWindow() const
{
    if (m_window && m_window->isVisible())
        return m_window;
    for (QWindow *top : QGuiApplication::topLevelWindows())
        if (auto *q = qobject_cast<QQuickWindow *>(top); q && q->isVisible())
            return q;
    return m_window;
}

FPSMonitor::FPSMonitor(LinkFactory linkFactory, const Clock &clock, bool autoStart, QObject *parent)
    : QObject(parent), m_linkFactory(std::move(linkFactory)), m_frames(clock)
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.fps-publisher"), Cadence::offsetThenEvery(1.0, 1.0), [this] { publish(); },
        SamplerScheduler::Placement::CallerThread, clock);
    if (autoStart)
        start();
}

FPSMonitor::~FPSMonitor()
{
    m_scheduler.reset();
    stopLink(); // no frame callback runs once this returns
}

void FPSMonitor::start()
{
    m_wanted = true;
    // A second start() without a stop() would leave a link running: replace it.
    stopLink();
    m_scheduler->stop();
    startLink();
}

void FPSMonitor::stop()
{
    m_wanted = false;
    disconnect(m_outputWatch);
    stopLink();
    m_scheduler->stop();
}

void FPSMonitor::attachWindow(QQuickWindow *window)
{
    m_window = window;
    if (m_wanted)
        start();
}

void FPSMonitor::startLink()
{
    watchOutput();
    if (!openLink())
        return; // no frame source: stay stopped, figures unchanged
    m_frames.restartInterval();
    m_scheduler->start();
}

bool FPSMonitor::openLink()
{
    std::unique_ptr<DisplayLink> link = m_linkFactory ? m_linkFactory() : nullptr;
    if (!link)
        return false;
    m_link = std::move(link);
    if (const auto hz = m_link->nominalRefreshHz(); hz && std::isfinite(*hz) && *hz > 0)
        if (assignChanged(m_refreshNominalHz, *hz))
            emit refreshNominalHzChanged();
    m_link->start(m_frames.frameCallback());
    m_lastRefreshCount = m_link->refreshCount();
    return true;
}

void FPSMonitor::watchOutput()
{
    disconnect(m_outputWatch);
    if (QQuickWindow *window = followedWindow())
        m_outputWatch = connect(window, &QWindow::screenChanged, this, &FPSMonitor::followNewOutput);
}

void FPSMonitor::followNewOutput()
{
    // A window whose native side was let go while hidden is not brought back for this.
    auto *window = qobject_cast<QWindow *>(sender());
    if (!m_wanted || (window && !window->handle()))
        return;
    const bool wasRunning = isRunning();
    // A running interval goes on: the frames counted on both displays make one
    // publication, so the move shows no burst and no gap.
    stopLink();
    watchOutput();
    if (!openLink())
        m_scheduler->stop();
    else if (!wasRunning) {
        m_frames.restartInterval();
        m_scheduler->start();
    }
}

void FPSMonitor::stopLink()
{
    if (m_link) {
        // As with callbacks, refreshes up to the stop count in the next publication.
        if (m_lastRefreshCount)
            if (const auto count = m_link->refreshCount(); count && *count >= *m_lastRefreshCount)
                m_frames.add(static_cast<qint64>(std::min<uint64_t>(*count - *m_lastRefreshCount, INT64_MAX)));
        m_link->stop();
        m_link.reset();
    }
    m_lastRefreshCount.reset();
}

std::function<void()> FrameCounter::frameCallback() const
{
    return [tally = m_tally] {
        std::lock_guard lock(tally->lock);
        ++tally->count;
    };
}

void FrameCounter::add(qint64 frames)
{
    std::lock_guard lock(m_tally->lock);
    m_tally->count += frames;
}

std::optional<double> FrameCounter::sample()
{
    const uint64_t now = m_clock.monotonicNs();
    const double elapsed = now > m_lastSampleNs ? static_cast<double>(now - m_lastSampleNs) / 1e9 : 0.0;
    m_lastSampleNs = now;
    qint64 count = 0;
    {
        std::lock_guard lock(m_tally->lock);
        count = m_tally->count;
        m_tally->count = 0;
    }
    if (elapsed > 0)
        return static_cast<double>(count) / elapsed;
    return std::nullopt;
}

void FPSMonitor::publish()
{
    // Counted at the tick; shown with the rest of its second's batch, so the display's own
    // redraw comes with the other monitors' rather than as a frame of its own.
    if (m_link) {
        const auto count = m_link->refreshCount();
        if (!count && m_lastRefreshCount) {
            // A counting link missed this reading: keep the figure and let the next reading
            // cover both intervals rather than publish a second without frames.
            applyInBatch(this, [this] { emit updated(); });
            return;
        }
        if (count) {
            // A counter that went back (another output took the window over) starts afresh.
            if (m_lastRefreshCount && *count >= *m_lastRefreshCount)
                m_frames.add(static_cast<qint64>(std::min<uint64_t>(*count - *m_lastRefreshCount, INT64_MAX)));
            m_lastRefreshCount = count;
        }
    }
    applyInBatch(this, [this, fps = m_frames.sample()] {
        if (fps && assignChanged(m_currentFPS, *fps))
            emit currentFPSChanged();
        emit updated();
    });
}

} // namespace corvane
