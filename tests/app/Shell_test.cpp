#include "app/AppDelegate.h"
#include "app/MenuBarExtra.h"
#include "app/SingleInstance.h"
#include "state/BarModeSettings.h"
#include "state/LaunchAtLogin.h"
#include "state/Updater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QProcess>
#include <QLocalSocket>
#include <QtEndian>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QQuickWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <thread>

#include "fakes/FakeHub.h"
#include "fakes/FakeWindowSystem.h"

using namespace corvane;

namespace {
using test::RecordingWindowSystem;

struct ShellFixture : ::testing::Test {
    test::FakeHub fakeHub;
    AppState &state = fakeHub.state;
    QQmlEngine engine;
    RecordingWindowSystem *ws = new RecordingWindowSystem;
    AppDelegate delegate{&state, &engine, std::unique_ptr<WindowSystem>(ws)};
    QQuickWindow main;
    void SetUp() override
    {
        QSettings().clear();
        main.resize(400, 300);
        delegate.attachMainWindow(&main);
        main.show();
    }
};
} // namespace

TEST_F(ShellFixture, LaunchArguments)
{
    delegate.applyLaunchArguments({"/usr/bin/corvane", "--tab=Ports", "--tab=", "--openCard=disk"});
    EXPECT_EQ(state.tab(), SidebarTab::live);
    EXPECT_FALSE(state.pendingQuickTest());
    delegate.applyLaunchArguments({"corvane", "--tab=tests", "--tab=nope", "--tab=crashes", "--openCard=gpu"});
    EXPECT_EQ(state.tab(), SidebarTab::crashes);
    EXPECT_EQ(state.pendingQuickTest(), QuickTestKind::gpu);

    // The test is asked for after the tab has moved, whatever the order given: the page that
    // is leaving must not take it.
    state.setPendingQuickTest(std::nullopt);
    QStringList order;
    QObject::connect(&state, &AppState::tabChanged, &state, [&] { order << "tab"; });
    QObject::connect(&state, &AppState::pendingQuickTestChanged, &state, [&] { order << "test"; });
    delegate.applyLaunchArguments({"corvane", "--openCard=speakers", "--tab=settings"});
    EXPECT_EQ(order, (QStringList{"tab", "test"}));
}

TEST_F(ShellFixture, PermissionIsAskedOnceAndMarkedFirst)
{
    int asked = 0;
    bool markedBeforeAsking = false;
    delegate.requestNotificationPermission = [&] {
        ++asked;
        markedBeforeAsking = QSettings().value("didRequestPrivacyAuth").toBool();
    };
    delegate.applicationDidFinishLaunching({"corvane", "--tab=ports"});
    delegate.applicationDidFinishLaunching({"corvane"});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(markedBeforeAsking);
    EXPECT_EQ(state.tab(), SidebarTab::ports);
}

TEST_F(ShellFixture, QuitRestoresFansOnlyWhenForced)
{
    bool forced = false;
    int restored = 0;
    delegate.fanManualActive = [&] { return forced; };
    delegate.restoreAutomaticFans = [&] { ++restored; };
    delegate.applicationWillTerminate();
    EXPECT_EQ(restored, 0);
    forced = true;
    delegate.applicationWillTerminate();
    EXPECT_EQ(restored, 1);
}

TEST(BarRect, EdgeAndHeight)
{
    const QRect avail(0, 30, 1280, 770); // a top panel of 30 px
    EXPECT_EQ(AppDelegate::barRect(avail, 140, "top"), QRect(0, 30, 1280, 140));
    EXPECT_EQ(AppDelegate::barRect(avail, 140, "bottom"), QRect(0, 800 - 140, 1280, 140));
    EXPECT_EQ(AppDelegate::barRect(avail, 140, "left"), QRect(0, 30, 1280, 140));
    EXPECT_EQ(AppDelegate::barRect(avail, 140, ""), QRect(0, 30, 1280, 140));
    // Taller than a small screen but a height the slider offers: used as stored.
    EXPECT_EQ(AppDelegate::barRect(QRect(0, 0, 640, 200), 220, "bottom"), QRect(0, 200 - 220, 640, 220));
    // Never a strip the slider can't make: the default instead.
    for (double bad : {1000.0, 32767.0, 89.0, 0.0, -140.0, std::nan(""), HUGE_VAL})
        EXPECT_EQ(AppDelegate::barRect(avail, bad, "bottom"), QRect(0, 800 - 140, 1280, 140)) << bad;
}

