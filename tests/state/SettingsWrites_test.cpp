#include "common/StoredSettings.h"
#include "state/BarModeSettings.h"
#include "ui/shared/SettingsStore.h"

#include "support/SlowDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRect>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <sys/inotify.h>
#include <sys/stat.h>
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

TEST_F(SettingsWrites, ASaveNeverWaitsForTheDisk)
{
    StoredSettings store;
    test::DiskHold slowDisk;
    store.write(QStringLiteral("widget.theme"), QStringLiteral("forest"));
    QTRY_COMPARE(slowDisk.waiting(), 1); // once writes have been quiet a while: elsewhere
    EXPECT_EQ(slowDisk.syncsOnHoldingThread(), 0);
    EXPECT_EQ(store.value("widget.theme").toString(), QStringLiteral("forest"));
    slowDisk.release();
    StoredSettings::finishBackgroundWrites();
    EXPECT_TRUE(onDisk(path).contains("widget.theme=forest")) << onDisk(path).constData();
}

// A settings file QSettings can't read whole would lose what it can't read at the next save
// (it writes back only what it read). Such a file is moved aside untouched before anything
// is written, and the lines that read as settings carry over; a whole file stays as it is.
namespace {

QByteArray garbage(int bytes)
{
    QRandomGenerator random(40); // the same bytes every run
    QByteArray out(bytes, Qt::Uninitialized);
    for (char &c : out)
        c = char(random.bounded(256));
    return out;
}

QByteArray generalSection(const char *prefix, int from, int count)
{
    QByteArray out;
    for (int i = from; i < from + count; ++i)
        out += prefix + QByteArray::number(i) + '=' + QByteArray::number(i * 10) + '\n';
    return out;
}

enum class FileKind { Bytes, Fifo };

struct SettingsFileCase {
    const char *name;
    FileKind kind;
    QByteArray content;
    bool movedAside;
    QVariantMap readsBack; // after the next save
};
void PrintTo(const SettingsFileCase &c, std::ostream *os) { *os << c.name; }

QVariantMap keys(const char *prefix, int from, int count)
{
    QVariantMap out;
    for (int i = from; i < from + count; ++i)
        out.insert(prefix + QString::number(i), QString::number(i * 10));
    return out;
}

QVariantMap merged(QVariantMap a, const QVariantMap &b)
{
    a.insert(b);
    return a;
}

// Values of every kind QSettings writes, as it writes them.
QByteArray writtenByQSettings()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("w.conf");
    {
        QSettings s(file, QSettings::NativeFormat);
        s.setValue("calendar.icsFolders", QStringList{"/home/ana/cal, work", "/tmp/\"quoted\"; x=1"});
        s.setValue("widget.title", QStringLiteral(" Spații ș ț = ; , \\ \n end "));
        s.setValue("bar.height", 135.5);
        s.setValue("didFinishOnboarding", true);
        s.setValue("window.rect", QRect(1, 2, 300, 400));
        s.setValue("dashboard/stars/k10temp-pci-00c3_temp1", true);
        s.setValue("key with spaces", 1);
        s.setValue("empty", QString());
    }
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QVariantMap writtenValues()
{
    return {{"calendar.icsFolders", QStringList{"/home/ana/cal, work", "/tmp/\"quoted\"; x=1"}},
            {"widget.title", QStringLiteral(" Spații ș ț = ; , \\ \n end ")},
            {"bar.height", 135.5},
            {"didFinishOnboarding", true},
            {"window.rect", QRect(1, 2, 300, 400)},
            {"dashboard/stars/k10temp-pci-00c3_temp1", true},
            {"key with spaces", 1},
            {"empty", QString()}};
}

class SettingsFile : public ::testing::TestWithParam<SettingsFileCase> {
protected:
    void SetUp() override
    {
        // Settings under a folder of their own: the stores check a path the first time they meet it.
        previous = QFileInfo(QFileInfo(StoredSettings::defaultFileName()).absolutePath()).absolutePath();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
        file = StoredSettings::defaultFileName();
        QDir().mkpath(QFileInfo(file).absolutePath());
    }
    void TearDown() override { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previous); }
    QStringList aside() const
    {
        return QDir(QFileInfo(file).absolutePath()).entryList({QFileInfo(file).fileName() + ".*"}, QDir::Files | QDir::System);
    }
    QTemporaryDir home;
    QString previous, file;
};

} // namespace

