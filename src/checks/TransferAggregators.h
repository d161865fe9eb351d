#pragma once
// Byte counting of one transfer phase of the speed test: the bytes of all its streams
// together, turned into throughput samples about ten times a second and a phase average.
// Bytes are counted on the transfer thread as they arrive; the callbacks run there too.
#include "platform/Clock.h"

#include <QHash>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

namespace corvane {

class TransferAggregator {
public:
    using SampleFn = std::function<void(double mbps)>;
    using ErrorFn = std::function<void(const QString &description)>;

    TransferAggregator(SampleFn onSample, ErrorFn onError, const Clock &clock = Clock::system());
    virtual ~TransferAggregator() = default;

    // Set by the engine before any stream starts.
    int expectedStreams = 0;
    std::function<void()> onAllComplete;

    // One stream has ended: `error` absent on success; a stream we cancelled reports nothing.
    void complete(const std::optional<QString> &error, bool cancelledByUs = false);
    double averageMbps() const;

    qint64 totalBytes() const;
    int completedStreams() const;
    int failedStreams() const;

protected:
    void progress(qint64 bytes);

private:
    double now() const { return double(m_clock.monotonicNs()) / 1e9; }
    SampleFn m_onSample;
    ErrorFn m_onError;
    const Clock &m_clock;
    mutable std::mutex m_lock;
    qint64 m_totalBytes = 0;
    qint64 m_bytesAtLastTick = 0;
    std::optional<double> m_startTime;
    std::optional<double> m_endTime;
    double m_lastTick;
    int m_completed = 0;
    int m_failed = 0;
};

class ParallelDownloadAggregator : public TransferAggregator {
public:
    using TransferAggregator::TransferAggregator;
    void didReceiveData(qint64 bytes) { progress(bytes); }
};

class ParallelUploadAggregator : public TransferAggregator {
public:
    using TransferAggregator::TransferAggregator;
    // Qt reports the bytes sent so far on each request; the sum needs the step since the last report.
    void didSendBodyData(int stream, qint64 totalBytesSent);

private:
    QHash<int, qint64> m_sentPerStream;
};

} // namespace corvane
