// The SSD, speed, speaker and pixel test screens, driven the way a user drives them.
#include "checks/NetworkSpeedTester.h"
#include "checks/ScreenTestUtil.h"
#include "checks/SSDSpeedTester.h"
#include "platform/Haptics.h"
#include "support/LoopbackSpeedServer.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::LoopbackSpeedServer;
using corvane::test::ScreenHost;

namespace {

class CheckScreenLoads : public ::testing::TestWithParam<const char *> {};
TEST_P(CheckScreenLoads, WithoutWarnings)
{
    // Runs that start on their own go nowhere slow: a closed port, a small size.
    QSettings().setValue("speedtest.host", QStringLiteral("127.0.0.1:%1").arg(LoopbackSpeedServer::closedPort()));
    qputenv("PULSE_SERVER", "unix:/nonexistent/corvane/native");
    QTemporaryDir dir(QDir::currentPath() + "/screen-XXXXXX");
    ScreenHost host;
    QVariantMap initial;
    if (QByteArray(GetParam()) == "SSDSpeedTestView")
        initial = {{"totalMB", 256}, {"selectedVolumePath", dir.path()}};
    if (QByteArray(GetParam()) == "DisplayPixelTestView")
        initial = {{"display", QVariantMap{{"name", "Test"}, {"screenName", "none"}}}};
    ASSERT_TRUE(host.load(GetParam(), initial, QSize(1000, 740))) << host.h.warnings().join('\n').toStdString();
    ASSERT_TRUE(test::waitForFrames(host.window, 2));
    EXPECT_TRUE(host.h.warnings().isEmpty()) << host.h.warnings().join('\n').toStdString();
    host.root.reset();
    // A disk test's worker removes its file once it sees the sheet gone.
    QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty(), 10000);
    QSettings().remove("speedtest.host");
}
INSTANTIATE_TEST_SUITE_P(Checks, CheckScreenLoads, ::testing::Values(
    "SSDSpeedTestView", "NetworkSpeedTestView", "SpeakerTestView", "PixelTestView", "DisplayPixelTestView",
    "DisplayPixelTestFullscreen", "TestReportCard", "LevelMeter", "GridOverlay", "QuickTestPanel"));

// ---- Pixel test ---------------------------------------------------------------------------

TEST(PixelTestScreen, KeysAndClicksStepThroughTheColoursAndCloseAtTheEnd)
{
    ScreenHost host;
    ASSERT_TRUE(host.load("PixelTestView"));
    QSignalSpy dismissed(host.root.get(), SIGNAL(dismiss()));
    Haptics::shared()->clear();
    host.key(Qt::Key_Left);
    EXPECT_EQ(host.text("counter"), QStringLiteral("1 / 9"));
    EXPECT_EQ(Haptics::shared()->performed().value(0), int(Haptics::Alignment)); // still felt
    EXPECT_EQ(host.text("colourName"), QStringLiteral("ROȘU"));
    host.key(Qt::Key_Right);
    EXPECT_EQ(host.text("colourName"), QStringLiteral("VERDE"));
    // A click on the colour advances; a click on a button does only what the button does.
    host.clickAt(QPointF(40, 40));
    EXPECT_EQ(host.text("counter"), QStringLiteral("3 / 9"));
    host.click("gridButton");
    EXPECT_TRUE(test::named(host.root.get(), "gridOverlay")->isVisible());
    EXPECT_EQ(host.text("counter"), QStringLiteral("3 / 9"));
    host.clickAt(QPointF(40, 40)); // taps reach the sheet through the grid
    EXPECT_EQ(host.text("counter"), QStringLiteral("4 / 9"));
    host.click("previousButton");
    EXPECT_EQ(host.text("counter"), QStringLiteral("3 / 9"));
    for (int i = 0; i < 6; ++i)
        host.key(Qt::Key_Right);
    EXPECT_EQ(host.text("counter"), QStringLiteral("9 / 9"));
    EXPECT_EQ(host.text("colourName"), QStringLiteral("GRI 50%"));
    EXPECT_TRUE(test::named(host.root.get(), "gridOverlay")->isVisible()); // kept across colours
    EXPECT_EQ(dismissed.count(), 0);
    host.key(Qt::Key_Right);
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(host.text("counter"), QStringLiteral("9 / 9"));
}

TEST(PixelTestScreen, EscapeAndCloseButtonDismiss)
{
    ScreenHost host;
    ASSERT_TRUE(host.load("PixelTestView"));
    QSignalSpy dismissed(host.root.get(), SIGNAL(dismiss()));
    host.key(Qt::Key_Escape);
    EXPECT_EQ(dismissed.count(), 1);
    host.click("closeButton");
    EXPECT_EQ(dismissed.count(), 2);
}

// ---- Speaker test -------------------------------------------------------------------------

