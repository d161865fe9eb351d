// The built program in a Wayland session: a headless weston with XWayland, a private session
// bus and a StatusNotifier watcher on it (the tray of KDE and GNOME), all started here. The
// tray's own menu, reached over the bus, hides and shows the main window.
#include "fakes/FakeStatusNotifierWatcher.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString runWith(const QProcessEnvironment &env, const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    // Events keep flowing meanwhile: the watcher answers the app from this thread.
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput());
}

class WaylandSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("weston").isEmpty() || QStandardPaths::findExecutable("Xwayland").isEmpty())
            GTEST_SKIP() << "needs weston and XWayland";
        m_runtime = m_dir.filePath("run");
        QDir().mkpath(m_runtime);
        ::chmod(QFile::encodeName(m_runtime).constData(), 0700);
        // Where X servers put their sockets; XWayland's would have nowhere to go.
        if (!QDir("/tmp/.X11-unix").exists() && QDir().mkpath("/tmp/.X11-unix"))
            ::chmod("/tmp/.X11-unix", 01777);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", m_runtime);
        m_weston.setProcessEnvironment(env);
        m_weston.start("weston", {"--backend=headless-backend.so", "--xwayland", "--socket=" + m_socket,
                                  "--width=1280", "--height=800", "--idle-time=0", "--log=" + m_dir.filePath("weston.log")});
        m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_bus.canReadLine(); }, 20000)) << "no session bus";
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        ASSERT_TRUE(m_watcher.start(m_busAddress));
        // XWayland's display, as weston announces it.
        const QRegularExpression announced("listening on display (:\\d+)");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QFile log(m_dir.filePath("weston.log"));
                const auto m = log.open(QIODevice::ReadOnly) ? announced.match(QString::fromUtf8(log.readAll()))
                                                              : QRegularExpressionMatch();
                m_xDisplay = m.hasMatch() ? m.captured(1) : QString();
                return !m_xDisplay.isEmpty() || m_weston.state() == QProcess::NotRunning;
            },
            30000));
        ASSERT_FALSE(m_xDisplay.isEmpty()) << "weston started no XWayland";
        QDir().mkpath(m_dir.filePath("home/config/Corvane"));
        QSettings conf(m_dir.filePath("home/config/Corvane/Corvane.conf"), QSettings::IniFormat);
        conf.setValue("didFinishOnboarding", true);
        conf.setValue("didRequestPrivacyAuth", true);
    }
    void TearDown() override
    {
        for (QProcess *p : {&m_app, &m_weston, &m_bus}) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(10000))
                p->kill();
            p->waitForFinished(5000);
        }
        m_watcher.stop();
        QDBusConnection::disconnectFromBus("wayland-session-panel");
    }

    // Started as a user's login in this session starts it: both displays announced, the app's
    // own choice of platform or the one `platform` names.
    void launch(const QString &platform = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.filePath("home"));
        for (const QString &kind : {"CONFIG", "DATA", "CACHE"})
            env.insert("XDG_" + kind + "_HOME", m_dir.filePath("home/" + kind.toLower()));
        env.insert("XDG_RUNTIME_DIR", m_runtime);
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.insert("WAYLAND_DISPLAY", m_socket);
        env.insert("DISPLAY", m_xDisplay);
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_busAddress);
        env.insert("QT_LOGGING_RULES", "corvane.ui.debug=true");
        env.remove("QT_QUICK_BACKEND");
        env.remove("XAUTHORITY");
        env.remove("QT_QPA_PLATFORM");
        if (!platform.isEmpty())
            env.insert("QT_QPA_PLATFORM", platform);
        m_app.setProcessEnvironment(env);
        m_app.setProcessChannelMode(QProcess::MergedChannels);
        m_app.start(QStringLiteral(CORVANE_BINARY_DIR "/corvane"), {});
        ASSERT_TRUE(m_app.waitForStarted(30000));
    }
    bool running() const { return m_app.state() == QProcess::Running; }
    // What the app has said so far, kept across reads.
    QString said()
    {
        m_said += QString::fromUtf8(m_app.readAll());
        return m_said;
    }
    // How often the hidden main window has given its scene back.
    int releases() { return said().count("hidden main window gave its scene back"); }
    bool libraryMapped(const QString &name) const
    {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_app.processId()));
        return maps.open(QIODevice::ReadOnly) && QString::fromUtf8(maps.readAll()).contains("/" + name);
    }
    QStringList xWindows()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_xDisplay);
        return runWith(env, "xdotool", QStringList{"search", "--onlyvisible", "--pid", QString::number(m_app.processId())})
            .split('\n', Qt::SkipEmptyParts);
    }

    // The tray's menu entry a user picks for Bar Mode: the one that says its shortcut is
    // Ctrl+D, as the Widget menu shows it. The menu may be exported a moment after the item.
    bool pickBarModeFromTheTray()
    {
        if (!QTest::qWaitFor([&] { return !m_watcher.items().isEmpty() || !running(); }, 60000) || !running())
            return false;
        const QDBusConnection panel = QDBusConnection::connectToBus(m_busAddress, "wayland-session-panel");
        const auto barMode = [](const QVariantMap &entry) {
            QList<QStringList> keys;
            entry.value("shortcut").value<QDBusArgument>() >> keys;
            return keys == QList<QStringList>{{"Control", "D"}};
        };
        const bool clicked = QTest::qWaitFor(
            [&] { return corvane::test::clickTrayMenu(panel, m_watcher.items().first(), barMode) || !running(); }, 30000);
        EXPECT_TRUE(clicked && running()) << "no Bar Mode entry in the tray menu";
        return clicked && running();
    }

    QTemporaryDir m_dir;
    QString m_runtime;
    const QString m_socket = QStringLiteral("corvane-test");
    QString m_xDisplay;
    QString m_busAddress;
    corvane::test::FakeStatusNotifierWatcher m_watcher;
    QProcess m_weston;
    QProcess m_bus;
    QProcess m_app;
    QString m_said;
};

} // namespace

