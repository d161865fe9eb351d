#include "monitors/CameraMonitor.h"

#include "fakes/FakeCameraDevices.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::FakeCameraDevices;

namespace {

struct Made {
    FakeCameraDevices *fake;
    std::unique_ptr<CameraMonitor> monitor;
};

Made make(std::function<void(FakeCameraDevices &)> setup)
{
    auto fake = std::make_unique<FakeCameraDevices>();
    setup(*fake);
    FakeCameraDevices *raw = fake.get();
    return {raw, std::make_unique<CameraMonitor>(std::move(fake))};
}

TEST(CameraMonitor, NoCamerasIsOffRightAfterConstruction)
{
    auto [fake, m] = make([](FakeCameraDevices &) {});
    EXPECT_FALSE(m->isCameraOn());
    EXPECT_TRUE(m->activeCameraNames().isEmpty());
    EXPECT_TRUE(m->devices().isEmpty());

    auto [fake2, unreadable] = make([](FakeCameraDevices &f) { f.list = std::nullopt; });
    EXPECT_FALSE(unreadable->isCameraOn());
    EXPECT_TRUE(unreadable->devices().isEmpty());
}

TEST(CameraMonitor, NamesRunningDevicesInListOrderWithFallbackAndRepeats)
{
    auto [fake, m] = make([](FakeCameraDevices &f) {
        f.list = QStringList{"video0", "video1", "video2", "video3"};
        f.running = {{"video0", true}, {"video1", false}, {"video2", true}, {"video3", true}};
        f.names = {{"video0", "Cam"}, {"video1", "Cam"}, {"video3", "Cam"}}; // video2 has no name
    });
    EXPECT_TRUE(m->isCameraOn());
    EXPECT_EQ(m->activeCameraNames(), (QStringList{"Cam", "Unknown camera", "Cam"}));
}

TEST(CameraMonitor, RebuildsWithoutStackingListeners)
{
    auto [fake, m] = make([](FakeCameraDevices &f) { f.list = QStringList{"video0"}; });
    EXPECT_EQ(fake->listenersOn("video0"), 1);

    // Plugged in, then one removed; each change rebuilds.
    fake->list = QStringList{"video0", "video1"};
    fake->fireDeviceList();
    fake->fireDeviceList();
    EXPECT_EQ(m->devices(), (QStringList{"video0", "video1"}));
    EXPECT_EQ(fake->listenersOn("video0"), 1);
    EXPECT_EQ(fake->listenersOn("video1"), 1);

    fake->list = QStringList{"video1"};
    fake->fireDeviceList();
    EXPECT_EQ(m->devices(), (QStringList{"video1"}));
    EXPECT_EQ(fake->listenersOn("video0"), 0);
    EXPECT_EQ(fake->listenerCount(), 1);
}

TEST(CameraMonitor, FlagListenerSeesTheSameEvaluationsNames)
{
    auto [fake, m] = make([](FakeCameraDevices &f) {
        f.list = QStringList{"video0"};
        f.running = {{"video0", false}};
        f.names = {{"video0", "Cam"}};
    });
    QStringList order;
    QStringList namesSeenWithFlag;
    QObject::connect(m.get(), &CameraMonitor::isCameraOnChanged, [&, mon = m.get()] {
        order.append("flag");
        namesSeenWithFlag = mon->activeCameraNames();
    });
    QObject::connect(m.get(), &CameraMonitor::activeCameraNamesChanged, [&] { order.append("names"); });
    QObject::connect(m.get(), &CameraMonitor::updated, [&] { order.append("updated"); });

    fake->running["video0"] = true;
    fake->fireRunning("video0");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{"flag", "names", "updated"}));
    EXPECT_EQ(namesSeenWithFlag, QStringList{"Cam"});

    // Unchanged result: no field signal, one update.
    fake->fireRunning("video0");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{"flag", "names", "updated", "updated"}));
}

// A temporary folder stands in for /dev; a child process opens the fake node.
class CameraOnThisMachine : public ::testing::Test {
protected:
    QTemporaryDir dev;
    const QString sys = QStringLiteral(CORVANE_FIXTURES "/video4linux/sys");

    void SetUp() override
    {
        ASSERT_TRUE(dev.isValid());
        QFile node(dev.filePath("video0"));
        ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    }

    std::unique_ptr<CameraMonitor> make() { return std::make_unique<CameraMonitor>(makeLinuxCameraDevices(dev.path(), sys, "/proc")); }
};

// Nothing polls: only the open and close events can flip the flag. Of two cameras, only the
// one held counts (video2 has no name).
TEST_F(CameraOnThisMachine, AnotherProcessOpeningTheNodeFlipsTheFlag)
{
    QFile second(dev.filePath("video2"));
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    second.close();
    auto m = make();
    ASSERT_EQ(m->devices(), (QStringList{"video0", "video2"}));
    EXPECT_FALSE(m->isCameraOn());

    QProcess child;
    child.start("/bin/sh", {"-c", "exec 3<\"$1\"; echo opened; read x; exec 3<&-; echo closed; read x", "sh",
                            dev.filePath("video2")});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->isCameraOn(); }, 10000)) << "no open event";
    EXPECT_EQ(m->activeCameraNames(), QStringList{"Unknown camera"});

    child.write("\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m->isCameraOn(); }, 10000)) << "no close event";
    EXPECT_TRUE(m->activeCameraNames().isEmpty());
    child.write("\n");
    child.waitForFinished();
}

TEST_F(CameraOnThisMachine, OurOwnOpenNeverCounts)
{
    auto m = make();
    QSignalSpy spy(m.get(), &CameraMonitor::updated);
    QFile node(dev.filePath("video0"));
    ASSERT_TRUE(node.open(QIODevice::ReadOnly));
    ASSERT_TRUE(spy.wait(1000)); // the open was seen and evaluated
    EXPECT_FALSE(m->isCameraOn());
}

TEST_F(CameraOnThisMachine, PluggedInNodeIsWatchedFromTheNextRebuild)
{
    auto m = make();
    QFile added(dev.filePath("video2"));
    ASSERT_TRUE(added.open(QIODevice::WriteOnly));
    added.close();
    QFile other(dev.filePath("audio0")); // not a camera: no rebuild needed, none harmful
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->devices().size() == 2; }, 1000));
    EXPECT_EQ(m->devices(), (QStringList{"video0", "video2"}));

    ASSERT_TRUE(QFile::remove(dev.filePath("video0")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->devices() == QStringList{"video2"}; }, 1000));
}

TEST(CameraMonitor, RealDevicesOnThisMachineShowTheAbsentState)
{
    CameraMonitor m;
    QCoreApplication::processEvents();
    // A VM without a camera: nothing watched, nothing on. (With a camera: no one else uses it.)
    if (m.devices().isEmpty()) {
        EXPECT_FALSE(m.isCameraOn());
        EXPECT_TRUE(m.activeCameraNames().isEmpty());
    }
}

} // namespace
