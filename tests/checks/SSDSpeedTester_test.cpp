// The disk benchmark: block arithmetic, the failures a volume can give, stop and restart,
// the directory for the start-up volume and the volume list.
#include "checks/SSDSpeedTester.h"
#include "fakes/FakeBenchmarkFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::FakeBenchmarkFiles;

namespace {

constexpr uint64_t kMiB = 1048576;

struct Bench {
    std::shared_ptr<FakeBenchmarkFiles> files = std::make_shared<FakeBenchmarkFiles>();
    std::unique_ptr<SSDSpeedTester> tester;
    QList<double> progress;
    QStringList statuses;
    Bench() { make(); }
    void make()
    {
        tester = std::make_unique<SSDSpeedTester>(files, QStringList{"/tmp"});
        QObject::connect(tester.get(), &SSDSpeedTester::figuresChanged, tester.get(), [this] {
            if (progress.isEmpty() || progress.last() != tester->progress())
                progress << tester->progress();
        });
        QObject::connect(tester.get(), &SSDSpeedTester::statusMessageChanged, tester.get(),
                         [this] { statuses << tester->statusMessage(); });
    }
    // Runs to the end and delivers everything the worker posted.
    void finish()
    {
        tester->waitForWorkers();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

// ---- Block arithmetic -------------------------------------------------------------------

struct BlockCase {
    const char *name;
    int totalMB, blockMB, blocks;
    friend void PrintTo(const BlockCase &c, std::ostream *os) { *os << c.name; }
};
class SSDBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(SSDBlocks, WritesAndReadsWholeBlocksAndStepsProgress)
{
    const BlockCase c = GetParam();
    Bench b;
    // Exactly enough room for the check, which asks for the size plus one block.
    b.files->available = uint64_t(c.totalMB + c.blockMB) * kMiB;
    b.tester->start(c.blockMB, c.totalMB, "/data");
    b.finish();
    ASSERT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Done) << b.tester->statusMessage().toStdString();
    EXPECT_EQ(b.tester->writeHistory().size(), c.blocks);
    EXPECT_EQ(b.tester->readHistory().size(), c.blocks);
    ASSERT_EQ(b.progress.size(), 2 * c.blocks + 1); // 0, each block, and nothing more at the end
    EXPECT_DOUBLE_EQ(b.progress[c.blocks], 0.5);
    for (int i = 1; i <= 2 * c.blocks; ++i)
        EXPECT_DOUBLE_EQ(b.progress[i], double(i) / (2.0 * c.blocks));
    EXPECT_EQ(b.tester->progress(), 1.0);
    EXPECT_TRUE(b.files->lastCreated.rfind("/data/.corvane_ssd_", 0) == 0) << b.files->lastCreated;
    EXPECT_FALSE(b.files->anyFileLeft());

    // One byte less than size plus block: refused before any file exists.
    Bench tight;
    tight.files->available = uint64_t(c.totalMB + c.blockMB) * kMiB - 1;
    tight.tester->start(c.blockMB, c.totalMB, "/data");
    tight.finish();
    EXPECT_EQ(tight.tester->statusMessage(), QStringLiteral("Spațiu insuficient pe volum pentru %1 MB").arg(c.totalMB));
    EXPECT_EQ(tight.tester->phaseValue(), SSDSpeedTester::Phase::Idle);
    EXPECT_TRUE(tight.files->lastCreated.empty());
}
INSTANTIATE_TEST_SUITE_P(SSD, SSDBlocks, ::testing::Values(
    BlockCase{"SizeBelowOneBlock", 32, 64, 1},
    BlockCase{"SixteenBlocks", 1024, 64, 16}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Failures -----------------------------------------------------------------------------

struct FailureCase {
    const char *name;
    std::function<void(FakeBenchmarkFiles &)> arrange;
    const char *status;
    friend void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }
};
class SSDFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SSDFailures, EndWithTheirStatusAndLeaveNoFile)
{
    const FailureCase &c = GetParam();
    Bench b;
    c.arrange(*b.files);
    QSignalSpy ended(b.tester.get(), &SSDSpeedTester::finished);
    b.tester->start(4, 32, "/data");
    b.finish();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(b.tester->statusMessage(), QString::fromUtf8(c.status));
    EXPECT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Idle);
    EXPECT_TRUE(b.tester->failed());
    EXPECT_FALSE(b.tester->statusMessage().startsWith("Test complet"));
    EXPECT_FALSE(b.files->anyFileLeft());
    EXPECT_EQ(b.tester->avgWriteMBs(), 0.0);
}
INSTANTIATE_TEST_SUITE_P(SSD, SSDFailures, ::testing::Values(
    FailureCase{"DiskFillsUp", [](FakeBenchmarkFiles &f) { f.spaceLeft = 10 * kMiB; },
                "Eroare scriere: spațiu insuficient pe volum"},
    FailureCase{"WriteReturnsZero", [](FakeBenchmarkFiles &f) { f.writeReturnsZeroAt = 3; },
                "Eroare scriere: eroare de intrare/ieșire"},
    FailureCase{"ReadFails", [](FakeBenchmarkFiles &f) { f.readErrnoAtCall = 2; },
                "Eroare citire: eroare de intrare/ieșire"},
    FailureCase{"FlushFails", [](FakeBenchmarkFiles &f) { f.syncErrno = EIO; },
                "Eroare sincronizare: eroare de intrare/ieșire"},
    FailureCase{"CreateRefused", [](FakeBenchmarkFiles &f) { f.createErrno = EACCES; },
                "Eroare creare fișier temp"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SSD, VolumeRefusingDirectIoRunsBufferedAndSaysSo)
{
    Bench b;
    b.files->refuseDirect = true;
    b.tester->start(4, 16, "/data");
    b.finish();
    ASSERT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Done);
    EXPECT_FALSE(b.tester->cacheBypassed());
    EXPECT_FALSE(b.files->lastCreateDirect);
    // Every buffered block is flushed inside its timing, and the cache dropped before reading.
    EXPECT_GE(b.files->syncCalls, 4);
    EXPECT_GE(b.files->dropCalls, 1);
    EXPECT_TRUE(b.statuses.contains("Scriere 16 MB · blocuri 4 MB · cu cache"));
    EXPECT_FALSE(b.files->anyFileLeft());
}

TEST(SSD, StopDuringWriteEndsQuietlyAndRemovesTheFile)
{
    Bench b;
    b.files->writeDelay = std::chrono::milliseconds(30);
    b.tester->start(1, 64, "/data");
    QTRY_VERIFY_WITH_TIMEOUT(b.tester->writeHistory().size() >= 1, 5000);
    b.tester->stop();
    EXPECT_EQ(b.tester->statusMessage(), QStringLiteral("Test oprit"));
    b.finish(); // the worker is joined and everything it posted delivered
    EXPECT_EQ(b.tester->statusMessage(), QStringLiteral("Test oprit"));
    EXPECT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Idle);
    EXPECT_FALSE(b.statuses.contains("Citire 64 MB · uncached"));
    EXPECT_FALSE(b.files->anyFileLeft());
    EXPECT_EQ(b.files->readCalls, 0);
}

TEST(SSD, StartRightAfterStopIsNotDisturbedByTheOldRun)
{
    Bench b;
    b.files->writeDelay = std::chrono::milliseconds(20);
    b.tester->start(1, 64, "/data");
    QTRY_VERIFY_WITH_TIMEOUT(b.tester->writeHistory().size() >= 2, 5000);
    b.tester->stop();
    b.files->writeDelay = std::chrono::milliseconds(0);
    b.tester->start(2, 8, "/data");
    EXPECT_TRUE(b.tester->writeHistory().isEmpty());
    b.finish();
    ASSERT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Done);
    EXPECT_EQ(b.tester->writeHistory().size(), 4); // the new run's blocks only
    EXPECT_EQ(b.tester->readHistory().size(), 4);
    EXPECT_EQ(b.tester->runTotalMB(), 8);
    EXPECT_FALSE(b.files->anyFileLeft());
}