// Panels that reserve no space keep their row: the strip goes beside them, never over them.
struct PanelCase {
    const char *name;
    QList<QRect> panels;
    QRect area;
};
void PrintTo(const PanelCase &c, std::ostream *os) { *os << c.name; }

class BarAreaBeside : public ::testing::TestWithParam<PanelCase> {};

TEST_P(BarAreaBeside, OtherPanels)
{
    const QRect screen(0, 0, 1280, 800);
    EXPECT_EQ(AppDelegate::barArea(screen, GetParam().panels), GetParam().area);
}

INSTANTIATE_TEST_SUITE_P(
    Panels, BarAreaBeside,
    ::testing::Values(PanelCase{"None", {}, QRect(0, 0, 1280, 800)},
                      PanelCase{"TrayAlongTheTop", {QRect(0, 0, 1280, 26)}, QRect(0, 26, 1280, 774)},
                      PanelCase{"TrayBoxInTheTopRightCorner", {QRect(1230, 0, 50, 26)}, QRect(0, 26, 1280, 774)},
                      PanelCase{"SquareTrayIcon", {QRect(1254, 0, 26, 26)}, QRect(0, 26, 1280, 774)},
                      PanelCase{"TrayAlongTheBottom", {QRect(0, 774, 1280, 26)}, QRect(0, 0, 1280, 774)},
                      PanelCase{"TwoRowsAtTheTop", {QRect(0, 24, 1280, 26), QRect(0, 0, 1280, 24)}, QRect(0, 50, 1280, 750)},
                      PanelCase{"DockOnTheLeft", {QRect(0, 100, 48, 600)}, QRect(48, 0, 1232, 800)},
                      PanelCase{"DockOnTheRight", {QRect(1232, 0, 48, 800)}, QRect(0, 0, 1232, 800)},
                      // Reserved through a strut: already outside the work area.
                      PanelCase{"OutsideTheArea", {QRect(0, -30, 1280, 30)}, QRect(0, 0, 1280, 800)},
                      PanelCase{"InTheMiddle", {QRect(200, 200, 800, 400)}, QRect(0, 0, 1280, 800)}),
    [](const ::testing::TestParamInfo<PanelCase> &i) { return std::string(i.param.name); });

TEST_F(ShellFixture, TheStripLeavesATraysRowFree)
{
    QSettings().remove("bar.position");
    ws->otherPanels = {QRect(0, 0, 1280, 26)};
    delegate.enterBarMode();
    ASSERT_TRUE(delegate.barWindow());
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(delegate.barWindow()->geometry().top(), qMax(avail.top(), 26));
    delegate.exitBarMode();
}

