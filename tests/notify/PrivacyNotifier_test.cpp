#include "notify/PrivacyNotifier.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeNotifications.h"
#include "fakes/MonitorFeeds.h"
#include "notify/IsolatedSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "support/HistoryWait.h"
#include "support/ParamNames.h"
#include "support/SlowDisk.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;
using Kind = PrivacyEvent::Kind;

namespace {

class PrivacyTest : public ::testing::Test {
protected:
    void SetUp() override { useIsolatedSettings(); }
    void TearDown() override { QSettings().clear(); }

    std::unique_ptr<PrivacyNotifier> make()
    {
        auto n = std::make_unique<PrivacyNotifier>(dir.path(), &notes, frontmost, clock);
        EXPECT_TRUE(waitLoaded(*n));
        QCoreApplication::processEvents(); // the authorisation answer
        return n;
    }
    void settle() { QCoreApplication::processEvents(); }
    QString filePath() const { return dir.filePath("privacy-history.json"); }
    QByteArray readFile() const
    {
        QFile f(filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray &bytes)
    {
        QFile f(filePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray events(int n)
    {
        QByteArray out = "[";
        for (int i = 0; i < n; ++i) {
            out += (i ? "," : "");
            out += QStringLiteral(R"({"id":"%1","date":%2,"kind":"camera","active":false})")
                       .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
                       .arg(1000 - i)
                       .toUtf8();
        }
        return out + "]";
    }

    QTemporaryDir dir;
    FakeClock clock;
    FakeNotifications notes;
    FakeFrontmost frontmost;
    CameraFeed camera;
    MicFeed mic;
};

// The state at launch is recorded only where it differs from the kind's last event (none
// counts as off): launches with nothing running add nothing.
struct LaunchCase {
    const char *name;
    const char *stored; // "kind:active" of the stored events, newest first
    bool cameraOn, micOn;
    const char *added;  // "kind:active" of the new events, newest first
    int notified;
};
void PrintTo(const LaunchCase &c, std::ostream *os) { *os << c.name; }
class LaunchState : public PrivacyTest, public ::testing::WithParamInterface<LaunchCase> {};
TEST_P(LaunchState, RecordedOnlyWhenItDiffersFromTheLastEvent)
{
    const auto &c = GetParam();
    QByteArray file = "[";
    const QStringList stored = QString::fromLatin1(c.stored).split(' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < stored.size(); ++i)
        file += QStringLiteral(R"(%1{"id":"%2","date":%3,"kind":"%4","active":%5})")
                    .arg(i ? "," : "", QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
                    .arg(1000 - i)
                    .arg(stored[i].section(':', 0, 0), stored[i].section(':', 1, 1))
                    .toUtf8();
    writeFile(file + "]");
    if (c.cameraOn)
        camera.running({"Cam"});
    if (c.micOn)
        mic.running({"Mic"});
    // Bound before the file has been read, as at launch; and after, as a late bind.
    for (bool whileLoading : {true, false}) {
        SCOPED_TRACE(whileLoading ? "bound while loading" : "bound after loading");
        writeFile(file + "]");
        notes.posted.clear();
        auto n = std::make_unique<PrivacyNotifier>(dir.path(), &notes, frontmost, clock);
        if (!whileLoading)
            ASSERT_TRUE(waitLoaded(*n));
        n->bind(&camera.mon, &mic.mon);
        ASSERT_TRUE(waitLoaded(*n));
        settle();
        QStringList added;
        for (qsizetype i = 0; i < n->history().size() - stored.size(); ++i)
            added << PrivacyEvent::rawValue(n->history()[i].kind) + (n->history()[i].active ? ":true" : ":false");
        EXPECT_EQ(added.join(' '), QString::fromLatin1(c.added));
        EXPECT_EQ(n->history().size(), stored.size() + added.size());
        EXPECT_EQ(notes.posted.size(), c.notified);
        if (QString::fromLatin1(c.added).startsWith(QLatin1String("microphone:true")))
            EXPECT_EQ(n->history()[0].deviceName, QStringLiteral("Mic"));
        n->finishSaving();
        EXPECT_EQ(make()->history(), n->history()); // what was added is on file
    }
}
INSTANTIATE_TEST_SUITE_P(
    Launch, LaunchState,
    ::testing::Values(
        LaunchCase{"FirstLaunchNothingRunning", "", false, false, "", 0},
        LaunchCase{"NothingRunningAfterOffEvents", "microphone:false camera:false", false, false, "", 0},
        LaunchCase{"MicrophoneAlreadyOn", "", false, true, "microphone:true", 1},
        LaunchCase{"StillOnSinceBeforeTheLaunch", "camera:true", true, false, "", 0},
        // The app ended while the camera was on: its switch-off was never seen.
        LaunchCase{"OffAfterAnUnfinishedOn", "camera:true microphone:false", false, false, "camera:false", 0},
        LaunchCase{"EachKindAgainstItsOwnLastEvent", "microphone:true camera:false", true, true, "camera:true", 1}),
    [](const auto &i) { return std::string(i.param.name); });

TEST_F(PrivacyTest, ChangesAfterLaunchAreAllRecorded)
{
    mic.running({"Built-in Mic"});
    auto n = make();
    n->bind(&camera.mon, &mic.mon);
    mic.running({});
    settle();
    camera.running({"Cam"});
    settle();
    ASSERT_EQ(n->history().size(), 3);
    EXPECT_EQ(n->history()[0].kind, Kind::camera); // newest first
    EXPECT_TRUE(n->history()[0].active);
    EXPECT_EQ(n->history()[1].kind, Kind::microphone);
    EXPECT_FALSE(n->history()[1].active);
    EXPECT_EQ(n->history()[1].deviceName, QStringLiteral("Built-in Mic"));
    EXPECT_TRUE(n->history()[2].active);
    EXPECT_EQ(notes.posted.size(), 2);
}

TEST_F(PrivacyTest, EventsNameTheDeviceThatSwitchedOnAndOff)
{
    frontmost.app = QStringLiteral("zoom");
    auto n = make();
    n->bind(&camera.mon, &mic.mon);
    camera.running({"HD Webcam", "Other"});
    settle();
    camera.running({"HD Webcam", "Other"}); // the same state again: no event
    settle();
    camera.running({});
    settle();
    ASSERT_EQ(n->history().size(), 2); // nothing ran at launch: no launch event
    EXPECT_EQ(n->history()[1].deviceName, QStringLiteral("HD Webcam"));
    EXPECT_TRUE(n->history()[1].active);
    EXPECT_EQ(n->history()[0].deviceName, QStringLiteral("HD Webcam"));
    EXPECT_FALSE(n->history()[0].active);
    ASSERT_EQ(notes.posted.size(), 1); // the switch-off doesn't notify
    EXPECT_EQ(notes.posted[0].first, QString::fromUtf8("Camera activată"));
    EXPECT_EQ(notes.posted[0].second, QString::fromUtf8("zoom folosește camera HD Webcam"));
}

struct BodyCase {
    Kind kind;
    std::optional<QString> app;
    std::optional<QString> device;
    const char *body;
};
class NotificationBody : public ::testing::TestWithParam<BodyCase> {};
TEST_P(NotificationBody, Text)
{
    EXPECT_EQ(PrivacyNotifier::body(GetParam().kind, GetParam().app, GetParam().device),
              QString::fromUtf8(GetParam().body));
}
INSTANTIATE_TEST_SUITE_P(Cases, NotificationBody, ::testing::Values(
    BodyCase{Kind::camera, QStringLiteral("firefox"), std::nullopt, "firefox folosește camera"},
    BodyCase{Kind::camera, std::nullopt, QStringLiteral("Cam"), "O aplicație folosește camera Cam"},
    BodyCase{Kind::microphone, QString(), std::nullopt, "O aplicație folosește microfonul"},
    BodyCase{Kind::microphone, QStringLiteral("obs"), QStringLiteral("USB Mic\t "), "obs folosește microfonul USB Mic"}),
    [](const auto &i) { return corvane::test::textName(i.param.body); });

TEST_F(PrivacyTest, SwitchesAndPermissionSuppressOnlyTheNotification)
{
    auto n = make();
    n->bind(&camera.mon, &mic.mon);
    n->setNotifyMic(false);
    EXPECT_FALSE(QSettings().value("privacy.notifyMic").toBool());
    mic.running({"Mic"});
    camera.running({"Cam"});
    settle();
    ASSERT_EQ(notes.posted.size(), 1);
    EXPECT_EQ(notes.posted[0].first, QString::fromUtf8("Camera activată"));

    n->applyAuthorizationResult(false);
    // A quick off/on between two turns of the event loop still records both events.
    camera.running({});
    camera.running({"Cam"});
    settle();
    EXPECT_EQ(notes.posted.size(), 1);
    ASSERT_EQ(n->history().size(), 4);
    EXPECT_FALSE(n->history()[1].active);
    EXPECT_TRUE(n->history()[0].active);
}

TEST_F(PrivacyTest, UnauthorisedServiceNeverNotifies)
{
    notes.answer = false;
    auto n = make();
    EXPECT_FALSE(n->authorized());
    camera.running({"Cam"});
    n->bind(&camera.mon, &mic.mon);
    EXPECT_TRUE(notes.posted.isEmpty());
    EXPECT_EQ(n->history().size(), 1); // the camera on at launch
}

TEST_F(PrivacyTest, KeepsTheNewest50)
{
    writeFile(events(60));
    auto n = make();
    // A longer file is trimmed as it is read: a quarter million events would stay in memory.
    ASSERT_EQ(n->history().size(), 50);
    EXPECT_EQ(n->history()[0].date, 1000);
    EXPECT_EQ(n->history()[49].date, 951);
    const QUuid oldest49 = n->history()[48].id;
    n->record(Kind::microphone, false, std::nullopt);
    ASSERT_EQ(n->history().size(), 50);
    EXPECT_EQ(n->history()[0].kind, Kind::microphone);
    EXPECT_EQ(n->history()[49].id, oldest49);
    n->finishSaving();
    EXPECT_EQ(make()->history(), n->history());
}

TEST_F(PrivacyTest, ABurstOfEventsOnASlowDiskNeverWaitsForIt)
{
    auto n = make();
    {
        DiskHold slowDisk;
        for (int i = 0; i < 10; ++i)
            n->record(Kind::camera, i % 2 == 0, QStringLiteral("Cam"));
        EXPECT_EQ(slowDisk.syncsOnHoldingThread(), 0); // the GUI thread never waited for the disk
        QTRY_COMPARE(slowDisk.waiting(), 1);          // one write waits, elsewhere
    }
    n->finishSaving(); // as at quit: the last event is on disk
    EXPECT_EQ(PrivacyNotifier::decode(readFile()).value_or(QList<PrivacyEvent>{}), n->history());
}

TEST_F(PrivacyTest, FileFormatAndRoundTrip)
{
    auto n = make();
    n->record(Kind::camera, true, QStringLiteral("Cam \"A\"/ș"));
    n->record(Kind::microphone, false, std::nullopt);
    n->finishSaving();
    QFile f(filePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QString id0 = n->history()[0].idText(), id1 = n->history()[1].idText();
    EXPECT_EQ(text, QStringLiteral(R"([{"id":"%1","date":721692800.25,"kind":"microphone","active":false},)"
                                   R"({"id":"%2","date":721692800.25,"kind":"camera","active":true,)"
                                   R"("deviceName":"Cam \"A\"\/ș"}])").arg(id0, id1));
    EXPECT_EQ(id0, id0.toUpper());
    EXPECT_EQ(make()->history(), n->history());
}

TEST_F(PrivacyTest, AbsurdDatesAreReadAsTheNearestDate)
{
    writeFile(R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":1e308,"kind":"camera","active":true},)"
              R"({"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C12","date":-1e308,"kind":"camera","active":false}])");
    auto n = make();
    ASSERT_EQ(n->history().size(), 2);
    EXPECT_EQ(n->history()[0].dateTime().toUTC(), QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    EXPECT_EQ(n->history()[1].dateTime().toUTC(), QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));
}

TEST_F(PrivacyTest, UndecodableFileIsKeptAsideAndHistoryStartsEmpty)
{
    const QByteArray bad = R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":1,"kind":"screen","active":true}])";
    writeFile(bad);
    auto n = make();
    EXPECT_TRUE(n->history().isEmpty());
    n->record(Kind::camera, true, std::nullopt);
    n->finishSaving();
    const QStringList aside = QDir(dir.path()).entryList({"privacy-history.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bad);
    EXPECT_EQ(make()->history().size(), 1);
}

QStringList g_logged;
void keepMessage(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    g_logged << QString::fromLatin1(ctx.category) + QStringLiteral(": ") + msg;
}

TEST_F(PrivacyTest, FailedSaveIsLoggedAndTheNextEventWritesEverything)
{
    // Something in the way of the history folder.
    const QString folder = dir.filePath("CorvaneMonitor");
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PrivacyNotifier n(folder, &notes, frontmost, clock);
    ASSERT_TRUE(waitLoaded(n));
    g_logged.clear();
    const auto previous = qInstallMessageHandler(keepMessage);
    n.record(Kind::camera, true, QStringLiteral("Cam"));
    n.finishSaving();
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_logged.size(), 1);
    EXPECT_TRUE(g_logged[0].startsWith("corvane.notify: history not saved")) << g_logged[0].toStdString();

    ASSERT_TRUE(QFile::remove(folder));
    n.record(Kind::camera, false, QStringLiteral("Cam"));
    n.finishSaving();
    PrivacyNotifier reread(folder, &notes, frontmost, clock);
    ASSERT_TRUE(waitLoaded(reread));
    ASSERT_EQ(reread.history().size(), 2);
    EXPECT_TRUE(reread.history()[1].active); // the event whose save failed
}

} // namespace