// A 64 MB block takes seconds on a slow stick: closing the sheet or stopping in the middle of
// one must neither wait for it nor let it run on. The "disk" holds the third write until the
// test lets it go; the tester is closed or stopped meanwhile.
class SSDMidBlock : public ::testing::TestWithParam<bool> {};
TEST_P(SSDMidBlock, EndsWithinOneChunkWithoutWaitingForTheDisk)
{
    const bool closeSheet = GetParam();
    Bench b;
    b.files->holdWriteCall = 3;
    b.tester->start(64, 1024, "/data");
    QTRY_VERIFY_WITH_TIMEOUT(b.files->isHolding(), 10000);
    if (closeSheet)
        b.tester.reset();
    else
        b.tester->stop();
    // Back here while the write is still in the disk: nothing waited for it.
    EXPECT_TRUE(b.files->isHolding());
    b.files->release();
    QTRY_VERIFY_WITH_TIMEOUT(!b.files->anyFileLeft(), 10000);
    if (!closeSheet)
        b.finish();
    std::lock_guard l(b.files->lock);
    EXPECT_FALSE(b.files->holdTimedOut);
    EXPECT_EQ(b.files->writeCalls, 3); // not one byte after the cut
    EXPECT_LE(b.files->largestWrite, SSDSpeedTester::kChunkBytes);
    EXPECT_EQ(b.files->readCalls, 0);
    if (!closeSheet) {
        EXPECT_TRUE(b.tester->writeHistory().isEmpty()); // the cut block is no measurement
        EXPECT_EQ(b.tester->statusMessage(), QStringLiteral("Test oprit"));
    }
}
INSTANTIATE_TEST_SUITE_P(SSD, SSDMidBlock, ::testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "SheetClosed" : "Stopped"); });