TEST_F(ShellFixture, BarModeHidesTheWindowAndComesBack)
{
    QSignalSpy spy(&delegate, &AppDelegate::barModeActiveChanged);
    delegate.toggleBarMode();
    ASSERT_TRUE(delegate.barWindow());
    EXPECT_TRUE(delegate.barWindow()->isVisible());
    EXPECT_TRUE(delegate.barWindow()->flags() & Qt::FramelessWindowHint);
    // It must be able to take focus when clicked, or the shortcuts cannot reach it.
    EXPECT_FALSE(delegate.barWindow()->flags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(state.barModeVisible);
    EXPECT_TRUE(ws->calls.contains("panel"));

    delegate.toggleBarMode();
    EXPECT_FALSE(delegate.barWindow());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(state.barModeVisible);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(ShellFixture, DesktopModeSurvivesBarMode)
{
    const Qt::WindowFlags normal = main.flags();
    delegate.toggleDesktopMode();
    EXPECT_TRUE(delegate.desktopMode());
    EXPECT_TRUE(main.flags() & Qt::WindowStaysOnBottomHint);
    EXPECT_TRUE(main.flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(ws->calls.filter(QRegularExpression("pin")), (QStringList{"pin"}));
    delegate.enterBarMode();
    ws->calls.clear();
    delegate.exitBarMode();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main.flags() & Qt::WindowStaysOnBottomHint); // still pinned
    // The manager forgets a hidden window's pinning: it is asked again as the window maps.
    EXPECT_TRUE(ws->calls.contains("pin"));
    ws->calls.clear();
    delegate.toggleDesktopMode();
    EXPECT_EQ(main.flags(), normal);
    EXPECT_EQ(ws->calls.filter(QRegularExpression("pin")), (QStringList{"unpin"}));
}

TEST_F(ShellFixture, BarModeInAndOutNeverPausesTheSamplers)
{
    QSignalSpy paused(&state, &AppState::visualsPausedChanged);
    for (int i = 0; i < 2; ++i) {
        delegate.toggleBarMode();
        QCoreApplication::processEvents();
        delegate.toggleBarMode();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(paused.count(), 0);
    EXPECT_FALSE(state.visualsPaused());
}

TEST_F(ShellFixture, WindowComesBackWhereItWas)
{
    main.setGeometry(QRect(210, 140, 500, 320));
    delegate.enterBarMode();
    main.setGeometry(QRect(0, 0, 500, 320)); // what a manager's fresh placement would do
    delegate.exitBarMode();
    EXPECT_EQ(main.geometry(), QRect(210, 140, 500, 320));

    delegate.toggleDesktopMode();
    EXPECT_EQ(main.geometry(), QRect(210, 140, 500, 320));
    delegate.toggleDesktopMode();
    EXPECT_EQ(main.geometry(), QRect(210, 140, 500, 320));

    main.setGeometry(QRect(300, 200, 500, 320));
    main.close();
    main.setGeometry(QRect(0, 0, 500, 320));
    delegate.bringToFront();
    EXPECT_EQ(main.geometry(), QRect(300, 200, 500, 320));
}

TEST_F(ShellFixture, ClickOnTheStripActivatesIt)
{
    delegate.enterBarMode();
    QQuickWindow *strip = qobject_cast<QQuickWindow *>(delegate.barWindow());
    ASSERT_TRUE(strip);
    ws->calls.clear();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 2, strip->height() / 2));
    EXPECT_TRUE(ws->calls.contains("activate"));
    delegate.exitBarMode();
}

TEST_F(ShellFixture, ClosedMainWindowCountsAsHiddenAndComesBackToFront)
{
    main.close();
    EXPECT_FALSE(state.mainWindowVisible);
    EXPECT_TRUE(state.visualsPaused());
    delegate.bringToFront();
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(ws->calls.contains("activate"));
}

TEST(MenuBarLabel, TemperatureText)
{
    EXPECT_EQ(MenuBarExtra::labelText(47.8), QStringLiteral("47°"));
    EXPECT_EQ(MenuBarExtra::labelText(0.4), QStringLiteral("0°"));
    EXPECT_EQ(MenuBarExtra::labelText(0.0), QString());
    EXPECT_EQ(MenuBarExtra::labelText(-3.0), QString());
    EXPECT_EQ(MenuBarExtra::labelText(std::nan("")), QString());
    EXPECT_EQ(MenuBarExtra::labelText(1e300), QString());
    EXPECT_FALSE(MenuBarExtra::menuBarIcon(47.8).isNull());
}

// The tray icon must read on a light panel and on a dark one: light mark, dark outline.
TEST(MenuBarLabel, IconHasALightMarkWithADarkOutline)
{
    ASSERT_FALSE(MenuBarExtra::brandMark(22).isNull()) << "the brand mark asset is missing";
    for (int side : {16, 22, 32}) {
        const QImage img = MenuBarExtra::menuBarIcon(0).pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        int light = 0, dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() < 200)
                    continue;
                if (c.lightness() > 200)
                    ++light;
                else if (c.lightness() < 60)
                    ++dark;
            }
        EXPECT_GT(light, side) << side;
        EXPECT_GT(dark, side) << side;
    }
}

