#include "common/StoredSettings.h"
#include "state/BarModeSettings.h"
#include "ui/shared/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <sys/inotify.h>
#include <unistd.h>

using namespace corvane;

namespace {

// Counts the times the settings file is written: rewritten in place, replaced, or (Qt's
// atomic save through an unnamed temporary file) linked into place.
class FileWrites {
public:
    explicit FileWrites(const QString &path) : m_name(QFileInfo(path).fileName().toLocal8Bit())
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(m_fd, QFileInfo(path).absolutePath().toLocal8Bit().constData(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
    }
    ~FileWrites() { ::close(m_fd); }
    int count()
    {
        alignas(inotify_event) char buf[8192];
        for (ssize_t n; (n = ::read(m_fd, buf, sizeof buf)) > 0;) {
            for (char *p = buf; p < buf + n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(p);
                if (e->len && m_name == e->name)
                    ++m_count;
                p += sizeof(inotify_event) + e->len;
            }
        }
        return m_count;
    }

private:
    QByteArray m_name;
    int m_fd = -1;
    int m_count = 0;
};

QByteArray onDisk(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SettingsWrites : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = QSettings().fileName();
        QSettings settings;
        settings.clear();
        settings.setValue("widget.theme", "ocean"); // an existing file, as on a used machine
        settings.sync();
    }
    QString path;
};

} // namespace

TEST_F(SettingsWrites, DraggingTheBarHeightSliderWritesTheFileOnceWithTheLastValue)
{
    BarModeSettings *bar = BarModeSettings::shared();
    FileWrites writes(path);
    for (int step = 0; step < 50; ++step) {
        bar->setHeight(80 + 2 * step);
        QCoreApplication::processEvents(); // the event loop turns between steps, as it does while dragging
    }
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(bar->height(), 178);
    QTRY_VERIFY(onDisk(path).contains("bar.height=178")); // once the dragging has been quiet a while
    EXPECT_GE(writes.count(), 1);
    EXPECT_LE(writes.count(), 2);
    EXPECT_TRUE(onDisk(path).contains("bar.height=178")) << onDisk(path).constData();
}

TEST_F(SettingsWrites, PendingWritesReachTheDiskWhenTheStoreGoesAway)
{
    auto store = std::make_unique<SettingsStore>();
    store->setBgIntensity(0.35);
    store->setDidFinishOnboarding(true);
    EXPECT_FALSE(onDisk(path).contains("didFinishOnboarding"));
    store.reset(); // as at quit
    const QByteArray text = onDisk(path);
    EXPECT_TRUE(text.contains("widget.bgIntensity=0.35")) << text.constData();
    EXPECT_TRUE(text.contains("didFinishOnboarding=true")) << text.constData();
}

TEST_F(SettingsWrites, OtherReadersSeeAWriteAtOnce)
{
    StoredSettings store;
    store.write(QStringLiteral("thr.cpuPct"), 70);
    EXPECT_EQ(QSettings().value("thr.cpuPct").toInt(), 70);
    EXPECT_TRUE(store.hasPendingWrite());
    store.flush();
    EXPECT_FALSE(store.hasPendingWrite());
    EXPECT_TRUE(onDisk(path).contains("thr.cpuPct=70"));
}

TEST_F(SettingsWrites, WritingTheStoredValueAgainCostsNothing)
{
    StoredSettings store;
    store.write(QStringLiteral("bar.position"), QStringLiteral("bottom"));
    store.flush();
    store.write(QStringLiteral("bar.position"), QStringLiteral("bottom"));
    EXPECT_FALSE(store.hasPendingWrite());
}

// A height written outside the settings screen (by hand, an older build, a bad sync) reads
// as the default; the slider's own values read back as written.
struct StoredHeight {
    const char *name;
    QVariant stored;
    double reads;
};

class BarHeightFromSettings : public ::testing::TestWithParam<StoredHeight> {};

TEST_P(BarHeightFromSettings, ReadsOnlyWhatTheSliderCouldWrite)
{
    {
        QSettings settings;
        settings.setValue("bar.height", GetParam().stored);
        settings.sync();
    }
    EXPECT_EQ(BarModeSettings::shared()->height(), GetParam().reads);
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, BarHeightFromSettings,
    ::testing::Values(StoredHeight{"Lowest", 90.0, 90.0}, StoredHeight{"Highest", 220.0, 220.0},
                      StoredHeight{"OffTheGrid", 135.5, 135.5}, StoredHeight{"ScreenCovering", 100000.0, 140.0},
                      StoredHeight{"JustAbove", 220.5, 140.0}, StoredHeight{"JustBelow", 89.5, 140.0},
                      StoredHeight{"Zero", 0.0, 140.0}, StoredHeight{"Negative", -140.0, 140.0},
                      StoredHeight{"Infinite", QStringLiteral("inf"), 140.0},
                      StoredHeight{"NotANumber", QStringLiteral("nan"), 140.0},
                      StoredHeight{"Text", QStringLiteral("tall"), 140.0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BarHeightFromSettings, SettingAnUnusableHeightStoresTheDefault)
{
    BarModeSettings *bar = BarModeSettings::shared();
    bar->setHeight(180);
    bar->setHeight(5000);
    EXPECT_EQ(bar->height(), 140.0);
    bar->setHeight(std::nan(""));
    EXPECT_EQ(bar->height(), 140.0);
    bar->flush();
    EXPECT_EQ(QSettings().value("bar.height").toDouble(), 140.0);
}
