#pragma once
// The CPU soak: N worker threads chain SHA-256 digests and count them in per-worker slots;
// a 0.25 s ticker on the main thread turns the counts into a hash rate.
#include "platform/Clock.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

struct evp_md_ctx_st;
struct evp_md_st;

namespace corvane {

struct LibCrypto;

// One worker's hasher: a digest context set up once and re-initialised per digest.
class Sha256Chain {
public:
    using Digest = std::array<uint8_t, 32>;
    static constexpr int kBatch = 128;

    Sha256Chain();
    ~Sha256Chain();
    Sha256Chain(const Sha256Chain &) = delete;
    Sha256Chain &operator=(const Sha256Chain &) = delete;

    // 128 chained digests: the first over the seed's 8 bytes (little-endian), each next one
    // over the previous digest. Returns the last; `first`, when given, receives the first.
    Digest batch(uint64_t seed, Digest *first = nullptr);

private:
    void digest(const uint8_t *data, size_t len, uint8_t *out);
    const LibCrypto *m_crypto; // null without libcrypto: Qt's SHA-256 instead
    evp_md_ctx_st *m_ctx = nullptr;
    evp_md_st *m_md = nullptr;
};

// The counters of one run, shared by its workers and the engine so that a cancelled
// worker's last flush always lands in live memory.
struct StressRun {
    explicit StressRun(int slotCount) : counters(static_cast<size_t>(std::max(0, slotCount))) {}
    std::vector<std::atomic<uint64_t>> counters;
    std::atomic<bool> cancelled{false};

    uint64_t sum() const;
    // The worker loop on slot i, until the run is cancelled; flushes every 4096 hashes.
    static void work(const std::shared_ptr<StressRun> &run, size_t slot, uint64_t seed);
    static uint64_t randomSeed();
};

class CPUStresser : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int threads READ threads WRITE setThreads NOTIFY threadsChanged)
    Q_PROPERTY(double durationSec READ durationSec WRITE setDurationSec NOTIFY durationSecChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY sampled)
    Q_PROPERTY(double hashesPerSecond READ hashesPerSecond NOTIFY sampled)
    Q_PROPERTY(quint64 totalHashes READ totalHashes NOTIFY sampled)
    Q_PROPERTY(QList<double> hashHistory READ hashHistory NOTIFY sampled)
    Q_PROPERTY(QList<double> utilizationHistory READ utilizationHistory NOTIFY sampled)
    // Screens decide on `phase`; `phaseText` is only for showing.
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QString phaseText READ phaseText NOTIFY phaseChanged)
    Q_PROPERTY(bool running READ running NOTIFY phaseChanged)
    // The threads of the last run started (`threads` may have moved on since).
    Q_PROPERTY(int runThreads READ runThreads NOTIFY phaseChanged)
    Q_PROPERTY(int processorCount READ processorCount CONSTANT)
public:
    enum class Phase { Idle, Running, Done };
    Q_ENUM(Phase)
    static constexpr int kHistoryCap = 240;
    static constexpr int kTickMs = 250;

    explicit CPUStresser(QObject *parent = nullptr);
    // Tests inject the clock and the processor count.
    CPUStresser(const Clock &clock, std::function<int()> processors, QObject *parent = nullptr);
    // Ends a run in progress and waits for its workers: nothing hashes once the screen is gone.
    ~CPUStresser() override;

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    // One sampling step (the ticker's; public for tests).
    void tick();

    int threads() const { return m_threads; }
    void setThreads(int n);
    double durationSec() const { return m_durationSec; }
    void setDurationSec(double s);
    double elapsed() const { return m_elapsed; }
    double hashesPerSecond() const { return m_hashesPerSecond; }
    quint64 totalHashes() const { return m_totalHashes; }
    const QList<double> &hashHistory() const { return m_hashHistory; }
    const QList<double> &utilizationHistory() const { return m_utilizationHistory; }
    Phase phase() const { return m_phase; }
    QString phaseText() const { return phaseRawValue(m_phase); }
    bool running() const { return m_phase == Phase::Running; }
    int runThreads() const { return m_runThreads; }
    int processorCount() const;
    bool tickerActive() const { return m_ticker.isActive(); }
    // Worker threads not yet joined (those of the current run and any still finishing).
    size_t liveWorkers() const { return m_workers.size(); }
    const std::shared_ptr<StressRun> &currentRun() const { return m_run; }

    static QString phaseRawValue(Phase p);
    static int activeProcessorCount();

signals:
    void threadsChanged();
    void durationSecChanged();
    void phaseChanged();
    // Once per tick, after every sampled figure is in place.
    void sampled();

private:
    void joinWorkers();

    const Clock &m_clock;
    std::function<int()> m_processors;
    int m_threads;
    double m_durationSec = 30;
    double m_elapsed = 0;
    double m_hashesPerSecond = 0;
    quint64 m_totalHashes = 0;
    Phase m_phase = Phase::Idle;
    int m_runThreads = 0;
    QList<double> m_utilizationHistory;
    QList<double> m_hashHistory;
    std::vector<std::thread> m_workers;
    std::shared_ptr<StressRun> m_run;
    bool m_hasStart = false;
    uint64_t m_startNs = 0;
    uint64_t m_lastSampleNs = 0;
    QTimer m_ticker;
};

} // namespace corvane
