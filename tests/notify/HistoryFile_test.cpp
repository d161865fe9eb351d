// The two history files as a careless disk leaves them: what is kept aside, what is left
// alone, and that nothing recorded while the file is being read is lost.
#include "notify/BatteryHistory.h"
#include "notify/HistoryFile.h"
#include "notify/PrivacyNotifier.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeNotifications.h"
#include "fakes/MonitorFeeds.h"
#include "notify/IsolatedSettings.h"
#include "support/HistoryWait.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::test;

namespace {

const QByteArray kOneSnapshot = R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":700000000,"percent":80,)"
                                R"("isCharging":false,"healthPercent":90,"cycleCount":3,"temperature":30}])";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList g_logged;
void keepMessage(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    g_logged << QString::fromLatin1(ctx.category) + QStringLiteral(": ") + msg;
}

// What sits where the battery history should be, and what must become of it.
enum class Fate { KeptAsCorrupt, KeptAsTooLarge, LeftAlone };

struct BadFile {
    const char *name;
    std::function<void(const QString &path)> make;
    Fate fate;
    bool needsUnprivileged = false;
};

class BadHistoryFile : public ::testing::TestWithParam<BadFile> {
protected:
    QTemporaryDir dir;
    FakeClock clock;
    BatteryFeed battery;
};

TEST_P(BadHistoryFile, IsKeptAsideOrLeftAloneAndNeverSavedOver)
{
    const auto &c = GetParam();
    if (c.needsUnprivileged && ::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString path = dir.filePath("battery-history.json");
    c.make(path);
    // Opening a pipe would wait for a writer: only regular files are compared by content.
    const auto contents = [&] { return QFileInfo(path).isFile() ? readAll(path) : QByteArray("(not a file)"); };
    const QByteArray before = contents();

    g_logged.clear();
    const auto previous = qInstallMessageHandler(keepMessage);
    BatteryHistory h(dir.path(), clock);
    const bool loaded = waitLoaded(h);
    battery.refresh(55, false);
    h.bind(&battery.mon);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(h.snapshots().size(), 1); // this run's capture, in memory either way
    ASSERT_EQ(g_logged.size(), 1) << g_logged.join('\n').toStdString();

    const QStringList corrupt = QDir(dir.path()).entryList({"battery-history.json.corrupt-*"}, QDir::Files);
    const QStringList tooLarge = QDir(dir.path()).entryList({"battery-history.json.too-large-*"}, QDir::Files);
    switch (c.fate) {
    case Fate::KeptAsCorrupt:
    case Fate::KeptAsTooLarge: {
        const QStringList &aside = c.fate == Fate::KeptAsCorrupt ? corrupt : tooLarge;
        EXPECT_EQ(corrupt.size() + tooLarge.size(), 1);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readAll(dir.filePath(aside[0])), before);
        // Saving goes on in a fresh file.
        h.finishSaving();
        EXPECT_EQ(BatteryHistory::decode(readAll(path)).value_or(QList<BatterySnapshot>{}), h.snapshots());
        break;
    }
    case Fate::LeftAlone: {
        EXPECT_TRUE(corrupt.isEmpty());
        EXPECT_TRUE(tooLarge.isEmpty());
        EXPECT_TRUE(g_logged[0].contains(QStringLiteral("left in place"))) << g_logged[0].toStdString();
        QFileInfo info(path);
        EXPECT_TRUE(info.exists());
        // Still what it was: not renamed, not replaced by the capture.
        if (info.isFile())
            ::chmod(QFile::encodeName(path).constData(), 0600);
        EXPECT_EQ(contents(), before);
        break;
    }
    }
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    OnDisk, BadHistoryFile,
    ::testing::Values(
        BadFile{"NotJson", [](const QString &p) { writeBytes(p, "{not json"); }, Fate::KeptAsCorrupt},
        BadFile{"Empty", [](const QString &p) { writeBytes(p, ""); }, Fate::KeptAsCorrupt},
        BadFile{"BinaryGarbage", [](const QString &p) { writeBytes(p, QByteArray("\x00\xff\xfe[", 4)); },
                Fate::KeptAsCorrupt},
        // Sparse: one byte over the cap without writing 32 MB.
        BadFile{"OneByteOverTheCap",
                [](const QString &p) {
                    QFile f(p);
                    f.open(QIODevice::WriteOnly);
                    f.resize(HistoryFile::kMaxBytes + 1);
                },
                Fate::KeptAsTooLarge},
        BadFile{"NoReadPermission",
                [](const QString &p) {
                    writeBytes(p, kOneSnapshot);
                    ::chmod(QFile::encodeName(p).constData(), 0);
                },
                Fate::LeftAlone, true},
        BadFile{"FolderInItsPlace", [](const QString &p) { QDir().mkpath(p + "/inside"); }, Fate::LeftAlone},
        // Opening a pipe for reading would wait for a writer forever.
        BadFile{"PipeInItsPlace", [](const QString &p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); },
                Fate::LeftAlone}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HistoryFileRead, StopsAtTheCap)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("h.json");
    writeBytes(path, QByteArray(100, 'x'));
    EXPECT_EQ(HistoryFile::readBounded(path, 100).outcome, HistoryFile::Outcome::Loaded);
    EXPECT_EQ(HistoryFile::readBounded(path, 100).bytes.size(), 100);
    EXPECT_EQ(HistoryFile::readBounded(path, 99).outcome, HistoryFile::Outcome::TooLarge);
    EXPECT_TRUE(HistoryFile::readBounded(path, 99).bytes.isEmpty());
    EXPECT_EQ(HistoryFile::readBounded(dir.filePath("none.json"), 100).outcome, HistoryFile::Outcome::Missing);
    // A file standing where the folder should be: no history yet, not an unreadable one.
    EXPECT_EQ(HistoryFile::readBounded(path + "/h.json", 100).outcome, HistoryFile::Outcome::Missing);
}

