#include "monitors/Publish.h"

#include <QThread>

namespace corvane {

namespace {
PublicationBatch *g_current = nullptr;
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
    if (g_current == this)
        g_current = nullptr;
}

void PublicationBatch::install()
{
    g_current = this;
}

PublicationBatch *PublicationBatch::current()
{
    return g_current;
}

double PublicationBatch::delayToFlush(double now, double settle)
{
    double delay = std::ceil(now - settle) + settle - now;
    if (!(delay >= 0) || delay > 1) // not finite, or a clock far outside the double's precision
        delay = 0;
    return delay;
}

void PublicationBatch::add(QObject *owner, std::function<void()> apply)
{
    Q_ASSERT(QThread::currentThread() == m_timer.thread());
    m_pending.push_back({QPointer<QObject>(owner), std::move(apply)});
    if (!m_timer.isActive())
        armTimer();
}

void PublicationBatch::armTimer()
{
    const double now = m_clock.wallSeconds();
    double delay = delayToFlush(now, m_settle);
    // A timer fires up to a millisecond early: what arrives in that sliver belongs to the
    // flush just made, so it waits for the next second rather than making a second frame.
    if (m_lastFlush && now + delay < *m_lastFlush + 0.5)
        delay += 1.0;
    m_timer.start(int(std::lround(delay * 1000)));
}

void PublicationBatch::flush()
{
    m_timer.stop();
    if (m_pending.empty())
        return;
    auto batch = std::move(m_pending);
    m_pending.clear();
    ++m_flushes;
    m_lastFlush = m_clock.wallSeconds();
    for (Entry &e : batch) {
        if (e.owner)
            e.apply();
    }
    // Applies may have queued more; those wait for the next flush point.
    if (!m_pending.empty() && !m_timer.isActive())
        armTimer();
}

} // namespace corvane