TEST_F(ShellFixture, TrayMenuEndsWithQuit)
{
    MenuBarExtra tray(&state, &delegate);
    QStringList titles;
    for (QAction *a : tray.contextMenu()->actions())
        if (!a->isSeparator())
            titles << a->text();
    EXPECT_EQ(titles, (QStringList{"Comută Bar Mode (sus pe ecran)", "Comută Modul Desktop (lipit de wallpaper)",
                                   "Adu în Față", "Ieșire"}));
}

TEST(BarModeSettingsStore, DefaultsToggleAndEdge)
{
    QSettings().clear();
    BarModeSettings *b = BarModeSettings::shared();
    EXPECT_EQ(b->positionRaw(), QStringLiteral("top"));
    EXPECT_EQ(b->height(), 140.0);
    for (auto p : BarModeSettings::allPills())
        EXPECT_TRUE(b->isVisible(p));
    EXPECT_EQ(BarModeSettings::allPills().size(), 14);
    EXPECT_EQ(BarModeSettings::rawValue(BarModeSettings::allPills().first()), QStringLiteral("brand"));
    EXPECT_EQ(BarModeSettings::rawValue(BarModeSettings::allPills().last()), QStringLiteral("clock"));

    b->toggle(BarModeSettings::Pill::fans);
    EXPECT_EQ(QSettings().value("bar.pill.fans").toBool(), false);
    b->toggle(BarModeSettings::Pill::fans);
    EXPECT_EQ(QSettings().value("bar.pill.fans").toBool(), true);
    EXPECT_EQ(QSettings().allKeys(), QStringList{"bar.pill.fans"});

    b->setPositionRaw("Bottom");
    EXPECT_EQ(b->position(), BarModeSettings::Position::top);
    b->setPositionRaw(BarModeSettings::rawValue(BarModeSettings::Position::bottom));
    EXPECT_EQ(QSettings().value("bar.position").toString(), QStringLiteral("bottom"));
    EXPECT_EQ(BarModeSettings::title(BarModeSettings::Pill::network), QStringLiteral("Rețea"));
    EXPECT_EQ(BarModeSettings::key(BarModeSettings::Pill::fps), QStringLiteral("bar.pill.fps"));
}

TEST(LaunchAtLoginSwitch, MirrorsTheAutostartEntry)
{
    QTemporaryDir cfg;
    LaunchAtLogin l(makeXdgAutostartItem("/opt/Corvane Apps/corvane", cfg.path()));
    EXPECT_FALSE(l.isEnabled());
    l.setEnabled(false); // not registered: the system's message, still off
    EXPECT_TRUE(l.hasError());
    EXPECT_FALSE(l.isEnabled());
    const QString previous = l.lastErrorText();

    l.setEnabled(true);
    EXPECT_TRUE(l.isEnabled());
    EXPECT_FALSE(l.hasError()); // a success clears it
    QFile f(cfg.path() + "/autostart/corvane.desktop");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Exec=\"/opt/Corvane Apps/corvane\"\n"));
    f.close();
    // The same entry turned off by the desktop's own switch reads as off.
    for (const char *off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
        QTemporaryDir other;
        QDir().mkpath(other.path() + "/autostart");
        QFile e(other.path() + "/autostart/corvane.desktop");
        ASSERT_TRUE(e.open(QIODevice::WriteOnly));
        e.write(QByteArray("[Desktop Entry]\nType=Application\nName=Corvane\nExec=corvane\n") + off);
        e.close();
        EXPECT_FALSE(LaunchAtLogin(makeXdgAutostartItem("/usr/bin/corvane", other.path())).isEnabled()) << off;
    }

    l.setEnabled(true); // already on: no call, nothing changes
    EXPECT_TRUE(l.isEnabled());
    l.setEnabled(false);
    EXPECT_FALSE(l.isEnabled());
    EXPECT_FALSE(QFile::exists(f.fileName()));
    EXPECT_FALSE(previous.isEmpty());

    // A failed registration keeps the switch off with the message.
    QTemporaryDir ro;
    QFile blocker(ro.path() + "/autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    LaunchAtLogin broken(makeXdgAutostartItem("/usr/bin/corvane", ro.path()));
    broken.setEnabled(true);
    EXPECT_FALSE(broken.isEnabled());
    EXPECT_TRUE(broken.hasError());
}