// The cap must sit above the largest history the app writes, or a healthy file would be
// thrown aside: 90 days of snapshots every 600 s, each with the longest numbers JSON gives.
TEST(HistoryFileRead, CapHoldsTheLargestHistoryTheAppWrites)
{
    BatterySnapshot worst;
    worst.id = QUuid::createUuid();
    worst.date = -std::numeric_limits<double>::max() / 3;
    worst.percent = -1.2345678901234567e-300;
    worst.healthPercent = -1.2345678901234567e-300;
    worst.temperature = -1.2345678901234567e-300;
    worst.cycleCount = std::numeric_limits<qint64>::min();
    const qint64 steadyState = qint64(BatteryHistory::retentionSeconds / BatteryHistory::captureInterval);
    // One more snapshot in the array: the object and its comma.
    const qint64 perSnapshot = BatteryHistory::encode({worst, worst}).size() - BatteryHistory::encode({worst}).size();
    EXPECT_LE(perSnapshot, 245);
    // Room for the steady state ten times over (captures after restarts come on top).
    EXPECT_LT(steadyState * perSnapshot * 10, HistoryFile::kMaxBytes);

    PrivacyEvent e;
    e.id = QUuid::createUuid();
    e.date = worst.date;
    e.deviceName = QString(4096, QChar(0x1f)); // control characters take six bytes each
    QList<PrivacyEvent> events;
    for (int i = 0; i < PrivacyNotifier::maxEvents; ++i)
        events.append(e);
    EXPECT_LT(PrivacyNotifier::encode(events).size(), HistoryFile::kMaxBytes);
}

class LoadingHistory : public ::testing::Test {
protected:
    void SetUp() override { useIsolatedSettings(); }
    QTemporaryDir dir;
    FakeClock clock;
    FakeNotifications notes;
    FakeFrontmost frontmost;
};

