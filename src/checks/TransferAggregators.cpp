#include "checks/TransferAggregators.h"

namespace corvane {

TransferAggregator::TransferAggregator(SampleFn onSample, ErrorFn onError, const Clock &clock)
    : m_onSample(std::move(onSample)), m_onError(std::move(onError)), m_clock(clock), m_lastTick(now())
{
}

void TransferAggregator::progress(qint64 bytes)
{
    std::unique_lock lock(m_lock);
    const double t = now();
    if (!m_startTime) {
        m_startTime = t;
        m_lastTick = t;
    }
    m_totalBytes += bytes;
    const double dt = t - m_lastTick;
    if (dt > 0.1) {
        const double sample = double(m_totalBytes - m_bytesAtLastTick) * 8.0 / 1e6 / dt;
        m_bytesAtLastTick = m_totalBytes;
        m_lastTick = t;
        lock.unlock();
        if (m_onSample)
            m_onSample(sample);
    }
}

void TransferAggregator::complete(const std::optional<QString> &error, bool cancelledByUs)
{
    if (error && !cancelledByUs && m_onError)
        m_onError(*error);
    std::unique_lock lock(m_lock);
    ++m_completed;
    if (error && !cancelledByUs)
        ++m_failed;
    if (m_completed >= expectedStreams && !m_endTime)
        m_endTime = now();
    if (m_completed >= expectedStreams && onAllComplete) {
        auto done = std::move(onAllComplete);
        onAllComplete = nullptr;
        lock.unlock();
        done();
    }
}

double TransferAggregator::averageMbps() const
{
    std::lock_guard lock(m_lock);
    if (!m_startTime)
        return 0;
    // Up to the last stream's end, however late the engine gets round to asking.
    const double elapsed = m_endTime.value_or(now()) - *m_startTime;
    return elapsed > 0.05 ? double(m_totalBytes) * 8.0 / 1e6 / elapsed : 0;
}

qint64 TransferAggregator::totalBytes() const
{
    std::lock_guard lock(m_lock);
    return m_totalBytes;
}

int TransferAggregator::completedStreams() const
{
    std::lock_guard lock(m_lock);
    return m_completed;
}

int TransferAggregator::failedStreams() const
{
    std::lock_guard lock(m_lock);
    return m_failed;
}

void ParallelUploadAggregator::didSendBodyData(int stream, qint64 totalBytesSent)
{
    qint64 &seen = m_sentPerStream[stream];
    const qint64 step = totalBytesSent - seen;
    if (step <= 0)
        return;
    seen = totalBytesSent;
    progress(step);
}

} // namespace corvane
