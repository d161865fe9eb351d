#pragma once
// Sequential write/read benchmark of one volume: a temporary file written and read back in
// fixed-size blocks with the page cache bypassed, timed per block on a worker thread.
#include "platform/BenchmarkFiles.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <memory>
#include <thread>

namespace corvane {

// One entry of the volume picker.
struct SSDVolume {
    QString id;
    QString name;
    QString path;
    bool isInternal = true;
    quint64 freeBytes = 0;
    quint64 totalBytes = 0;
    bool operator==(const SSDVolume &) const = default;
};

// What the volume list is built from: one mounted file system.
struct MountRecord {
    QString path;
    QString fsType;
    QString device;
    QString label;
    bool valid = true;
    quint64 freeBytes = 0;
    quint64 totalBytes = 0;
};

namespace SSDRules {
// Mounted file systems a user can benchmark: no pseudo, RAM, snap or boot file systems.
QList<SSDVolume> volumesFrom(const QList<MountRecord> &mounts);
QList<MountRecord> mountedFileSystems();
// Where the benchmark file goes for `volumePath`; empty when no suitable directory exists.
// "/" uses the first candidate on the root device that is writable and not RAM-backed.
QString benchmarkDirectory(const QString &volumePath, const QStringList &rootCandidates, BenchmarkFiles &files);
QStringList rootCandidates();
int blockCount(int totalMB, int blockMB);
double gaugeMax(double peakRead, double peakWrite);
QString verdict(double avgRead, double avgWrite);
// "good", "accent" or "warning": the theme role of the verdict's colour.
QString verdictRole(double avgRead, double avgWrite);
QString completionText(double avgRead, double avgWrite);
} // namespace SSDRules

class SSDSpeedTester : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double readMBs READ readMBs NOTIFY figuresChanged)
    Q_PROPERTY(double writeMBs READ writeMBs NOTIFY figuresChanged)
    Q_PROPERTY(double peakReadMBs READ peakReadMBs NOTIFY figuresChanged)
    Q_PROPERTY(double peakWriteMBs READ peakWriteMBs NOTIFY figuresChanged)
    Q_PROPERTY(double avgReadMBs READ avgReadMBs NOTIFY averagesChanged)
    Q_PROPERTY(double avgWriteMBs READ avgWriteMBs NOTIFY averagesChanged)
    // Screens decide on `phase`; `phaseText` is only for showing.
    Q_PROPERTY(Phase phase READ phaseValue NOTIFY phaseChanged)
    Q_PROPERTY(QString phaseText READ phaseText NOTIFY phaseChanged)
    Q_PROPERTY(double progress READ progress NOTIFY figuresChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(QList<double> readHistory READ readHistory NOTIFY figuresChanged)
    Q_PROPERTY(QList<double> writeHistory READ writeHistory NOTIFY figuresChanged)
    Q_PROPERTY(bool running READ running NOTIFY phaseChanged)
    // The run the figures belong to (the card reports these, not the slider's new value).
    Q_PROPERTY(int runTotalMB READ runTotalMB NOTIFY runChanged)
    Q_PROPERTY(int runBlockMB READ runBlockMB NOTIFY runChanged)
    Q_PROPERTY(QString runVolumePath READ runVolumePath NOTIFY runChanged)
    // False when the volume refused O_DIRECT and the run went through the page cache.
    Q_PROPERTY(bool cacheBypassed READ cacheBypassed NOTIFY runChanged)
    // True when the last run ended on an I/O error.
    Q_PROPERTY(bool failed READ failed NOTIFY phaseChanged)
public:
    enum class Phase { Idle, Writing, Reading, Done };
    Q_ENUM(Phase)
    static QString rawValue(Phase p);
    static std::optional<Phase> phaseFromRaw(const QString &raw);

    // The most one read or write call moves: what a cancelled run may still move. Large
    // enough that the disk sees deep queues (O_DIRECT splits a call into many requests).
    static constexpr size_t kChunkBytes = 4u << 20;

    explicit SSDSpeedTester(QObject *parent = nullptr);
    SSDSpeedTester(std::shared_ptr<BenchmarkFiles> files, QStringList rootCandidates, QObject *parent = nullptr);
    ~SSDSpeedTester() override;

    Q_INVOKABLE void start(int blockMB, int totalMB, const QString &volumePath);
    Q_INVOKABLE void stop();
    Q_INVOKABLE QVariantList loadVolumes() const;

    double readMBs() const { return m_readMBs; }
    double writeMBs() const { return m_writeMBs; }
    double peakReadMBs() const { return m_peakReadMBs; }
    double peakWriteMBs() const { return m_peakWriteMBs; }
    double avgReadMBs() const { return m_avgReadMBs; }
    double avgWriteMBs() const { return m_avgWriteMBs; }
    Phase phaseValue() const { return m_phase; }
    QString phaseText() const { return rawValue(m_phase); }
    double progress() const { return m_progress; }
    QString statusMessage() const { return m_status; }
    QList<double> readHistory() const { return m_readHistory; }
    QList<double> writeHistory() const { return m_writeHistory; }
    bool running() const { return m_running; }
    int runTotalMB() const { return m_runTotalMB; }
    int runBlockMB() const { return m_runBlockMB; }
    QString runVolumePath() const { return m_runVolumePath; }
    bool cacheBypassed() const { return m_cacheBypassed; }
    bool failed() const { return m_failed; }
    // Path of the file of the run under way, empty before it is chosen (tests watch it).
    QString currentFilePath() const;
    // Waits for every worker to end (tests and the benchmark).
    void waitForWorkers();
    // Waits for the workers of testers already destroyed to remove their files (at exit).
    static void finishAbandonedRuns();

signals:
    void figuresChanged();
    void averagesChanged();
    void phaseChanged();
    void statusMessageChanged();
    void runChanged();
    void finished();

private:
    struct Run;
    static void work(const std::shared_ptr<Run> &run);
    void applyBlock(quint64 token, bool writing, double rate, double progress);
    void applyStatus(quint64 token, const QString &status, Phase phase);
    void applyEnd(quint64 token, const QString &status, Phase phase, bool failed, double avgRead, double avgWrite, bool hasAverages);
    void applyCacheMode(quint64 token, bool bypassed);
    void setPhase(Phase p);
    void setStatus(const QString &s);

    std::shared_ptr<BenchmarkFiles> m_files;
    QStringList m_rootCandidates;
    std::shared_ptr<Run> m_run;
    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_workerEnded;
    quint64 m_token = 0;

    double m_readMBs = 0, m_writeMBs = 0, m_peakReadMBs = 0, m_peakWriteMBs = 0;
    double m_avgReadMBs = 0, m_avgWriteMBs = 0, m_progress = 0;
    Phase m_phase = Phase::Idle;
    QString m_status;
    QList<double> m_readHistory, m_writeHistory;
    bool m_running = false;
    int m_runTotalMB = 0, m_runBlockMB = 0;
    QString m_runVolumePath;
    bool m_cacheBypassed = true;
    bool m_failed = false;
};

} // namespace corvane