TEST(SSD, AveragesStayUntilTheNextRunCompletesAndStartWhileRunningIsIgnored)
{
    Bench b;
    b.tester->start(4, 16, "/data");
    b.finish();
    const double avgW = b.tester->avgWriteMBs(), avgR = b.tester->avgReadMBs();
    ASSERT_GT(avgW, 0);
    b.files->writeDelay = std::chrono::milliseconds(20);
    b.tester->start(1, 32, "/data");
    b.tester->start(8, 8, "/elsewhere"); // ignored: a run is going
    EXPECT_EQ(b.tester->runVolumePath(), QStringLiteral("/data"));
    QTRY_VERIFY_WITH_TIMEOUT(b.tester->writeHistory().size() >= 2, 5000);
    EXPECT_EQ(b.tester->avgWriteMBs(), avgW);
    EXPECT_EQ(b.tester->avgReadMBs(), avgR);
    EXPECT_EQ(b.tester->peakReadMBs(), 0.0);
    b.finish();
    EXPECT_EQ(b.tester->writeHistory().size(), 32);
}

TEST(SSD, UnknownCapacityIsNotChecked)
{
    Bench b;
    b.files->available.reset();
    b.tester->start(64, 128, "/data");
    b.finish();
    EXPECT_EQ(b.tester->phaseValue(), SSDSpeedTester::Phase::Done);
}

// ---- Where the file goes ------------------------------------------------------------------

TEST(SSDDirectory, StartupVolumeUsesAWritableDiskDirectoryOnTheRootDevice)
{
    FakeBenchmarkFiles f;
    f.directories["/"] = {7, false, false};
    f.directories["/tmp"] = {9, true, true};       // a RAM file system
    f.directories["/var/tmp"] = {7, false, false}; // not writable
    f.directories["/home/u/.cache"] = {8, false, true}; // another disk
    f.directories["/home/u"] = {7, false, true};
    const QStringList candidates{"/tmp", "/var/tmp", "/home/u/.cache", "/home/u"};
    EXPECT_EQ(SSDRules::benchmarkDirectory("/", candidates, f), QStringLiteral("/home/u"));
    f.directories["/home/u"] = {7, true, true};
    EXPECT_EQ(SSDRules::benchmarkDirectory("/", candidates, f), QString());
    // Any other volume is written at its mount folder.
    EXPECT_EQ(SSDRules::benchmarkDirectory("/media/usb", candidates, f), QStringLiteral("/media/usb"));
}

TEST(SSDDirectory, NoDirectoryOnTheVolumeIsAnError)
{
    auto files = std::make_shared<FakeBenchmarkFiles>();
    files->directories["/"] = {7, false, true};
    files->directories["/tmp"] = {9, true, true};
    SSDSpeedTester tester(files, {"/tmp"});
    tester.start(4, 8, "/");
    tester.waitForWorkers();
    QCoreApplication::processEvents();
    EXPECT_EQ(tester.statusMessage(), QStringLiteral("Niciun dosar cu drept de scriere pe acest volum"));
    EXPECT_TRUE(files->lastCreated.empty());
}

// ---- Volume list --------------------------------------------------------------------------

TEST(SSDVolumes, OnlyRealWritableFileSystemsOncePerDevice)
{
    const QList<MountRecord> mounts = {
        {"/", "ext4", "/dev/nvme0n1p2", "", true, 100, 500},
        {"/proc", "proc", "proc", "", true, 0, 0},
        {"/run", "tmpfs", "tmpfs", "", true, 10, 20},
        {"/boot/efi", "vfat", "/dev/nvme0n1p1", "", true, 10, 20},
        {"/snap/core/123", "squashfs", "/dev/loop3", "", false, 0, 60},
        {"/etc/hosts", "ext4", "/dev/nvme0n1p2", "", true, 100, 500}, // a bind mount
        {"/media/u/STICK", "vfat", "/dev/sdb1", "STICK", true, 5, 16},
        {"/mnt/data", "xfs", "/dev/sda1", "", true, 50, 900},
    };
    QStringList got;
    for (const SSDVolume &v : SSDRules::volumesFrom(mounts))
        got << v.path + "=" + v.name;
    EXPECT_EQ(got, (QStringList{"/=/", "/media/u/STICK=STICK", "/mnt/data=data"}));
}