// The entry as a session starts it: GLib's key-file reader, its argument splitting and the
// field-code expansion ("%%" is a literal %), desktop-file-validate on the file itself, and
// gio launch starting a stand-in installed at the same path inside a test folder.
struct InstallPath {
    const char *name;
    const char *path;
};
void PrintTo(const InstallPath &p, std::ostream *os) { *os << p.path; }

class AutostartExec : public ::testing::TestWithParam<InstallPath> {};

TEST_P(AutostartExec, StartsTheInstalledProgram)
{
    const QString exe = QString::fromUtf8(GetParam().path);
    QTemporaryDir cfg;
    LaunchAtLogin l(makeXdgAutostartItem(exe, cfg.path()));
    l.setEnabled(true);
    ASSERT_TRUE(l.isEnabled()) << l.lastErrorText().toStdString();
    const QByteArray file = QFile::encodeName(cfg.path() + "/autostart/corvane.desktop");

    GKeyFile *kf = g_key_file_new();
    GError *error = nullptr;
    ASSERT_TRUE(g_key_file_load_from_file(kf, file.constData(), G_KEY_FILE_NONE, &error)) << error->message;
    gchar *exec = g_key_file_get_string(kf, "Desktop Entry", "Exec", &error);
    g_key_file_free(kf);
    ASSERT_TRUE(exec) << error->message;
    gint argc = 0;
    gchar **argv = nullptr;
    const bool parsed = g_shell_parse_argv(exec, &argc, &argv, &error);
    const std::string execText = exec;
    g_free(exec);
    ASSERT_TRUE(parsed) << execText << ": " << error->message;
    QStringList args;
    for (gint i = 0; i < argc; ++i) {
        const QString arg = QString::fromUtf8(argv[i]);
        EXPECT_FALSE(QString(arg).replace("%%", "").contains('%')) << "a field code in " << execText;
        args << QString(arg).replace("%%", "%");
    }
    g_strfreev(argv);
    // The program itself; where GLib would not find it by its name, env or sh starts it.
    ASSERT_FALSE(args.isEmpty()) << execText;
    EXPECT_EQ(args.last(), exe) << execText;
    EXPECT_EQ(args.size() == 1, !exe.contains('%')) << execText;

    QProcess validate;
    validate.start("desktop-file-validate", {QString::fromUtf8(file)});
    ASSERT_TRUE(validate.waitForFinished(20000)) << "desktop-file-validate did not run";
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    EXPECT_EQ(validate.readAllStandardOutput(), QByteArray()) << execText;

    QTemporaryDir root, home;
    const QString standIn = QDir::cleanPath(root.path() + "/" + exe);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(standIn).path()));
    QFile prog(standIn);
    ASSERT_TRUE(prog.open(QIODevice::WriteOnly));
    prog.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$STARTED_MARKER\"\n");
    prog.close();
    prog.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    LaunchAtLogin installed(makeXdgAutostartItem(standIn, home.path()));
    installed.setEnabled(true);
    const QString marker = root.filePath("started");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("STARTED_MARKER", marker);
    QProcess gio;
    gio.setProcessEnvironment(env);
    gio.start("gio", {"launch", home.path() + "/autostart/corvane.desktop"});
    ASSERT_TRUE(gio.waitForFinished(20000)) << "gio did not run";
    EXPECT_EQ(gio.exitCode(), 0) << gio.readAllStandardError().toStdString();
    const auto startedAs = [&] {
        QFile f(marker);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QTRY_COMPARE(startedAs(), QFile::encodeName(standIn));
}