TEST(SpeakerScreen, PresetsChannelsAndAVisibleErrorWithoutSoundServer)
{
    qputenv("PULSE_SERVER", "unix:/nonexistent/corvane/native");
    ScreenHost host;
    ASSERT_TRUE(host.load("SpeakerTestView"));
    EXPECT_EQ(host.text("frequencyText"), QStringLiteral("440 Hz"));
    EXPECT_EQ(host.text("noteText"), QStringLiteral("A4"));
    EXPECT_FALSE(test::named(host.root.get(), "errorText")->isVisible());
    host.click("preset_80");
    EXPECT_EQ(host.text("frequencyText"), QStringLiteral("80 Hz"));
    EXPECT_EQ(host.text("noteText"), QStringLiteral("D#2"));
    host.click("channel_left");
    QObject *tone = host.root->property("tone").value<QObject *>();
    EXPECT_EQ(tone->property("channel").toString(), QStringLiteral("left"));
    host.click("playButton");
    QQuickItem *error = test::named(host.root.get(), "errorText");
    // The sound server is asked off the GUI thread: the error comes once it has answered.
    QTRY_VERIFY_WITH_TIMEOUT(error->isVisible(), 10000);
    EXPECT_FALSE(error->property("text").toString().isEmpty());
    EXPECT_EQ(test::named(host.root.get(), "playButton")->property("text").toString(), QStringLiteral("Redă tonul"));
    // With the error shown the sheet still fits the smallest main window, play button included.
    EXPECT_LE(host.root->property("implicitHeight").toDouble(), 760);
}

// ---- SSD screen ---------------------------------------------------------------------------

TEST(SSDScreen, RunsOnOpenAndEndsInTheCardForTheRunItShows)
{
    QTemporaryDir dir(QDir::currentPath() + "/screen-XXXXXX");
    ScreenHost host;
    ASSERT_TRUE(host.load("SSDSpeedTestView", {{"totalMB", 256}, {"selectedVolumePath", dir.path()}}));
    QQuickItem *card = test::named(host.root.get(), "reportCard");
    EXPECT_EQ(host.text("startStopButton"), QStringLiteral("STOP"));
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 60000);
    QStringList labels;
    for (QQuickItem *l : test::allNamed(card, "reportRow"))
        labels << l->property("label").toString() + "=" + l->property("value").toString();
    EXPECT_EQ(labels.size(), 9);
    EXPECT_TRUE(labels.contains("Mărime test=256 MB")) << labels.join(", ").toStdString();
    EXPECT_TRUE(labels.contains("Bloc=64 MB"));
    EXPECT_TRUE(labels.contains("Mod=O_DIRECT (direct)"));
    EXPECT_TRUE(test::textOf(card, "cardSubtitle").contains(" · 256 MB · uncached"));
    EXPECT_EQ(host.text("startStopButton"), QStringLiteral("START"));
    EXPECT_EQ(host.text("phasePill"), QStringLiteral("FINALIZAT"));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // The screen follows the engine's phase, not its wording.
    const QMetaObject &mo = SSDSpeedTester::staticMetaObject;
    EXPECT_TRUE(mo.property(mo.indexOfProperty("phase")).isEnumType());
}

TEST(SSDScreen, StopTurnsTheButtonBackAndLeavesNoFile)
{
    QTemporaryDir dir(QDir::currentPath() + "/screen-XXXXXX");
    // A run long enough to stop midway, that the volume has room for (the screen refuses
    // one it has none for).
    const qint64 freeMB = QStorageInfo(dir.path()).bytesAvailable() / (1024 * 1024);
    const qint64 totalMB = std::min<qint64>(4096, freeMB / 2);
    if (totalMB < 256)
        GTEST_SKIP() << "too little free space for a run: " << freeMB << " MB";
    ScreenHost host;
    ASSERT_TRUE(host.load("SSDSpeedTestView", {{"totalMB", totalMB}, {"selectedVolumePath", dir.path()}}));
    ASSERT_EQ(host.text("startStopButton"), QStringLiteral("STOP")) << host.text("statusText").toStdString();
    host.click("startStopButton");
    EXPECT_EQ(host.text("statusText"), QStringLiteral("Test oprit"));
    EXPECT_EQ(host.text("startStopButton"), QStringLiteral("START"));
    EXPECT_EQ(host.text("phasePill"), QStringLiteral("STANDBY"));
    host.root.reset(); // the worker cleans up after the sheet has gone
    QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty(), 10000);
}

// ---- Speed-test screen --------------------------------------------------------------------

TEST(SpeedScreen, RunsOnOpenAgainstTheServerAndEndsInTheCard)
{
    LoopbackSpeedServer server;
    ASSERT_TRUE(server.isListening()) << server.error().toStdString();
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificate(server.certificate());
    QSslConfiguration::setDefaultConfiguration(ssl);
    QSettings().setValue("speedtest.host", server.host());
    server.setRateCap(20'000'000);
    // Slow probes keep the run in its ping phase while the transfers are made small (the
    // screen's path is the same for 2 MB as for the real 99 MB; should the ping be over
    // already, the run is only longer).
    server.setFaults({.traceDelayMs = 200});
    ScreenHost host;
    ASSERT_TRUE(host.load("NetworkSpeedTestView"));
    QSettings().remove("speedtest.host");
    auto *engine = host.root->property("tester").value<NetworkSpeedTester *>();
    ASSERT_TRUE(engine);
    engine->setDownloadBytes(2'000'000);
    engine->setUploadBytes(4'000'000);
    EXPECT_EQ(host.text("hostText"), "via " + server.host());
    QQuickItem *card = test::named(host.root.get(), "reportCard");
    QTRY_VERIFY_WITH_TIMEOUT(card->isVisible(), 120000);
    QStringList labels;
    for (QQuickItem *l : test::allNamed(card, "reportRow"))
        labels << l->property("label").toString();
    EXPECT_EQ(labels, (QStringList{"Peak Download", "Peak Upload", "Avg Download", "Avg Upload", "Ping",
                                   "Jitter (≈)", "Eșantioane download", "Verdict"}));
    EXPECT_EQ(host.text("phaseBadge"), QStringLiteral("FINALIZAT"));
}

} // namespace
