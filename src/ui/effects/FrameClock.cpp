#include "FrameClock.h"

namespace corvane::effects {

int frameIntervalMs(int fps)
{
    if (fps <= 0)
        return 0;
    return (1000 + fps - 1) / fps;
}

FrameClock::FrameClock(QObject *parent) : QObject(parent)
{
    m_clock.start(); // QElapsedTimer is monotonic
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::tick);
}

void FrameClock::setFps(int fps)
{
    if (fps == m_fps)
        return;
    m_fps = fps;
    emit fpsChanged();
    apply();
}

void FrameClock::setRunning(bool on)
{
    if (on == m_running)
        return;
    m_running = on;
    emit runningChanged();
    apply();
}

void FrameClock::apply()
{
    const int interval = frameIntervalMs(m_fps);
    if (!m_running || interval == 0) {
        m_timer.stop();
        return;
    }
    m_timer.setInterval(interval);
    if (!m_timer.isActive()) {
        m_timer.start();
        tick(); // show the current time at once rather than one interval late
    }
}

void FrameClock::tick()
{
    m_time = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    ++m_frames;
    emit ticked();
}

} // namespace corvane::effects