TEST_F(LoadingHistory, EventsRecordedWhileReadingJoinTheStoredOnes)
{
    QList<PrivacyEvent> stored;
    {
        PrivacyNotifier writer(dir.path(), &notes, frontmost, clock);
        ASSERT_TRUE(waitLoaded(writer));
        for (int i = 0; i < 49; ++i)
            writer.record(PrivacyEvent::Kind::camera, i % 2 == 0, std::nullopt);
        stored = writer.history();
    }
    PrivacyNotifier n(dir.path(), &notes, frontmost, clock);
    ASSERT_FALSE(n.isLoaded()); // the constructor does not wait for the disk
    n.record(PrivacyEvent::Kind::microphone, true, QStringLiteral("Mic"));
    n.record(PrivacyEvent::Kind::microphone, false, QStringLiteral("Mic"));
    // Not written yet: that would replace the stored events before they were read.
    EXPECT_EQ(PrivacyNotifier::decode(readAll(n.historyPath())).value_or(QList<PrivacyEvent>{}), stored);
    ASSERT_TRUE(waitLoaded(n));

    ASSERT_EQ(n.history().size(), PrivacyNotifier::maxEvents);
    EXPECT_EQ(n.history()[0].kind, PrivacyEvent::Kind::microphone);
    EXPECT_FALSE(n.history()[0].active);
    EXPECT_TRUE(n.history()[1].active);
    EXPECT_EQ(n.history().mid(2), stored.mid(0, 48)); // newest 50 kept
    n.finishSaving();
    EXPECT_EQ(PrivacyNotifier::decode(readAll(n.historyPath())).value_or(QList<PrivacyEvent>{}), n.history());
}

TEST_F(LoadingHistory, SnapshotsTakenWhileReadingFollowTheStoredOnes)
{
    QFile f(dir.filePath("battery-history.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kOneSnapshot);
    f.close();
    clock.setWall(978'307'200.0 + 700'000'000.0 + 3600);
    BatteryFeed battery;
    battery.refresh(64, true);
    BatteryHistory h(dir.path(), clock);
    h.bind(&battery.mon);
    ASSERT_EQ(h.snapshots().size(), 1);
    ASSERT_TRUE(waitLoaded(h));
    ASSERT_EQ(h.snapshots().size(), 2);
    EXPECT_EQ(h.snapshots()[0].cycleCount, 3);
    EXPECT_EQ(h.snapshots()[1].percent, 64);
    h.finishSaving();
    EXPECT_EQ(BatteryHistory::decode(readAll(h.historyPath())).value_or(QList<BatterySnapshot>{}), h.snapshots());
}

TEST(HistoryFileSave, BackgroundSavesLeaveTheCallerFreeAndTheNewestWins)
{
    QTemporaryDir dir;
    FakeClock clock;
    HistoryFile file(dir.path(), QStringLiteral("h.json"), clock);
    file.load([](const QByteArray &) { return std::function<void()>([] {}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !file.isLoading(); }, 5000));

    // The first save's encoding is held until the caller lets it go: a caller that had to
    // wait for it would sit out the whole hold.
    QSemaphore gate;
    std::atomic<QThread *> encodedOn{nullptr};
    std::atomic<int> encoded{0};
    ASSERT_TRUE(file.saveInBackground([&]() -> std::optional<QByteArray> {
        encodedOn = QThread::currentThread();
        gate.tryAcquire(1, 20000);
        ++encoded;
        return QByteArray("[1]");
    }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return encodedOn.load() != nullptr; }, 5000));
    EXPECT_NE(encodedOn.load(), QThread::currentThread());
    for (const char *later : {"[2]", "[3]"})
        ASSERT_TRUE(file.saveInBackground([&encoded, later]() -> std::optional<QByteArray> {
            ++encoded;
            return QByteArray(later);
        }));
    gate.release();
    file.finishSaving();
    EXPECT_EQ(readAll(file.path()), QByteArray("[3]"));
    EXPECT_EQ(encoded.load(), 2); // "[2]" was replaced before its turn
}

TEST_F(LoadingHistory, GoingAwayWhileReadingIsSafe)
{
    QFile f(dir.filePath("battery-history.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kOneSnapshot);
    f.close();
    for (int i = 0; i < 50; ++i) {
        auto h = std::make_unique<BatteryHistory>(dir.path(), clock);
        h.reset(); // the worker's answer must find nothing to write into
    }
    // Their answers land while this one loads.
    BatteryHistory h(dir.path(), clock);
    ASSERT_TRUE(waitLoaded(h));
    EXPECT_EQ(h.snapshots().size(), 1);
}

} // namespace
