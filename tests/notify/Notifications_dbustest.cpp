// Runs on a private session bus with a stand-in notification server on its own connection.
#include "platform/linux/DBusNotifications.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeNotifications.h"
#include "fakes/MonitorFeeds.h"
#include "notify/IsolatedSettings.h"
#include "notify/PrivacyNotifier.h"
#include "notify/ThresholdNotifier.h"

#include <QDBusConnection>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

struct NotifyCall {
    QString app, icon, summary, body;
    uint replaces;
    QStringList actions;
    QVariantMap hints;
    int timeout;
};

class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<NotifyCall> calls;
public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        calls.append({app, icon, summary, body, replaces, actions, hints, timeout});
        return uint(calls.size());
    }
    QStringList GetCapabilities() { return {"body", "body-markup"}; }
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = "test";
        version = "1";
        specVersion = "1.2";
        return "fake";
    }
};

class DBusNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useIsolatedSettings();
        ASSERT_TRUE(server.isConnected()) << "no session bus";
        ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerService(DBusNotifications::service()));
    }
    void TearDown() override
    {
        server.unregisterService(DBusNotifications::service());
        server.unregisterObject("/org/freedesktop/Notifications");
    }

    QDBusConnection server = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notification-server");
    FakeNotificationServer fake;
    DBusNotifications notifications{QDBusConnection::sessionBus()};
};

TEST_F(DBusNotificationsTest, NotifyCarriesTitleAndBody)
{
    notifications.post(QString::fromUtf8("Camera activată"), QString::fromUtf8("firefox folosește camera"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.calls.isEmpty(); }, 5000));
    const NotifyCall &c = fake.calls[0];
    EXPECT_EQ(c.app, "Corvane");
    EXPECT_EQ(c.replaces, 0u);
    // The installed icon and desktop entry, so the server shows and files it as Corvane's.
    EXPECT_EQ(c.icon, "org.corvane.Corvane");
    EXPECT_EQ(c.summary, QString::fromUtf8("Camera activată"));
    EXPECT_EQ(c.body, QString::fromUtf8("firefox folosește camera"));
    EXPECT_TRUE(c.actions.isEmpty());
    EXPECT_EQ(c.hints, (QVariantMap{{"desktop-entry", "org.corvane.Corvane"}}));
    EXPECT_EQ(c.timeout, -1);
}

TEST_F(DBusNotificationsTest, BodiesAreEscapedForMarkupServers)
{
    notifications.post(QString::fromUtf8("Microfon activat"), QString::fromUtf8("AT&T <Meet> folosește microfonul"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.calls.isEmpty(); }, 5000));
    EXPECT_EQ(fake.calls[0].body, QString::fromUtf8("AT&amp;T &lt;Meet&gt; folosește microfonul"));
    // A server without markup shows the text as it is.
    EXPECT_EQ(DBusNotifications::bodyText(QStringLiteral("a & b"), false), QStringLiteral("a & b"));
}

TEST_F(DBusNotificationsTest, AuthorisedWhileAServerAnswers)
{
    QObject context;
    std::optional<bool> answer;
    notifications.queryAuthorization(&context, [&](bool ok) { answer = ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_TRUE(*answer);

    server.unregisterService(DBusNotifications::service());
    answer.reset();
    notifications.queryAuthorization(&context, [&](bool ok) { answer = ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_FALSE(*answer);
}

TEST_F(DBusNotificationsTest, NotifiersPostThroughTheBus)
{
    QTemporaryDir dir;
    FakeClock clock;
    FakeFrontmost frontmost;
    PrivacyNotifier privacy(dir.path(), &notifications, frontmost, clock);
    ASSERT_TRUE(QTest::qWaitFor([&] { return privacy.authorized(); }, 5000));
    CameraFeed camera;
    MicFeed mic;
    privacy.bind(&camera.mon, &mic.mon);
    camera.running({"Integrated Camera"});

    ThresholdNotifier thresholds(&notifications, clock);
    SystemFeed system;
    BatteryFeed battery;
    SmcFeed smc;
    smc.cpuTemp(96.4);
    thresholds.bind(&system.mon, &battery.mon, &smc.mon);

    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.calls.size() == 2; }, 5000));
    // Each notifier acts on the snapshot it is handed, in the order the snapshots came.
    EXPECT_EQ(fake.calls[0].summary, QString::fromUtf8("Camera activată"));
    EXPECT_EQ(fake.calls[0].body, QString::fromUtf8("O aplicație folosește camera Integrated Camera"));
    EXPECT_EQ(fake.calls[1].summary, QString::fromUtf8("CPU la 96°C"));
    EXPECT_EQ(fake.calls[1].body,
              QString::fromUtf8("Temperatura CPU a depășit 95°C — verifică Procese sau crește turația ventilatoarelor."));
}

} // namespace

#include "Notifications_dbustest.moc"