INSTANTIATE_TEST_SUITE_P(InstallPaths, AutostartExec,
                         ::testing::Values(InstallPath{"Plain", "/usr/bin/corvane"},
                                           InstallPath{"Space", "/opt/Corvane Apps/corvane"},
                                           InstallPath{"Dollar", "/opt/a$b/corvane"},
                                           InstallPath{"PercentAlone", "/opt/50%/corvane"},
                                           InstallPath{"PercentQuoted", "/opt/50% off/corvane"},
                                           InstallPath{"PercentAndEquals", "/opt/a=b/50%/corvane"},
                                           InstallPath{"DoubleQuote", "/opt/say \"hi\"/corvane"},
                                           InstallPath{"Backslash", "/opt/back\\slash/corvane"},
                                           InstallPath{"TwoBackslashes", "/opt/a\\\\b/corvane"},
                                           InstallPath{"Backquote", "/opt/tick`x`/corvane"},
                                           InstallPath{"EveryOne", "/home/ana/my $apps/100%/\"q\"/b\\s/`t`/corvane"},
                                           InstallPath{"LeadingSpaceAndNewline", " /tmp/new\nline/corvane"},
                                           InstallPath{"Romanian", "/opt/aplicații/corvane"}),
                         [](const ::testing::TestParamInfo<InstallPath> &i) { return std::string(i.param.name); });

TEST(UpdaterFeed, NewestItemAndVersionOrder)
{
    EXPECT_GT(compareVersions("1.10", "1.9"), 0);
    EXPECT_EQ(compareVersions("1.2", "1.2.0"), 0);
    EXPECT_LT(compareVersions("0.1", "0.1.1"), 0);
    const QByteArray feed = R"(<?xml version="1.0"?>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle" version="2.0"><channel>
 <item><title>A</title><enclosure url="https://x/a.tgz" sparkle:version="1.9" sparkle:shortVersionString="1.9"/></item>
 <item><title>B</title><sparkle:version>1.10</sparkle:version><link>https://x/b</link></item>
</channel></rss>)";
    const auto item = newestAppcastItem(feed);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->version, QStringLiteral("1.10"));
    EXPECT_EQ(item->link, QStringLiteral("https://x/b"));
    QString err;
    EXPECT_FALSE(newestAppcastItem("<rss><channel><item>", &err));
    EXPECT_FALSE(err.isEmpty());
}

namespace {
QStringList g_logged;
void capture(QtMsgType, const QMessageLogContext &, const QString &msg) { g_logged << msg; }
} // namespace