// With an X display at hand the app asks for X11 even in a Wayland session (Qt would take its
// Wayland plugin): it shows its window on XWayland and lives on once its hidden window has
// given its scene back.
TEST_F(WaylandSession, WithAnXDisplayTheAppRunsOnXWayland)
{
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return libraryMapped("libqxcb.so") || !running(); }, 60000));
    ASSERT_TRUE(running()) << said().toStdString();
    EXPECT_TRUE(libraryMapped("libqxcb.so")) << "not on XWayland";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !xWindows().isEmpty() || !running(); }, 60000));
    const QStringList shown = xWindows();
    ASSERT_EQ(shown.size(), 1) << "the main window is not on XWayland";

    ASSERT_TRUE(pickBarModeFromTheTray());
    ASSERT_TRUE(QTest::qWaitFor([&] { return releases() == 1 || !running(); }, 60000));
    EXPECT_TRUE(running()) << said().toStdString();
    const QStringList strip = xWindows();
    EXPECT_FALSE(strip.isEmpty() || strip.contains(shown.first())) << "the strip did not take the window's place";
}

// Natively on Wayland, on a compositor that has no seat at all: the window hides and comes
// back twice, its scene given back each time, and the app lives on.
TEST_F(WaylandSession, NativelyTheWindowHidesAndComesBackTwice)
{
    ASSERT_NO_FATAL_FAILURE(launch("wayland"));
    // The third hiding shows that the second showing took.
    for (int hidden = 1; hidden <= 3; ++hidden) {
        if (hidden > 1) {
            ASSERT_TRUE(pickBarModeFromTheTray()) << "showing " << hidden - 1 << ": " << said().toStdString();
        }
        ASSERT_TRUE(pickBarModeFromTheTray()) << "hiding " << hidden << ": " << said().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return releases() == hidden || !running(); }, 60000));
        ASSERT_TRUE(running()) << "hiding " << hidden << ": " << said().toStdString();
    }
    EXPECT_FALSE(libraryMapped("libqxcb.so")) << "not on Wayland";
}

