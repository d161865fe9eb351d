#include "checks/SSDSpeedTester.h"

#include "common/Formatters.h"
#include "common/Numbers.h"

#include <QDir>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUuid>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numeric>

namespace corvane {

namespace {

constexpr uint64_t kMiB = 1048576;

QString errnoText(int err)
{
    switch (err) {
    case ENOSPC: return QStringLiteral("spațiu insuficient pe volum");
    case EDQUOT: return QStringLiteral("cota de spațiu depășită");
    case EIO: return QStringLiteral("eroare de intrare/ieșire");
    case EROFS: return QStringLiteral("volum doar pentru citire");
    case EACCES:
    case EPERM: return QStringLiteral("acces refuzat");
    default: {
        char buf[256];
        return QString::fromLocal8Bit(strerror_r(err, buf, sizeof buf));
    }
    }
}

double mean(const std::vector<double> &v)
{
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

struct AlignedFree {
    void operator()(void *p) const { std::free(p); }
};

} // namespace

// ---- Rules ------------------------------------------------------------------------------

QList<SSDVolume> SSDRules::volumesFrom(const QList<MountRecord> &mounts)
{
    static const QStringList skippedTypes = {
        "tmpfs", "ramfs", "devtmpfs", "proc", "sysfs", "cgroup", "cgroup2", "debugfs", "tracefs",
        "securityfs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "devpts",
        "autofs", "binfmt_misc", "efivarfs", "nsfs", "rpc_pipefs", "overlay", "squashfs",
        "selinuxfs", "nfsd", "zram", "fuse.portal", "fuse.gvfsd-fuse", "fuse.lxcfs"};
    QList<SSDVolume> out;
    QStringList devices;
    QList<MountRecord> sorted = mounts;
    // Of several mounts of one device (bind mounts) the shortest path stands for it.
    std::stable_sort(sorted.begin(), sorted.end(), [](const MountRecord &a, const MountRecord &b) {
        return a.path.size() < b.path.size();
    });
    for (const MountRecord &m : sorted) {
        if (!m.valid || m.totalBytes == 0 || skippedTypes.contains(m.fsType))
            continue;
        if (m.device.startsWith(QLatin1String("/dev/loop")) || m.path.startsWith(QLatin1String("/snap/")))
            continue;
        if (m.path == QLatin1String("/boot") || m.path.startsWith(QLatin1String("/boot/")))
            continue;
        if (!m.device.isEmpty() && devices.contains(m.device))
            continue;
        devices << m.device;
        SSDVolume v;
        v.id = v.path = m.path;
        QString last = m.path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
        v.name = !m.label.isEmpty() ? m.label : (last.isEmpty() ? m.path : last);
        v.freeBytes = m.freeBytes;
        v.totalBytes = m.totalBytes;
        out << v;
    }
    // Back in the system's mount order.
    std::stable_sort(out.begin(), out.end(), [&](const SSDVolume &a, const SSDVolume &b) {
        auto index = [&](const SSDVolume &v) {
            return std::find_if(mounts.begin(), mounts.end(), [&](const MountRecord &m) { return m.path == v.path; }) - mounts.begin();
        };
        return index(a) < index(b);
    });
    return out;
}

QList<MountRecord> SSDRules::mountedFileSystems()
{
    QList<MountRecord> out;
    for (const QStorageInfo &s : QStorageInfo::mountedVolumes()) {
        MountRecord m;
        m.path = s.rootPath();
        m.fsType = QString::fromLatin1(s.fileSystemType());
        m.device = QString::fromLocal8Bit(s.device());
        m.label = s.name();
        m.valid = s.isValid() && s.isReady() && !s.isReadOnly();
        m.freeBytes = quint64(std::max<qint64>(0, s.bytesAvailable()));
        m.totalBytes = quint64(std::max<qint64>(0, s.bytesTotal()));
        out << m;
    }
    return out;
}

QString SSDRules::benchmarkDirectory(const QString &volumePath, const QStringList &rootCandidates, BenchmarkFiles &files)
{
    if (volumePath != QLatin1String("/"))
        return volumePath;
    const auto root = files.directoryInfo("/");
    if (!root)
        return {};
    for (const QString &c : rootCandidates) {
        const auto info = files.directoryInfo(c.toStdString());
        if (info && info->device == root->device && !info->ramBacked && info->writable)
            return c;
    }
    return {};
}

QStringList SSDRules::rootCandidates()
{
    return {QDir::tempPath(), QStringLiteral("/var/tmp"),
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), QDir::homePath()};
}

int SSDRules::blockCount(int totalMB, int blockMB)
{
    return blockMB > 0 ? std::max(1, totalMB / blockMB) : 1;
}

double SSDRules::gaugeMax(double peakRead, double peakWrite)
{
    double m = std::max(1000.0, std::max(peakRead, peakWrite));
    if (!std::isfinite(m))
        m = 1000.0;
    return std::ceil(m / 500.0) * 500.0;
}

QString SSDRules::verdict(double avgRead, double avgWrite)
{
    const double m = (avgRead + avgWrite) * 0.5;
    if (m >= 2500) return QStringLiteral("NVMe excelent");
    if (m >= 1500) return QStringLiteral("NVMe rapid");
    if (m >= 700) return QStringLiteral("SATA / NVMe lent");
    if (m >= 200) return QStringLiteral("SATA SSD");
    if (m >= 50) return QStringLiteral("USB / HDD");
    return QStringLiteral("—");
}

QString SSDRules::verdictRole(double avgRead, double avgWrite)
{
    const double m = (avgRead + avgWrite) * 0.5;
    if (m >= 1500) return QStringLiteral("good");
    if (m >= 700) return QStringLiteral("accent");
    return QStringLiteral("warning");
}

QString SSDRules::completionText(double avgRead, double avgWrite)
{
    return QStringLiteral("Test complet · Read %1 MB/s · Write %2 MB/s")
        .arg(saturatingCast<qint64>(avgRead)).arg(saturatingCast<qint64>(avgWrite));
}

// ---- Engine -----------------------------------------------------------------------------

struct SSDSpeedTester::Run {
    quint64 token = 0;
    int blockMB = 64;
    int totalMB = 1024;
    QString volumePath;
    std::shared_ptr<BenchmarkFiles> files;
    QStringList rootCandidates;
    std::atomic<bool> cancelled{false};
    std::mutex pathLock;
    QString filePath;
    // The tester the run reports to; cleared when the tester goes, which may be mid-run.
    std::mutex ownerLock;
    SSDSpeedTester *owner = nullptr;