TEST(UpdaterFeed, CheckFromAFileFeedAndAnAbortLogsOneLine)
{
    QTemporaryDir dir;
    QFile f(dir.path() + "/appcast.xml");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
<item><sparkle:version>99.0</sparkle:version></item></channel></rss>)");
    f.close();
    QStringList shown;
    Updater u(QUrl::fromLocalFile(f.fileName()), [&](const QString &t, const QString &) { shown << t; });
    EXPECT_TRUE(u.canCheckForUpdates());
    QSignalSpy done(u.controller(), &AppcastController::checkFinished);
    u.checkForUpdates();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(shown, QStringList{"Actualizare disponibilă"});

    g_logged.clear();
    auto old = qInstallMessageHandler(capture);
    Updater missing(QUrl::fromLocalFile(dir.path() + "/none.xml"), [&](const QString &t, const QString &) { shown << t; });
    QSignalSpy done2(missing.controller(), &AppcastController::checkFinished);
    missing.checkForUpdates();
    const bool finished = done2.wait(5000);
    qInstallMessageHandler(old);
    ASSERT_TRUE(finished);
    ASSERT_EQ(g_logged.size(), 1);
    EXPECT_TRUE(g_logged.first().startsWith("[Updater] aborted: "));
    // The user hears of the failure the way a finished check is told.
    EXPECT_EQ(shown, (QStringList{"Actualizare disponibilă", "Verificarea a eșuat"}));

    // A feed that is no feed fails the same way.
    QFile junk(dir.path() + "/junk.xml");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("<html>moved</html>");
    junk.close();
    Updater broken(QUrl::fromLocalFile(junk.fileName()), [&](const QString &t, const QString &) { shown << t; });
    QSignalSpy done3(broken.controller(), &AppcastController::checkFinished);
    old = qInstallMessageHandler(capture);
    broken.checkForUpdates();
    const bool finished3 = done3.wait(5000);
    qInstallMessageHandler(old);
    ASSERT_TRUE(finished3);
    EXPECT_EQ(shown.last(), QStringLiteral("Verificarea a eșuat"));
    EXPECT_FALSE(Updater::exists()); // no shared updater until the user asks
}

#include "support/QmlTestUtil.h"

// QML must see the application's own hub, not a second one with its own monitors.
TEST_F(ShellFixture, QmlUsesTheApplicationsHub)
{
    test::QmlHarness h;
    auto obj = h.create("import QtQuick\nimport Corvane\nQtObject { property var hub: AppState }");
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj->property("hub").value<QObject *>(), &state);
    state.setTab(SidebarTab::ports);
    auto obj2 = h.create("import QtQuick\nimport Corvane\nQtObject { property string tab: AppState.tab }");
    EXPECT_EQ(obj2->property("tab").toString(), QStringLiteral("ports"));
}

// The instance's socket takes one short message per connection: a local program that sends
// a huge length, no JSON, or nothing at all is dropped, and the next launch is still served.
TEST(SingleInstanceSocket, OddClientsAreDroppedAndTheNextLaunchIsServed)
{
    QTemporaryDir runtime;
    SingleInstance running(runtime.path());
    ASSERT_EQ(running.claim({"corvane"}), SingleInstance::Role::Primary);
    ASSERT_TRUE(running.isListening());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::argumentsReceived, [&](const QStringList &a) { received << a; });

    auto sendRaw = [&](const QByteArray &bytes) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(running.socketPath());
        EXPECT_TRUE(socket->waitForConnected(2000));
        socket->write(bytes);
        socket->flush();
        return socket;
    };
    QByteArray huge(4, '\0');
    qToBigEndian<quint32>(quint32(SingleInstance::kMaxMessageBytes + 1), huge.data());
    auto tooLong = sendRaw(huge);
    QTRY_COMPARE_WITH_TIMEOUT(tooLong->state(), QLocalSocket::UnconnectedState, 5000);
    QByteArray junk(4, '\0');
    qToBigEndian<quint32>(5, junk.data());
    auto notJson = sendRaw(junk + "{oops");
    auto silent = sendRaw({}); // connects and says nothing: it must not hold the others up
    QTRY_COMPARE_WITH_TIMEOUT(notJson->state(), QLocalSocket::UnconnectedState, 5000);
    EXPECT_EQ(received, (QList<QStringList>{QStringList{}})); // understood as no arguments

    // A second instance of this very process would be refused the lock and hand over.
    SingleInstance later(runtime.path());
    QStringList handed;
    std::atomic<bool> done{false};
    // The running instance answers from this thread's event loop: ask from another thread.
    std::thread asker([&] {
        SingleInstance::Role r = later.claim({"corvane", "--tab=ports"}, 5000);
        handed << (r == SingleInstance::Role::HandedOver ? "handed" : "not");
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    asker.join();
    EXPECT_EQ(handed, QStringList{"handed"});
    EXPECT_EQ(received.last(), (QStringList{"corvane", "--tab=ports"}));
}