TEST_P(SettingsFile, WhatCanNotBeReadIsKeptAsideAndWhatCanCarriesOver)
{
    const SettingsFileCase &c = GetParam();
    if (c.kind == FileKind::Fifo) {
        ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
    }
    {
        StoredSettings store; // the first store of this path checks it
        store.write(QStringLiteral("widget.theme"), QStringLiteral("ocean"));
        store.flush();
    }
    const QStringList kept = aside();
    if (c.movedAside) {
        ASSERT_EQ(kept.size(), 1) << kept.join(' ').toStdString();
        if (c.kind == FileKind::Bytes) {
            QFile f(QFileInfo(file).absolutePath() + '/' + kept[0]);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_TRUE(f.readAll() == c.content); // untouched
        }
    } else {
        EXPECT_TRUE(kept.isEmpty()) << kept.join(' ').toStdString();
    }
    QSettings after(file, QSettings::NativeFormat);
    EXPECT_EQ(after.value("widget.theme").toString(), QStringLiteral("ocean"));
    for (auto it = c.readsBack.cbegin(); it != c.readsBack.cend(); ++it) {
        QVariant got = after.value(it.key());
        if (!it.value().isValid()) {
            EXPECT_FALSE(got.isValid()) << it.key().toStdString(); // not made up from a foreign line
            continue;
        }
        ASSERT_TRUE(got.isValid()) << it.key().toStdString();
        got.convert(it.value().metaType()); // the INI text of a number or a boolean reads as a string
        EXPECT_EQ(got, it.value()) << it.key().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsFile,
    ::testing::Values(
        SettingsFileCase{"GarbageBetweenValidLines", FileKind::Bytes,
                         "[General]\n" + generalSection("before", 0, 5) + garbage(3000) + "\n" + generalSection("after", 0, 5),
                         true, merged(keys("before", 0, 5), keys("after", 0, 5))},
        SettingsFileCase{"UnclosedQuoteRunsIntoTheNextLines", FileKind::Bytes,
                         "[General]\nnote=\"half\n" + generalSection("k", 0, 3), true, keys("k", 0, 3)},
        SettingsFileCase{"BackslashEscapesTheLineEnd", FileKind::Bytes, "[General]\npath=C:\\\n" + generalSection("k", 0, 2),
                         true, keys("k", 0, 2)},
        SettingsFileCase{"NotUtf8", FileKind::Bytes, "[General]\nname=Caf\xe9\n" + generalSection("k", 0, 2), true,
                         keys("k", 0, 2)},
        SettingsFileCase{"JsonFile", FileKind::Bytes, "{\n  \"widget.theme\": \"forest\",\n  \"bar.height\": 120\n}\n", true, {}},
        SettingsFileCase{"XmlPropertyList", FileKind::Bytes,
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                         "<key>bar.height</key><real>120</real>\n</dict>\n</plist>\n",
                         true, {{"<?xml version", QVariant()}}},
        SettingsFileCase{"LargerThanAnyTheAppWrites", FileKind::Bytes,
                         "[General]\n" + generalSection("k", 0, 3) + generalSection("pad", 0, 100'000), true,
                         keys("k", 0, 3)},
        SettingsFileCase{"Fifo", FileKind::Fifo, {}, true, {}},
        SettingsFileCase{"WrittenByQSettings", FileKind::Bytes, writtenByQSettings(), false, writtenValues()},
        SettingsFileCase{"CommentsBlankLinesAndWindowsLineEnds", FileKind::Bytes,
                         "; by hand\r\n\r\n[General]\r\n  a = 1 ; one\r\nb=2\r\n", false, {{"a", "1"}, {"b", "2"}}}),
    [](const auto &info) { return std::string(info.param.name); });

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
