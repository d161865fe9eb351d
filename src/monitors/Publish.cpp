#include "monitors/Publish.h"

#include <QThread>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
std::atomic<PublicationBatch *> g_current{nullptr};
}

PublicationBatch::PublicationBatch(const Clock &clock, double settleSeconds)
    : m_clock(clock)
    , m_settle(settleSeconds)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { flush(); });
}

PublicationBatch::~PublicationBatch()
{
    PublicationBatch *self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

void PublicationBatch::install()
{
    g_current.store(this);
}

PublicationBatch *PublicationBatch::current()
{
    return g_current.load();
}

double PublicationBatch::delayToFlush(double now, double settle, double period)
{
    double delay = std::ceil((now - settle) / period) * period + settle - now;
    if (!(delay >= 0) || delay > period) // not finite, or a clock far outside the double's precision
        delay = 0;
    return delay;
}

void PublicationBatch::setPeriod(double seconds)
{
    const double p = std::isfinite(seconds) ? std::clamp(seconds, 0.1, 1.0) : 1.0;
    if (p == m_period)
        return;
    m_period = p;
    // A flush already due keeps its time; the next one follows the new period.
}

std::size_t PublicationBatch::pending() const
{
    QMutexLocker lock(&m_lock);
    return m_pending.size();
}

void PublicationBatch::add(QObject *owner, std::function<void()> apply, Delivery delivery)
{
    const bool here = QThread::currentThread() == m_timer.thread();
    bool arm = false;
    bool immediate = false;
    {
        QMutexLocker lock(&m_lock);
        m_pending.push_back({QPointer<QObject>(owner), std::move(apply)});
        if (m_immediate && !here && delivery == Delivery::Riding)
            return; // waits for the next flush, which the batch's thread makes on its own
        arm = !m_armed;
        m_armed = true;
        immediate = m_immediate;
    }
    if (!arm)
        return;
    if (immediate && here)
        flush();
    else if (immediate)
        QMetaObject::invokeMethod(&m_timer, [this] { flush(); }, Qt::QueuedConnection);
    else if (here)
        armTimer();
    else
        QMetaObject::invokeMethod(&m_timer, [this] { armTimer(); }, Qt::QueuedConnection);
}

void PublicationBatch::setImmediate(bool on)
{
    {
        QMutexLocker lock(&m_lock);
        if (m_immediate == on)
            return;
        m_immediate = on;
    }
    if (on) {
        flush(); // what waits for the flush point applies now, and the batch goes quiet
        return;
    }
    {
        QMutexLocker lock(&m_lock);
        if (m_pending.empty()) {
            m_armed = false; // the next arrival arms the flush timer
            return;
        }
        if (m_armed)
            return;
        m_armed = true; // arrivals that were riding along go with the first flush on screen
    }
    armTimer();
}

void PublicationBatch::armTimer()
{
    const double now = m_clock.wallSeconds();
    // The samplers finish their reads well within the settle time; a short period halves it.
    const double settle = std::min(m_settle, m_period / 2);
    double delay = delayToFlush(now, settle, m_period);
    // A timer fires up to a millisecond early: what arrives in that sliver belongs to the
    // flush just made, so it waits for the next period rather than making a second frame.
    if (m_lastFlush && now + delay < *m_lastFlush + m_period / 2)
        delay += m_period;
    m_timer.start(int(std::lround(delay * 1000)));
}

void PublicationBatch::flush()
{
    m_timer.stop();
    std::vector<Entry> batch;
    {
        QMutexLocker lock(&m_lock);
        batch.swap(m_pending);
        if (batch.empty()) {
            m_armed = false; // quiet: the next arrival arms the timer again
            return;
        }
    }
    m_lastFlush = m_clock.wallSeconds();
    bool applied = false;
    for (Entry &e : batch) {
        if (e.owner) {
            e.apply();
            applied = true;
        }
    }
    if (applied)
        ++m_flushes;
    {
        QMutexLocker lock(&m_lock);
        if (m_immediate) {
            // What the applies queued follows on the next pass of the event loop.
            m_armed = !m_pending.empty();
            if (m_armed)
                QMetaObject::invokeMethod(&m_timer, [this] { flush(); }, Qt::QueuedConnection);
            return;
        }
        // The samplers publish every second: stay due for the next flush point, so their
        // hand-overs need no wake-up of this thread. What the applies queued waits for it too.
        m_armed = true;
    }
    armTimer();
}

} // namespace corvane
