#include "checks/CPUStresser.h"

#include "platform/LibCrypto.h"

#include <QCryptographicHash>

#include <cstring>

#include <random>

#include <unistd.h>

namespace corvane {

Sha256Chain::Sha256Chain() : m_crypto(LibCrypto::get())
{
    if (!m_crypto)
        return; // digested by Qt's own code below
    m_ctx = m_crypto->mdCtxNew();
    m_md = m_crypto->mdFetch(nullptr, "SHA256", nullptr);
    // Bind the context to SHA-256 once; each digest then re-initialises it in place.
    m_crypto->digestInit(m_ctx, m_md, nullptr);
}

Sha256Chain::~Sha256Chain()
{
    if (!m_crypto)
        return;
    m_crypto->mdCtxFree(m_ctx);
    m_crypto->mdFree(m_md);
}

void Sha256Chain::digest(const uint8_t *data, size_t len, uint8_t *out)
{
    if (!m_crypto) {
        const QByteArray d = QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(len)), QCryptographicHash::Sha256);
        std::memcpy(out, d.constData(), 32);
        return;
    }
    m_crypto->digestInit(m_ctx, nullptr, nullptr); // a fresh hasher, same algorithm, no allocation
    m_crypto->digestUpdate(m_ctx, data, len);
    unsigned int n = 0;
    m_crypto->digestFinal(m_ctx, out, &n);
}

Sha256Chain::Digest Sha256Chain::batch(uint64_t seed, Digest *first)
{
    uint8_t message[8];
    for (int i = 0; i < 8; ++i)
        message[i] = static_cast<uint8_t>(seed >> (8 * i));
    Digest a, b;
    digest(message, sizeof message, a.data());
    if (first)
        *first = a;
    for (int i = 1; i < kBatch; i += 2) {
        digest(a.data(), a.size(), b.data());
        if (i + 1 == kBatch)
            return b;
        digest(b.data(), b.size(), a.data());
    }
    return a;
}

uint64_t StressRun::sum() const
{
    uint64_t s = 0;
    for (const auto &slot : counters)
        s += slot.load(std::memory_order_relaxed);
    return s;
}

uint64_t StressRun::randomSeed()
{
    std::random_device source;
    std::uniform_int_distribution<uint64_t> pick(0, UINT64_MAX - 1);
    return pick(source);
}

void StressRun::work(const std::shared_ptr<StressRun> &run, size_t slot, uint64_t seed)
{
    constexpr uint64_t kFlushEvery = 4096;
    Sha256Chain chain;
    std::atomic<uint64_t> &counter = run->counters[slot];
    uint64_t pending = 0;
    // Cancellation is checked between batches only: a batch in hand always completes.
    while (!run->cancelled.load(std::memory_order_relaxed)) {
        chain.batch(seed);
        ++seed;
        pending += Sha256Chain::kBatch;
        if (pending >= kFlushEvery) {
            counter.store(counter.load(std::memory_order_relaxed) + pending, std::memory_order_relaxed);
            pending = 0;
        }
    }
    counter.store(counter.load(std::memory_order_relaxed) + pending, std::memory_order_relaxed);
}

int CPUStresser::activeProcessorCount()
{
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
}

QString CPUStresser::phaseRawValue(Phase p)
{
    switch (p) {
    case Phase::Idle:
        return QStringLiteral("Standby");
    case Phase::Running:
        return QStringLiteral("În execuție");
    case Phase::Done:
        return QStringLiteral("Finalizat");
    }
    return {};
}

CPUStresser::CPUStresser(QObject *parent) : CPUStresser(Clock::system(), &CPUStresser::activeProcessorCount, parent) {}

CPUStresser::CPUStresser(const Clock &clock, std::function<int()> processors, QObject *parent)
    : QObject(parent), m_clock(clock), m_processors(std::move(processors)), m_threads(m_processors())
{
    m_lastSampleNs = m_clock.monotonicNs();
    m_ticker.setInterval(kTickMs);
    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &CPUStresser::tick);
}

CPUStresser::~CPUStresser()
{
    m_ticker.stop();
    if (m_run)
        m_run->cancelled = true;
    joinWorkers();
}

int CPUStresser::processorCount() const { return m_processors(); }

void CPUStresser::setThreads(int n)
{
    n = std::max(0, n);
    if (n == m_threads)
        return;
    m_threads = n; // takes effect at the next start
    emit threadsChanged();
}

void CPUStresser::setDurationSec(double s)
{
    if (!std::isfinite(s) || s == m_durationSec)
        return;
    m_durationSec = s;
    emit durationSecChanged();
}

void CPUStresser::joinWorkers()
{
    for (auto &t : m_workers)
        if (t.joinable())
            t.join();
    m_workers.clear();
}

void CPUStresser::start()
{
    if (m_phase == Phase::Running)
        return;
    m_phase = Phase::Running;
    m_hasStart = true;
    m_startNs = m_lastSampleNs = m_clock.monotonicNs();
    m_elapsed = 0;
    m_totalHashes = 0;
    m_hashesPerSecond = 0;
    m_utilizationHistory.clear();
    m_hashHistory.clear();

    joinWorkers();
    m_runThreads = m_threads;
    m_run = std::make_shared<StressRun>(m_threads);
    m_workers.reserve(m_run->counters.size());
    for (size_t i = 0; i < m_run->counters.size(); ++i)
        m_workers.emplace_back(&StressRun::work, m_run, i, StressRun::randomSeed());
    m_ticker.start();
    emit phaseChanged();
    emit sampled();
}

void CPUStresser::stop()
{
    if (m_run)
        m_run->cancelled = true;
    // A cancelled worker finishes at most one batch (128 digests): waiting costs microseconds
    // and guarantees that nothing keeps hashing once the run is over.
    joinWorkers();
    m_ticker.stop();
    if (m_phase != Phase::Done) {
        m_phase = Phase::Done;
        emit phaseChanged();
    }
}

void CPUStresser::tick()
{
    if (!m_hasStart || !m_run)
        return;
    const uint64_t now = m_clock.monotonicNs();
    m_elapsed = static_cast<double>(now - m_startNs) / 1e9;
    // The run's own block: its slot count is that of the start, whatever `threads` says now.
    const uint64_t sum = m_run->sum();
    const uint64_t delta = sum - m_totalHashes;
    const double dt = static_cast<double>(now - m_lastSampleNs) / 1e9;
    m_lastSampleNs = now;
    const double rate = static_cast<double>(delta) / std::max(dt, 1e-6);
    m_hashesPerSecond = rate;
    m_totalHashes = sum;
    m_utilizationHistory.append(static_cast<double>(m_threads) / static_cast<double>(std::max(1, processorCount())));
    m_hashHistory.append(rate);
    if (m_hashHistory.size() > kHistoryCap)
        m_hashHistory.remove(0, m_hashHistory.size() - kHistoryCap);
    emit sampled();
    if (m_elapsed >= m_durationSec)
        stop();
}

} // namespace corvane