// ---- Texts and rules ----------------------------------------------------------------------

TEST(SSDRulesTexts, CompletionVerdictAndGauge)
{
    EXPECT_EQ(SSDRules::completionText(1234.9, 987.2), QStringLiteral("Test complet · Read 1234 MB/s · Write 987 MB/s"));
    EXPECT_EQ(SSDRules::gaugeMax(0, 0), 1000);
    EXPECT_EQ(SSDRules::gaugeMax(1000, 0), 1000);
    EXPECT_EQ(SSDRules::gaugeMax(0, 1000.1), 1500);
    EXPECT_EQ(SSDRules::gaugeMax(1800, 2600), 3000);
    struct V { double r, w; const char *text, *role; };
    for (const V &v : {V{2600, 2400, "NVMe excelent", "good"}, V{1500, 1500, "NVMe rapid", "good"},
                       V{1499.9, 1499.9, "SATA / NVMe lent", "accent"}, V{200, 200, "SATA SSD", "warning"},
                       V{50, 50, "USB / HDD", "warning"}, V{49.9, 49.9, "—", "warning"}}) {
        EXPECT_EQ(SSDRules::verdict(v.r, v.w), QString::fromUtf8(v.text)) << v.r;
        EXPECT_EQ(SSDRules::verdictRole(v.r, v.w), QString::fromUtf8(v.role)) << v.r;
    }
}

// ---- This machine -------------------------------------------------------------------------

TEST(SSDOnThisMachine, RealVolumeRunsUncachedAndCleansUp)
{
    QTemporaryDir dir(QDir::currentPath() + "/ssd-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    SSDSpeedTester tester;
    tester.start(4, 16, dir.path());
    tester.waitForWorkers();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(tester.phaseValue(), SSDSpeedTester::Phase::Done) << tester.statusMessage().toStdString();
    EXPECT_GT(tester.avgWriteMBs(), 0);
    EXPECT_GT(tester.avgReadMBs(), 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// The real file calls, with a co-tenant that fills the volume right after the run's first block.
class FillingFiles final : public BenchmarkFiles {
public:
    FillingFiles(QString dir) : m_real(BenchmarkFiles::createPosix()), m_dir(std::move(dir)) {}
    int createNew(const std::string &p, bool d) override { return m_real->createNew(p, d); }
    int openForReading(const std::string &p, bool d) override { return m_real->openForReading(p, d); }
    ssize_t write(int fd, const void *data, size_t size) override
    {
        const ssize_t n = m_real->write(fd, data, size);
        if (!m_filled) {
            m_filled = true;
            QFile filler(m_dir + "/filler");
            filler.open(QIODevice::WriteOnly);
            const QByteArray chunk(1 << 16, 'x');
            while (filler.write(chunk) == chunk.size() && filler.flush()) {}
        }
        return n;
    }
    ssize_t read(int fd, void *d, size_t s) override { return m_real->read(fd, d, s); }
    int dataSync(int fd) override { return m_real->dataSync(fd); }
    void dropCache(int fd) override { m_real->dropCache(fd); }
    void close(int fd) override { m_real->close(fd); }
    void remove(const std::string &p) override { m_real->remove(p); }
    std::optional<uint64_t> availableBytes(const std::string &d) override { return m_real->availableBytes(d); }
    std::optional<DirectoryInfo> directoryInfo(const std::string &d) override { return m_real->directoryInfo(d); }

private:
    std::unique_ptr<BenchmarkFiles> m_real;
    QString m_dir;
    bool m_filled = false;
};

TEST(SSDOnThisMachine, SmallFileSystemThatFillsUpEndsWithAnError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8m", "tmpfs", dir.path()}) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        QString p;
        ~Unmount() { QProcess::execute("umount", {p}); }
    } unmount{dir.path()};
    SSDSpeedTester tester(std::make_shared<FillingFiles>(dir.path()), {});
    tester.start(1, 4, dir.path());
    tester.waitForWorkers();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(tester.failed());
    EXPECT_EQ(tester.statusMessage(), QStringLiteral("Eroare scriere: spațiu insuficient pe volum"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});
}

} // namespace