    // Hands `fn(tester)` to the tester's thread, unless the tester is gone.
    template <typename Fn>
    void post(Fn fn)
    {
        std::lock_guard lock(ownerLock);
        if (SSDSpeedTester *o = owner)
            QMetaObject::invokeMethod(o, [o, fn = std::move(fn)] { fn(o); }, Qt::QueuedConnection);
    }
};

namespace {

// Workers of testers already gone, still removing their file. Joined as they are replaced
// and at the end of the program, so no run is cut off with its file on the disk.
struct AbandonedRuns {
    std::mutex lock;
    std::vector<std::pair<std::shared_ptr<std::atomic<bool>>, std::thread>> workers;

    void add(std::shared_ptr<std::atomic<bool>> ended, std::thread worker)
    {
        std::lock_guard l(lock);
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->first->load()) {
                it->second.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
        workers.emplace_back(std::move(ended), std::move(worker));
    }
    void joinAll()
    {
        decltype(workers) all;
        {
            std::lock_guard l(lock);
            all.swap(workers);
        }
        for (auto &[ended, worker] : all)
            worker.join();
    }
    ~AbandonedRuns() { joinAll(); }
};

AbandonedRuns &abandonedRuns()
{
    static AbandonedRuns runs;
    return runs;
}

} // namespace

QString SSDSpeedTester::rawValue(Phase p)
{
    switch (p) {
    case Phase::Idle: return QStringLiteral("Standby");
    case Phase::Writing: return QStringLiteral("Scriere");
    case Phase::Reading: return QStringLiteral("Citire");
    case Phase::Done: return QStringLiteral("Finalizat");
    }
    return {};
}

std::optional<SSDSpeedTester::Phase> SSDSpeedTester::phaseFromRaw(const QString &raw)
{
    for (Phase p : {Phase::Idle, Phase::Writing, Phase::Reading, Phase::Done})
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

SSDSpeedTester::SSDSpeedTester(QObject *parent)
    : SSDSpeedTester(BenchmarkFiles::createPosix(), SSDRules::rootCandidates(), parent)
{
}

SSDSpeedTester::SSDSpeedTester(std::shared_ptr<BenchmarkFiles> files, QStringList rootCandidates, QObject *parent)
    : QObject(parent), m_files(std::move(files)), m_rootCandidates(std::move(rootCandidates)),
      m_status(QStringLiteral("Apasă START pentru test"))
{
}

SSDSpeedTester::~SSDSpeedTester()
{
    // The sheet is going away: the run stops within one chunk and its worker removes the
    // file, without the interface waiting for the disk.
    if (m_run) {
        m_run->cancelled = true;
        std::lock_guard lock(m_run->ownerLock);
        m_run->owner = nullptr;
    }
    if (m_worker.joinable())
        abandonedRuns().add(m_workerEnded, std::move(m_worker));
}

void SSDSpeedTester::finishAbandonedRuns() { abandonedRuns().joinAll(); }

QVariantList SSDSpeedTester::loadVolumes() const
{
    QVariantList out;
    for (const SSDVolume &v : SSDRules::volumesFrom(SSDRules::mountedFileSystems())) {
        out << QVariantMap{{"id", v.id}, {"name", v.name}, {"path", v.path}, {"isInternal", v.isInternal},
                           {"freeBytes", double(v.freeBytes)}, {"totalBytes", double(v.totalBytes)},
                           {"label", v.name + QStringLiteral(" · ") + byteCountText(v.freeBytes) + QStringLiteral(" liber")}};
    }
    return out;
}

QString SSDSpeedTester::currentFilePath() const
{
    if (!m_run)
        return {};
    std::lock_guard lock(m_run->pathLock);
    return m_run->filePath;
}

void SSDSpeedTester::waitForWorkers()
{
    if (m_worker.joinable())
        m_worker.join();
}

void SSDSpeedTester::setPhase(Phase p)
{
    m_phase = p;
    emit phaseChanged();
}

void SSDSpeedTester::setStatus(const QString &s)
{
    if (s == m_status)
        return;
    m_status = s;
    emit statusMessageChanged();
}

void SSDSpeedTester::start(int blockMB, int totalMB, const QString &volumePath)
{
    if (m_running)
        return;
    blockMB = std::clamp(blockMB, 1, 1024);
    totalMB = std::clamp(totalMB, 1, 1 << 20);
    m_running = true;
    m_failed = false;
    m_progress = 0;
    m_readMBs = m_writeMBs = m_peakReadMBs = m_peakWriteMBs = 0;
    m_readHistory.clear();
    m_writeHistory.clear();
    m_runTotalMB = totalMB;
    m_runBlockMB = blockMB;
    m_runVolumePath = volumePath;
    m_cacheBypassed = true;
    setPhase(Phase::Writing);
    emit figuresChanged();
    emit runChanged();
    setStatus(QStringLiteral("Pregătire bufferi…"));

    auto run = std::make_shared<Run>();
    run->token = ++m_token;
    run->blockMB = blockMB;
    run->totalMB = totalMB;
    run->volumePath = volumePath;
    run->files = m_files;
    run->rootCandidates = m_rootCandidates;
    run->owner = this;
    m_run = run;
    // The new worker waits for the previous one to finish cleaning up, so two runs never
    // share the disk and the measurements stay clean.
    std::thread previous = std::move(m_worker);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    m_workerEnded = ended;
    m_worker = std::thread([run, ended, previous = std::move(previous)]() mutable {
        if (previous.joinable())
            previous.join();
        if (!run->cancelled)
            work(run);
        *ended = true;
    });
}

void SSDSpeedTester::stop()
{
    if (m_run)
        m_run->cancelled = true;
    ++m_token; // whatever the old run still posts is dropped
    m_running = false;
    setPhase(Phase::Idle);
    setStatus(QStringLiteral("Test oprit"));
}

void SSDSpeedTester::applyBlock(quint64 token, bool writing, double rate, double progress)
{
    if (token != m_token)
        return;
    if (writing) {
        m_writeMBs = rate;
        m_peakWriteMBs = std::max(m_peakWriteMBs, rate);
        m_writeHistory << rate;
    } else {
        m_readMBs = rate;
        m_peakReadMBs = std::max(m_peakReadMBs, rate);
        m_readHistory << rate;
    }
    m_progress = progress;
    emit figuresChanged();
}

void SSDSpeedTester::applyStatus(quint64 token, const QString &status, Phase phase)
{
    if (token != m_token)
        return;
    setStatus(status);
    if (phase != m_phase)
        setPhase(phase);
}

void SSDSpeedTester::applyCacheMode(quint64 token, bool bypassed)
{
    if (token != m_token)
        return;
    m_cacheBypassed = bypassed;
    emit runChanged();
}

void SSDSpeedTester::applyEnd(quint64 token, const QString &status, Phase phase, bool failed, double avgRead,
                              double avgWrite, bool hasAverages)
{
    if (token != m_token)
        return;
    if (hasAverages) {
        m_avgReadMBs = avgRead;
        m_avgWriteMBs = avgWrite;
        m_progress = 1;
        emit averagesChanged();
        emit figuresChanged();
    }
    m_running = false;
    m_failed = failed;
    setStatus(status);
    setPhase(phase);
    emit finished();
}

void SSDSpeedTester::work(const std::shared_ptr<Run> &run)
{
    BenchmarkFiles &io = *run->files;
    const quint64 token = run->token;
    const int blocks = SSDRules::blockCount(run->totalMB, run->blockMB);
    const size_t blockBytes = size_t(run->blockMB) * kMiB;
    const double blockMiB = double(run->blockMB);

    // Every publication goes through the run, which drops it once the tester is gone; the
    // queued call itself only runs while the tester lives.
    auto post = [&run](auto fn) { run->post(std::move(fn)); };
    auto end = [&](const QString &status, bool failed) {
        post([token, status, failed](SSDSpeedTester *t) { t->applyEnd(token, status, Phase::Idle, failed, 0, 0, false); });
    };

    const QString dir = SSDRules::benchmarkDirectory(run->volumePath, run->rootCandidates, io);
    if (dir.isEmpty())
        return end(QStringLiteral("Niciun dosar cu drept de scriere pe acest volum"), true);

    const auto available = io.availableBytes(dir.toStdString());
    if (available && *available < uint64_t(run->totalMB + run->blockMB) * kMiB)
        return end(QStringLiteral("Spațiu insuficient pe volum pentru %1 MB").arg(run->totalMB), false);

    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t bufferBytes = (blockBytes + page - 1) / page * page;
    std::unique_ptr<void, AlignedFree> buffer(std::aligned_alloc(page, bufferBytes));
    if (!buffer)
        return end(QStringLiteral("Memorie insuficientă pentru bufferi"), true);
    std::memset(buffer.get(), 0xA5, bufferBytes);

    const QString path = QDir(dir).filePath(QStringLiteral(".corvane_ssd_%1.bin")
                                                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    const std::string cpath = path.toStdString();
    {
        std::lock_guard lock(run->pathLock);
        run->filePath = path;
    }

    bool direct = true;
    int fd = io.createNew(cpath, true);
    if (fd == -EINVAL) {
        // tmpfs on older kernels and some FUSE volumes refuse O_DIRECT: go through the cache,
        // flushing every block and dropping the cached pages before reading back.
        direct = false;
        fd = io.createNew(cpath, false);
    }
    if (fd < 0)
        return end(QStringLiteral("Eroare creare fișier temp"), true);
    post([token, direct](SSDSpeedTester *t) { t->applyCacheMode(token, direct); });
    const QString mode = direct ? QStringLiteral("uncached") : QStringLiteral("cu cache");
    post([token, s = QStringLiteral("Scriere %1 MB · blocuri %2 MB · %3").arg(run->totalMB).arg(run->blockMB).arg(mode)](
             SSDSpeedTester *t) { t->applyStatus(token, s, Phase::Writing); });

    auto fail = [&](const QString &what, int err) {
        io.close(fd);
        io.remove(cpath);
        end(what + QStringLiteral(": ") + errnoText(err), true);
    };
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::max(std::chrono::duration<double>(b - a).count(), 1e-9);
    };

    // One block in chunks, so a stop or a closed sheet ends the run within one chunk, not one
    // block. 0 or the errno; a transfer of nothing (a file shorter than what was written) is EIO.
    auto transferBlock = [&](auto op) {
        size_t done = 0;
        while (done < blockBytes && !run->cancelled) {
            const ssize_t n = op(static_cast<char *>(buffer.get()) + done, std::min(blockBytes - done, kChunkBytes));
            if (n == -EINTR)
                continue;
            if (n <= 0)
                return n == 0 ? EIO : int(-n);
            done += size_t(n);
        }
        return 0;
    };
    // Times each block of one pass and publishes its rate; 0 or the errno that ended the pass.
    auto measurePass = [&](bool writing, std::vector<double> &rates) {
        for (int i = 0; i < blocks && !run->cancelled; ++i) {
            const auto t0 = Clock::now();
            int err = writing ? transferBlock([&](const char *p, size_t n) { return io.write(fd, p, n); })
                              : transferBlock([&](char *p, size_t n) { return io.read(fd, p, n); });
            if (run->cancelled)
                break; // a block cut short is not a measurement
            if (err == 0 && writing && !direct) {
                const int s = io.dataSync(fd);
                err = s < 0 ? -s : 0;
            }
            const auto t1 = Clock::now();
            if (err)
                return err;
            const double rate = blockMiB / seconds(t0, t1);
            rates.push_back(rate);
            const double progress = (writing ? 0.0 : 0.5) + double(i + 1) / (2.0 * blocks);
            post([token, writing, rate, progress](SSDSpeedTester *t) { t->applyBlock(token, writing, rate, progress); });
        }
        return 0;
    };

    std::vector<double> writeRates, readRates;
    if (const int err = measurePass(true, writeRates))
        return fail(QStringLiteral("Eroare scriere"), err);
    if (run->cancelled) {
        io.close(fd);
        io.remove(cpath);
        return;
    }
    int synced;
    do
        synced = io.dataSync(fd);
    while (synced == -EINTR);
    if (synced < 0)
        return fail(QStringLiteral("Eroare sincronizare"), -synced);
    if (!direct)
        io.dropCache(fd);
    io.close(fd);

    post([token, s = QStringLiteral("Citire %1 MB · %2").arg(run->totalMB).arg(mode)](SSDSpeedTester *t) {
        t->applyStatus(token, s, Phase::Reading);
    });
    fd = io.openForReading(cpath, direct);
    if (fd < 0) {
        io.remove(cpath);
        return end(QStringLiteral("Eroare citire"), true);
    }
    if (!direct)
        io.dropCache(fd);
    if (const int err = measurePass(false, readRates))
        return fail(QStringLiteral("Eroare citire"), err);
    io.close(fd);
    io.remove(cpath);
    if (run->cancelled)
        return;
    const double avgRead = mean(readRates), avgWrite = mean(writeRates);
    post([token, avgRead, avgWrite](SSDSpeedTester *t) {
        t->applyEnd(token, SSDRules::completionText(avgRead, avgWrite), Phase::Done, false, avgRead, avgWrite, true);
    });
}

} // namespace corvane
