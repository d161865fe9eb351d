// The window modes under a real window manager (openbox on Xvfb): keys typed and clicks made
// through the X server with xdotool, window properties read back with xprop. Also the one
// path that opens a window of its own from a tab: the display pixel test.
#include "app/AppDelegate.h"
#include "app/GraphicsChoice.h"
#include "app/HiddenRelease.h"
#include "app/MainWindowHost.h"
#include "app/MenuBarExtra.h"
#include "app/SingleInstance.h"
#include "common/DialogOwner.h"
#include "fakes/FakeHub.h"
#include "fakes/FakeStatusNotifierWatcher.h"
#include "platform/DisplaySource.h"
#include "platform/WindowSystem.h"
#include "report/SystemReportPage.h"
#include "state/BarModeSettings.h"
#include "support/QmlTestUtil.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QSGRendererInterface>
#include <QTemporaryDir>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>

using namespace corvane;
using corvane::test::FakeStatusNotifierWatcher;
using corvane::test::clickTrayMenu;

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    // The app keeps handling its events while the tool talks to the X server.
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString xprop(QWindow *w, const QString &property)
{
    return run("xprop", {"-id", QString::number(w->winId()), property});
}

void typeKeys(const QString &keys) { run("xdotool", {"key", "--clearmodifiers", keys}); }

void clickAt(const QPoint &global)
{
    run("xdotool", {"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

void clickOn(QQuickItem *item, QPointF at = {-1, -1})
{
    ASSERT_TRUE(item && item->isVisible());
    if (at.x() < 0)
        at = QPointF(item->width() / 2, item->height() / 2);
    clickAt(item->mapToGlobal(at).toPoint());
}

void collectNamed(QQuickItem *item, const QString &name, QList<QQuickItem *> &out)
{
    if (item->objectName() == name)
        out << item;
    for (QQuickItem *child : item->childItems())
        collectNamed(child, name, out);
}

// The first visible item of that name in the window.
QQuickItem *shownItem(QQuickWindow *w, const QString &name)
{
    QList<QQuickItem *> all;
    collectNamed(w->contentItem(), name, all);
    for (QQuickItem *i : all)
        if (i->isVisible())
            return i;
    return nullptr;
}

QString shownText(QQuickWindow *w, const QString &name)
{
    QQuickItem *i = shownItem(w, name);
    return i ? i->property("text").toString() : QStringLiteral("<missing>");
}

bool windowManagerRunning()
{
    return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
}

// The window manager is done with `w`: its geometry and visibility stay the same over three
// rounds, each a request to the X server from another client (the manager's answers to what
// came before have had their turn there).
bool settled(QWindow *w)
{
    QRect last = w->geometry();
    bool lastVisible = w->isVisible();
    int same = 0;
    return QTest::qWaitFor([&] {
        run("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
        QCoreApplication::processEvents();
        same = w->geometry() == last && w->isVisible() == lastVisible ? same + 1 : 0;
        last = w->geometry();
        lastVisible = w->isVisible();
        return same >= 3;
    }, 60000);
}

struct WmFixture : ::testing::Test {
    test::FakeHub fakeHub;
    AppState &state = fakeHub.state;
    test::QmlHarness h;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<QObject> mainObject;
    QQuickWindow *main = nullptr;

    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb" || !windowManagerRunning())
            GTEST_SKIP() << "needs an X server with a window manager";
        QSettings().clear();
        QSettings().setValue("didFinishOnboarding", true); // no first-run sheet over the window
        h.engine().addImportPath("qrc:/");
        delegate = std::make_unique<AppDelegate>(&state, &h.engine(), makeWindowSystem());
        mainObject = h.createFile("qrc:/Corvane/MainWindow.qml", {{"visible", false}});
        main = qobject_cast<QQuickWindow *>(mainObject.get());
        ASSERT_TRUE(main);
        delegate->attachMainWindow(main);
        main->setPosition(120, 90);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        main->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
        ASSERT_TRUE(settled(main)); // the manager's placement
    }
    void TearDown() override
    {
        if (delegate && delegate->barModeActive())
            delegate->exitBarMode();
        delegate.reset();
        mainObject.reset();
    }
    bool waitFor(const std::function<bool()> &f) { return QTest::qWaitFor(f, 20000); }
};

// A main window the host may release and build again, shown active on `tab` at `geometry`.
struct ReleasableWindow {
    void show(SidebarTab tab, const QRect &geometry)
    {
        host.serve(&delegate);
        ASSERT_TRUE(host.build(false));
        main = host.window();
        hub.state.setTab(tab);
        main->setGeometry(geometry);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        main->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
        ASSERT_TRUE(settled(main));
    }
    // Before the hub, which reads them.
    bool freshSettings = [] {
        QSettings().clear();
        QSettings().setValue("didFinishOnboarding", true);
        return true;
    }();
    test::FakeHub hub;
    MainWindowHost host{&hub.state, 50};
    AppDelegate delegate{&hub.state, nullptr, makeWindowSystem()};
    QPointer<QQuickWindow> main;
};

} // namespace

TEST_F(WmFixture, TitleIsExactlyTheWindowsOwn)
{
    EXPECT_TRUE(xprop(main, "_NET_WM_NAME").contains("= \"Corvane Skerrin Widget\"")) << xprop(main, "_NET_WM_NAME").toStdString();
}

TEST_F(WmFixture, CtrlDEntersAndAClickedStripLeavesBarMode)
{
    QSignalSpy paused(&state, &AppState::visualsPausedChanged);
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return delegate->barModeActive(); }));
    QWindow *strip = delegate->barWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    EXPECT_TRUE(waitFor([&] { return !main->isVisible(); }));

    // The strip takes the focus when clicked, so the shortcut reaches the application.
    clickAt(strip->geometry().center());
    ASSERT_TRUE(waitFor([&] { return strip->isActive(); })) << "the strip did not take focus";
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return !delegate->barModeActive(); }));
    EXPECT_TRUE(waitFor([&] { return main->isExposed(); }));
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(paused.count(), 0) << "the samplers paused on the way";
    EXPECT_FALSE(state.visualsPaused());
}

TEST_F(WmFixture, CtrlDTwiceGoesInAndOutWithoutTouchingTheStrip)
{
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return delegate->barModeActive(); }));
    ASSERT_TRUE(waitFor([&] { return delegate->barWindow()->isActive(); })) << "the strip was not made key";
    typeKeys("ctrl+d");
    EXPECT_TRUE(waitFor([&] { return !delegate->barModeActive() && main->isExposed(); }));
}

TEST_F(WmFixture, BringToFrontWorksFromTheStrip)
{
    delegate->enterBarMode();
    QWindow *strip = delegate->barWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    clickAt(strip->geometry().center());
    ASSERT_TRUE(waitFor([&] { return strip->isActive(); }));
    typeKeys("ctrl+shift+f");
    EXPECT_TRUE(waitFor([&] { return main->isExposed() && main->isActive(); }));
    EXPECT_TRUE(delegate->barModeActive()); // bringing forward does not leave Bar Mode
}

TEST_F(WmFixture, TheStripIsADockOnEveryDesktopAlongTheTop)
{
    delegate->enterBarMode();
    QWindow *strip = delegate->barWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    EXPECT_TRUE(xprop(strip, "_NET_WM_WINDOW_TYPE").contains("_NET_WM_WINDOW_TYPE_DOCK"));
    const QString states = xprop(strip, "_NET_WM_STATE");
    // On every desktop is the desktop number all-ones (openbox keeps no separate sticky state).
    for (const char *s : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_TRUE(states.contains(s)) << s << " missing from " << states.toStdString();
    EXPECT_TRUE(xprop(strip, "_NET_WM_DESKTOP").contains("4294967295")) << xprop(strip, "_NET_WM_DESKTOP").toStdString();
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(strip->geometry(), QRect(avail.x(), avail.y(), avail.width(), 140));
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty()) {
        QTest::qWait(300);
        run("import", {"-window", "root", dir + "/screen-strip-top.png"});
    }
    delegate->exitBarMode();

    BarModeSettings::shared()->setPositionRaw("bottom");
    delegate->enterBarMode();
    strip = delegate->barWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    EXPECT_EQ(strip->geometry(), QRect(avail.x(), avail.bottom() + 1 - 140, avail.width(), 140));
    if (!dir.isEmpty()) {
        QTest::qWait(300);
        run("import", {"-window", "root", dir + "/screen-strip-bottom.png"});
    }
    BarModeSettings::shared()->setPositionRaw("top");
}

TEST_F(WmFixture, WindowKeepsItsPlaceAcrossDesktopModeAndBarMode)
{
    main->setGeometry(QRect(160, 120, 1180, 760));
    ASSERT_TRUE(settled(main));
    const QRect before = main->geometry();

    typeKeys("ctrl+shift+d");
    ASSERT_TRUE(waitFor([&] { return delegate->desktopMode(); }));
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->geometry().topLeft(), before.topLeft()) << "moved on entering desktop mode";
    EXPECT_TRUE(xprop(main, "_NET_WM_STATE").contains("_NET_WM_STATE_BELOW"));

    delegate->toggleDesktopMode();
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->geometry(), before);

    delegate->enterBarMode();
    ASSERT_TRUE(waitFor([&] { return !main->isVisible(); }));
    delegate->exitBarMode();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->geometry(), before);
}

TEST_F(WmFixture, DesktopModeWindowMovesByDraggingItsBackground)
{
    delegate->toggleDesktopMode();
    ASSERT_TRUE(settled(main));
    const QRect before = main->geometry();
    // A point on the window's own background: the sidebar's empty stretch below the tabs.
    const QPoint from = main->mapToGlobal(QPoint(100, before.height() - 140));
    run("xdotool", {"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
    run("xdotool", {"mousemove", "--sync", QString::number(from.x() - 60), QString::number(from.y() - 40)});
    run("xdotool", {"mousemove", "--sync", QString::number(from.x() - 80), QString::number(from.y() - 50), "mouseup", "1"});
    EXPECT_TRUE(waitFor([&] { return main->geometry().topLeft() != before.topLeft(); }))
        << "the window did not move";
    delegate->toggleDesktopMode();
}

TEST_F(WmFixture, ClosedWindowReleasedAndShownAgainKeepsItsPlaceAndSize)
{
    releaseWhileHidden(main, 50);
    main->setGeometry(QRect(200, 150, 1180, 760));
    ASSERT_TRUE(settled(main));
    const QRect before = main->geometry();

    typeKeys("alt+F4"); // closed: the tray keeps the app
    ASSERT_TRUE(waitFor([&] { return !main->isVisible(); }));
    ASSERT_TRUE(waitFor([&] { return main->handle() == nullptr; })) << "the native window was kept";
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->handle(), nullptr) << "something created the native window again while hidden";

    delegate->bringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->geometry(), before);
    EXPECT_EQ(main->grabWindow().size(), before.size() * main->devicePixelRatio());
}

// With every surface hidden the app lets its engine and window go; the window built again
// is a new one to the manager, and must still come back where it was, on its tab.
TEST(WmEngineRelease, TheWindowBuiltAgainComesBackInItsPlaceOnItsTab)
{
    if (QGuiApplication::platformName() != "xcb" || !windowManagerRunning())
        GTEST_SKIP() << "needs an X server with a window manager";
    ReleasableWindow w;
    ASSERT_NO_FATAL_FAILURE(w.show(SidebarTab::activity, QRect(200, 150, 1180, 760)));
    MainWindowHost &host = w.host;
    AppDelegate &delegate = w.delegate;
    QPointer<QQuickWindow> &main = w.main;
    const QRect before = main->geometry();

    typeKeys("alt+F4"); // closed: the tray keeps the app
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host.isBuilt(); }, 20000)) << "the engine stayed";
    EXPECT_TRUE(main.isNull());

    delegate.bringToFront();
    main = host.window();
    ASSERT_TRUE(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    ASSERT_TRUE(settled(main));
    EXPECT_EQ(main->geometry(), before);
    EXPECT_TRUE(QTest::qWaitForWindowActive(main));
    QQuickItem *root = nullptr;
    for (QQuickItem *i : main->contentItem()->childItems())
        for (QQuickItem *j : i->childItems())
            if (j->property("shownTab").isValid())
                root = j;
    ASSERT_TRUE(root);
    EXPECT_TRUE(QTest::qWaitFor([&] { return root->property("shownTab").toString() == "activity"; }, 20000));
}

// trayer along the top, reserving its row (a strut) or not: in Bar Mode the strip leaves the
// tray icon uncovered, and a click on the icon opens the popup.
class TrayBesideTheStrip : public WmFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(TrayBesideTheStrip, TheIconStaysReachable)
{
    const bool strut = GetParam();
    QProcess trayer;
    trayer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    trayer.start("trayer", {"--edge", "top", "--SetDockType", "true", "--SetPartialStrut", strut ? "true" : "false",
                            "--height", "26"});
    ASSERT_TRUE(trayer.waitForStarted(10000)) << "trayer did not start";
    ASSERT_TRUE(waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) << "no tray host";
    QScreen *screen = QGuiApplication::primaryScreen();
    if (strut) {
        ASSERT_TRUE(waitFor([&] { return screen->availableGeometry().top() == 26; })) << "the strut reserved nothing";
    }
    {
        MenuBarExtra tray(&state, delegate.get());
        auto *icon = tray.findChild<QSystemTrayIcon *>();
        ASSERT_TRUE(icon);
        ASSERT_TRUE(waitFor([&] { return icon->geometry().isValid() && !icon->geometry().isEmpty(); }))
            << "the icon was not embedded";
        QRect iconAt;
        ASSERT_TRUE(waitFor([&] {
            const QRect now = icon->geometry();
            const bool same = now == iconAt;
            iconAt = now;
            return same;
        }));

        delegate->enterBarMode();
        QWindow *strip = delegate->barWindow();
        ASSERT_TRUE(strip && QTest::qWaitForWindowExposed(strip));
        ASSERT_TRUE(settled(strip));
        EXPECT_FALSE(strip->frameGeometry().intersects(iconAt))
            << "strip " << strip->frameGeometry().y() << "+" << strip->frameGeometry().height() << ", icon at "
            << iconAt.y() << "+" << iconAt.height();
        EXPECT_EQ(strip->geometry().top(), 26) << "not right below the panel";
        const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
        if (!dir.isEmpty())
            run("import", {"-window", "root", dir + (strut ? "/bar-mode-trayer-strut.png" : "/bar-mode-trayer-no-strut.png")});

        clickAt(iconAt.center());
        EXPECT_TRUE(waitFor([&] { return tray.popupWindow() && tray.popupWindow()->isVisible(); }))
            << "a click on the tray icon opened no popup";
        if (!dir.isEmpty() && tray.popupWindow() && QTest::qWaitForWindowExposed(tray.popupWindow()) && settled(tray.popupWindow()))
            run("import", {"-window", "root", dir + (strut ? "/bar-mode-trayer-strut-popup.png" : "/bar-mode-trayer-no-strut-popup.png")});
        if (tray.popupWindow())
            tray.popupWindow()->hide();
        delegate->exitBarMode();
    }
    trayer.terminate();
    if (!trayer.waitForFinished(5000))
        trayer.kill();
    trayer.waitForFinished(5000);
    if (strut) {
        EXPECT_TRUE(waitFor([&] { return screen->availableGeometry().top() == 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Trayer, TrayBesideTheStrip, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &i) { return i.param ? "WithStrut" : "WithoutStrut"; });

// Scrolled down in Settings with the wheel, the page stays there across Ctrl+D twice (the
// window's content is built again), across the window released while closed, and across a
// visit to another tab.
TEST(WmEngineRelease, TabsKeepTheirPlaceAcrossBarModeAndTheRelease)
{
    if (QGuiApplication::platformName() != "xcb" || !windowManagerRunning())
        GTEST_SKIP() << "needs an X server with a window manager";
    ReleasableWindow w;
    ASSERT_NO_FATAL_FAILURE(w.show(SidebarTab::settings, QRect(120, 60, 1180, 760)));
    test::FakeHub &hub = w.hub;
    MainWindowHost &host = w.host;
    AppDelegate &delegate = w.delegate;
    QPointer<QQuickWindow> &main = w.main;
    // The settings page once the screens' swap is over and it stands still.
    auto page = [&]() -> QQuickItem * {
        QQuickItem *content = main ? test::findItem(main->contentItem(), "content") : nullptr;
        QQuickItem *scroller = content ? test::findItem(content, "scroller") : nullptr;
        if (!content || content->property("busy").toBool() || !scroller || !test::findItem(scroller, "settingsColumn"))
            return nullptr;
        return scroller;
    };
    auto offset = [&] {
        QQuickItem *s = page();
        return s ? s->property("contentY").toDouble() : -1.0;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return page() != nullptr; }, 20000));
    EXPECT_EQ(offset(), 0.0);

    const QPoint over = main->mapToGlobal(QPoint(700, 400));
    run("xdotool", {"mousemove", "--sync", QString::number(over.x()), QString::number(over.y()), "click", "--repeat", "4",
                    "--delay", "30", "5"});
    double scrolled = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const double now = offset();
        const bool still = now > 0 && now == scrolled;
        scrolled = now;
        QTest::qWait(50);
        return still && offset() == now;
    }, 20000)) << "the wheel did not scroll the page";

    typeKeys("ctrl+d");
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.barModeActive() && !main->isVisible(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.barWindow()->isActive(); }, 20000));
    typeKeys("ctrl+d");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.barModeActive() && main->isExposed(); }, 20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return offset() == scrolled; }, 20000))
        << "back from Bar Mode at " << offset() << " instead of " << scrolled;

    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isActive(); }, 20000));
    typeKeys("alt+F4"); // closed: the tray keeps the app, and the engine goes
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host.isBuilt(); }, 20000)) << "the engine stayed";
    delegate.bringToFront();
    main = host.window();
    ASSERT_TRUE(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(hub.state.tab(), SidebarTab::settings);
    EXPECT_TRUE(QTest::qWaitFor([&] { return offset() == scrolled; }, 20000))
        << "built again at " << offset() << " instead of " << scrolled;

    // The dashboard keeps its own place, and the settings keep theirs.
    hub.state.setTab(SidebarTab::live);
    auto liveOffset = [&] {
        QQuickItem *content = test::findItem(main->contentItem(), "content");
        QQuickItem *dashboard = content && !content->property("busy").toBool() ? test::findItem(content, "dashboard") : nullptr;
        QQuickItem *flick = dashboard ? test::findItem(dashboard, "scroller") : nullptr;
        return flick ? flick->property("contentY").toDouble() : -1.0;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return liveOffset() == 0.0; }, 20000));
    run("xdotool", {"mousemove", "--sync", QString::number(over.x()), QString::number(over.y()), "click", "--repeat", "2",
                    "--delay", "30", "5"});
    double liveScrolled = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const double now = liveOffset();
        const bool still = now > 0 && now == liveScrolled;
        liveScrolled = now;
        QTest::qWait(50);
        return still && liveOffset() == now;
    }, 20000)) << "the wheel did not scroll the dashboard";
    EXPECT_NE(liveScrolled, scrolled);
    hub.state.setTab(SidebarTab::settings);
    EXPECT_TRUE(QTest::qWaitFor([&] { return offset() == scrolled; }, 20000))
        << "back on the tab at " << offset() << " instead of " << scrolled;
    hub.state.setTab(SidebarTab::live);
    EXPECT_TRUE(QTest::qWaitFor([&] { return liveOffset() == liveScrolled; }, 20000))
        << "the dashboard back at " << liveOffset() << " instead of " << liveScrolled;
}

// Ports → "Test display" → "Fullscreen pe acest display" on this X server's own (virtual)
// screen: the colour fills the display, › and taps step through the ten colours and the
// tap on the last closes; the sheet over the tab answers the arrows and Escape.
TEST_F(WmFixture, DisplayPixelTestFromThePortsTabFillsTheScreen)
{
    fakeHub.screens = [] { return currentScreenFacts(); };
    state.displays()->publish(fakeHub.displays->snapshot);
    ASSERT_EQ(state.displays()->displays().size(), 1);
    state.setTabRaw(QStringLiteral("ports"));
    QQuickItem *testButton = nullptr;
    // Once the tab has slid in and its cards have risen: the button sits still inside the
    // window for longer than a frame's gap. Two looks in a row can fall between two frames of
    // the slide and see it still.
    QPointF last(-1, -1);
    QElapsedTimer stillFor;
    stillFor.start();
    ASSERT_TRUE(waitFor([&] {
        testButton = shownItem(main, QStringLiteral("testButton"));
        const QPointF at = testButton ? testButton->mapToScene({}) : QPointF(-1, -1);
        if (at != last) {
            last = at;
            stillFor.restart();
            return false;
        }
        return testButton && at.x() > 0 && at.x() < main->width() && stillFor.elapsed() > 500;
    }));
    clickOn(testButton);
    ASSERT_TRUE(waitFor([&] { return shownItem(main, QStringLiteral("fullscreenButton")); }));
    EXPECT_EQ(shownText(main, QStringLiteral("previewName")), QStringLiteral("ROȘU"));
    typeKeys("Right");
    EXPECT_TRUE(waitFor([&] { return shownText(main, QStringLiteral("previewName")) == QStringLiteral("VERDE"); }))
        << "the sheet did not take the arrow key";
    typeKeys("Left");
    EXPECT_TRUE(waitFor([&] { return shownText(main, QStringLiteral("previewName")) == QStringLiteral("ROȘU"); }));

    clickOn(shownItem(main, QStringLiteral("fullscreenButton")));
    QQuickWindow *win = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWindow *w : QGuiApplication::topLevelWindows())
            if (w->objectName() == QLatin1String("pixelFullscreenWindow") && w->isVisible())
                win = qobject_cast<QQuickWindow *>(w);
        return win != nullptr;
    }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win));
    const auto colourAt = [&](QPoint p) { return QColor(win->grabWindow().pixel(p)); };
    const QPoint probe(win->width() / 2, win->height() / 3);
    EXPECT_TRUE(waitFor([&] { return colourAt(probe) == QColor(255, 0, 0); })) << colourAt(probe).name().toStdString();
    EXPECT_EQ(shownText(win, QStringLiteral("fullscreenName")), QStringLiteral("Roșu"));

    clickOn(shownItem(win, QStringLiteral("fullscreenNext")));
    EXPECT_TRUE(waitFor([&] { return shownText(win, QStringLiteral("fullscreenName")) == QStringLiteral("Verde"); }));
    EXPECT_EQ(colourAt(probe), QColor(0, 255, 0));
    for (int colour = 3; colour <= 10; ++colour) {
        const QString before = shownText(win, QStringLiteral("fullscreenName"));
        clickAt(win->mapToGlobal(probe));
        ASSERT_TRUE(waitFor([&] { return shownText(win, QStringLiteral("fullscreenName")) != before; })) << colour;
    }
    EXPECT_TRUE(waitFor([&] { return shownText(win, QStringLiteral("fullscreenName")) == QStringLiteral("Gradient HDR"); }));
    QPointer<QQuickWindow> closing(win);
    clickAt(win->mapToGlobal(probe));
    EXPECT_TRUE(waitFor([&] { return !closing || !closing->isVisible(); })) << "a tap on the last colour closes";

    ASSERT_TRUE(waitFor([&] { return main->isActive(); }));
    typeKeys("Escape");
    EXPECT_TRUE(waitFor([&] { return !shownItem(main, QStringLiteral("fullscreenButton")); }));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
    state.setTabRaw(QStringLiteral("live"));
}

// ---- The launched application, its single instance and the window's behaviour as a user
// ---- meets it (minimised, clicked, on a screen a panel shares).

namespace {

QStringList lines(const QString &text) { return text.split('\n', Qt::SkipEmptyParts); }

// The built program, run as a user would start it: its own home, settings and runtime folder
// (shared between launches when given, as one user's would be).
class LaunchedApp {
public:
    explicit LaunchedApp(const QString &runtimeDir = {}) : m_runtime(runtimeDir)
    {
        if (m_runtime.isEmpty())
            m_runtime = m_home.path() + "/run";
        QDir().mkpath(m_runtime);
        QFile::setPermissions(m_runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir().mkpath(m_home.path() + "/config/Corvane");
        QSettings conf(m_home.path() + "/config/Corvane/Corvane.conf", QSettings::IniFormat);
        conf.setValue("didFinishOnboarding", true); // no first-run sheet over the window
        conf.setValue("didRequestPrivacyAuth", true);
    }
    ~LaunchedApp()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(5000))
                m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }
    void start(const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.path() + "/config");
        env.insert("XDG_DATA_HOME", m_home.path() + "/data");
        env.insert("XDG_CACHE_HOME", m_home.path() + "/cache");
        env.insert("XDG_RUNTIME_DIR", m_runtime);
        env.remove("QT_QUICK_BACKEND");
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(QStringLiteral(CORVANE_BINARY_DIR "/corvane"), args);
    }
    qint64 pid() const { return m_proc.processId(); }
    // Exit code once it ended by itself within the wait, else -1.
    int exitCode(int ms = 20000)
    {
        if (!QTest::qWaitFor([&] { return m_proc.state() == QProcess::NotRunning; }, ms))
            return -1;
        return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
    }
    void crash()
    {
        ::kill(pid_t(m_proc.processId()), SIGKILL);
        m_proc.waitForFinished(5000);
    }
    // Its shown main window, once it has one.
    QString mainWindow(int ms = 30000)
    {
        QString id;
        (void)QTest::qWaitFor(
            [&] {
                const QStringList ids = lines(run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid()),
                                                              "--name", "Corvane Skerrin Widget"}));
                id = ids.isEmpty() ? QString() : ids.first();
                return !id.isEmpty();
            },
            ms);
        return id;
    }
    QStringList windows() const
    {
        return lines(run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(m_proc.processId())}));
    }

private:
    QTemporaryDir m_home;
    QString m_runtime;
    QProcess m_proc;
};

void saveShot(const QImage &img, const QString &name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty())
        img.save(dir + "/" + name);
}

xcb_connection_t *xcbConnection()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *c, const QByteArray &name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

// A dock along the top or bottom of the screen, reserving its row through a strut or not (a
// panel that only floats over the others).
class EdgeDock {
public:
    EdgeDock(bool bottom, int height, bool strut) : m_conn(xcbConnection())
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
        const int width = screen->width_in_pixels;
        const int y = bottom ? screen->height_in_pixels - height : 0;
        m_win = xcb_generate_id(m_conn);
        xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, m_win, screen->root, 0, int16_t(y), uint16_t(width),
                          uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const xcb_atom_t dock = internAtom(m_conn, "_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_win, internAtom(m_conn, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                            32, 1, &dock);
        if (strut) {
            uint32_t partial[12] = {};
            partial[bottom ? 3 : 2] = uint32_t(height);
            partial[bottom ? 11 : 9] = uint32_t(width - 1);
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_win, internAtom(m_conn, "_NET_WM_STRUT_PARTIAL"),
                                XCB_ATOM_CARDINAL, 32, 12, partial);
        }
        // Where the program put it (a manager places a window without this anew).
        uint32_t hints[18] = {1 | 2, 0, uint32_t(y), uint32_t(width), uint32_t(height)};
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_win, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                            18, hints);
        xcb_map_window(m_conn, m_win);
        xcb_flush(m_conn);
    }
    ~EdgeDock()
    {
        xcb_destroy_window(m_conn, m_win);
        xcb_flush(m_conn);
    }

private:
    xcb_connection_t *m_conn;
    xcb_window_t m_win;
};

bool wmAvailable() { return QGuiApplication::platformName() == "xcb" && windowManagerRunning(); }

// The app draws with Qt's software scene graph where there is no GPU render node (always so
// under Xvfb): so do these tests, before their first window exists.
class AppSceneGraph : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (preferSoftwareSceneGraph())
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
};
[[maybe_unused]] ::testing::Environment *const kAppSceneGraph = ::testing::AddGlobalTestEnvironment(new AppSceneGraph);

} // namespace

// Launched straight onto another tab (the arguments apply on the loop's first turn, after the
// window was built on the dashboard), the window shows that tab alone: the software scene graph
// kept drawing the dashboard's greeting under every later tab.
TEST_F(WmFixture, LaunchedOnATabShowsNothingOfTheDashboard)
{
    const QRect header(225, 18, 400, 58); // the tab's eyebrow and title, where the greeting was
    // The window as main() makes it, the launch arguments applied as main() applies them.
    auto launch = [&](const QStringList &args) {
        mainObject.reset();
        mainObject = h.createFile("qrc:/Corvane/MainWindow.qml");
        main = qobject_cast<QQuickWindow *>(mainObject.get());
        QTimer::singleShot(0, delegate.get(), [this, args] { delegate->applicationDidFinishLaunching(args); });
        return main && QTest::qWaitForWindowExposed(main);
    };
    // The header once the screens' swap has ended: the same in three looks in a row, taken
    // while the event loop runs on.
    auto settledHeader = [&] {
        QImage last;
        int same = 0;
        (void)waitFor([&] {
            const QImage now = main->grabWindow().copy(header);
            same = now == last ? same + 1 : 0;
            last = now;
            QQuickItem *content = test::findItem(main->contentItem(), "content");
            return same >= 2 && content && !content->property("busy").toBool()
                && test::findItem(main->contentItem(), "dashboard") == nullptr;
        });
        return last;
    };
    ASSERT_TRUE(launch({"corvane", "--tab=activity"}));
    const QImage launched = settledHeader();
    saveShot(main->grabWindow(), "launched-on-activity.png");
    // The reference: a window that never showed the dashboard.
    ASSERT_TRUE(launch({"corvane"}));
    const QImage reference = settledHeader();
    // Text drawn where the reference has none, a glyph's antialiasing aside.
    int extra = 0;
    for (int y = 0; y < launched.height(); ++y)
        for (int x = 0; x < launched.width(); ++x) {
            if (qGray(launched.pixel(x, y)) < 110)
                continue;
            bool nearText = false;
            for (int dy = -2; dy <= 2 && !nearText; ++dy)
                for (int dx = -2; dx <= 2 && !nearText; ++dx)
                    nearText = reference.valid(x + dx, y + dy) && qGray(reference.pixel(x + dx, y + dy)) > 60;
            extra += nearText ? 0 : 1;
        }
    if (extra > 0) {
        saveShot(launched, "header-launched.png");
        saveShot(reference, "header-reference.png");
    }
    EXPECT_LE(extra, 10) << "something of the dashboard is drawn under the activity tab";
}

// A second launch hands its arguments to the running instance, which applies them and comes
// to the front, and ends with success; it opens no window of its own.
TEST_F(WmFixture, ASecondLaunchHandsItsArgumentsToTheRunningOne)
{
    QTemporaryDir runtime;
    SingleInstance running(runtime.path());
    ASSERT_EQ(running.claim({"corvane"}), SingleInstance::Role::Primary);
    QObject::connect(&running, &SingleInstance::argumentsReceived, delegate.get(),
                     [this](const QStringList &a) { delegate->receiveLaunchArguments(a); });
    main->close(); // in the tray
    ASSERT_TRUE(waitFor([&] { return !main->isVisible(); }));

    LaunchedApp second(runtime.path());
    second.start({"--tab=ports", "--openCard=gpu"});
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(state.tab(), SidebarTab::ports);
    EXPECT_EQ(state.pendingQuickTest(), QuickTestKind::gpu);
    EXPECT_TRUE(waitFor([&] { return main->isExposed() && main->isActive(); })) << "the window did not come forward";

    // A test asked for alone opens where it is shown: on the dashboard.
    LaunchedApp third(runtime.path());
    third.start({"--openCard=cpu"});
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(state.tab(), SidebarTab::live);
    EXPECT_TRUE(waitFor([&] {
        QQuickItem *dashboard = test::findItem(main->contentItem(), "dashboard");
        return dashboard && dashboard->property("activeQuickTest").toString() == "cpu";
    })) << "the CPU test did not open";
}

// Two real launches make one instance; one that crashed leaves a lock and a socket behind
// that keep nobody from starting.
TEST(LaunchedApp, OneInstanceAndACrashedOneBlocksNothing)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    QTemporaryDir runtime;
    LaunchedApp first(runtime.path());
    first.start({});
    ASSERT_FALSE(first.mainWindow().isEmpty());
    LaunchedApp again(runtime.path());
    again.start({"--tab=settings"});
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_TRUE(again.windows().isEmpty());

    first.crash();
    ASSERT_TRUE(QFile::exists(runtime.path() + "/corvane.lock"));
    SingleInstance next(runtime.path());
    ASSERT_EQ(next.claim({"corvane"}), SingleInstance::Role::Primary) << "the crashed instance's lock blocked the start";
    EXPECT_TRUE(next.isListening()) << "its socket was left in the way";
    QStringList received;
    QObject::connect(&next, &SingleInstance::argumentsReceived, [&](const QStringList &a) { received = a; });
    LaunchedApp later(runtime.path());
    later.start({"--tab=crashes"});
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_TRUE(received.contains("--tab=crashes")) << received.join(' ').toStdString();
}

// Closed through the window manager, as its close button does.
void closeThroughManager(const QString &window)
{
    xcb_connection_t *c = xcbConnection();
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window.toUInt();
    ev.type = internAtom(c, "_NET_CLOSE_WINDOW");
    ev.data.data32[1] = 2; // from a taskbar, which the manager always obeys
    xcb_send_event(c, 0, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
}

// With no tray, every close of the window ends the app, also right after a Bar Mode round trip
// (sent over a connection that stays open, as window managers and taskbars send it).
TEST(LaunchedApp, EveryCloseAfterABarModeRoundTripEndsTheApp)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray is already there";
    for (int round = 1; round <= 3; ++round) {
        LaunchedApp app;
        app.start({});
        const QString main = app.mainWindow();
        ASSERT_FALSE(main.isEmpty());
        run("xdotool", {"windowactivate", "--sync", main, "key", "--clearmodifiers", "ctrl+d"});
        ASSERT_TRUE(QTest::qWaitFor([&] { const QStringList w = app.windows(); return !w.isEmpty() && !w.contains(main); }, 30000))
            << "round " << round << ": no strip";
        run("xdotool", {"windowactivate", "--sync", app.windows().first(), "key", "--clearmodifiers", "ctrl+d"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return app.windows() == QStringList{main}; }, 30000)) << "round " << round;
        closeThroughManager(main);
        EXPECT_EQ(app.exitCode(), 0) << "round " << round << ": the close was not obeyed";
    }
}

// How the window left the screen before the tray went.
enum class LeftBy { Closing, Minimising };
void PrintTo(LeftBy by, std::ostream *os) { *os << (by == LeftBy::Closing ? "closing" : "minimising"); }

class LateTray : public ::testing::TestWithParam<LeftBy> {};

// Started before the panel, as autostart often is: the icon docks once a tray comes and opens
// the popup, and closing the window leaves the app in the tray. With the tray gone the window
// comes back by itself, restored where the user had minimised it, and closing it then quits.
TEST_P(LateTray, ClosingTheWindowFollowsTheTrayOfTheMoment)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray is already there";
    LaunchedApp app;
    app.start({});
    const QString main = app.mainWindow();
    ASSERT_FALSE(main.isEmpty());
    QProcess trayer;
    trayer.start("trayer", {"--edge", "top", "--SetDockType", "true", "--height", "26"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.windows().size() == 2; }, 30000)) << "the icon did not dock";
    QStringList others = app.windows();
    others.removeAll(main);
    const QString icon = others.value(0);
    run("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.windows().size() == 3; }, 30000)) << "the icon opened no popup";
    saveShot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "late-tray-popup.png");
    run("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.windows().size() == 2; }, 30000));

    auto wmState = [](const QString &window) { return run("xprop", {"-id", window, "WM_STATE"}); };
    if (GetParam() == LeftBy::Closing) {
        closeThroughManager(main);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app.windows().contains(main); }, 30000));
    } else {
        run("xdotool", {"windowminimize", main});
        ASSERT_TRUE(QTest::qWaitFor([&] { return wmState(main).contains("Iconic"); }, 30000));
    }
    trayer.terminate();
    ASSERT_TRUE(trayer.waitForFinished(10000));
    ASSERT_TRUE(QTest::qWaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, 30000));
    const QString back = app.mainWindow();
    ASSERT_NE(app.pid(), 0) << "closing the window quit the app while a tray held its icon";
    ASSERT_FALSE(back.isEmpty()) << "with the tray gone the app stayed out of reach";
    EXPECT_TRUE(QTest::qWaitFor([&] { return wmState(back).contains("Normal"); }, 30000))
        << "the window came back minimised: " << wmState(back).toStdString();
    closeThroughManager(back);
    EXPECT_EQ(app.exitCode(), 0) << "closing the window without a tray left the app running";
}

INSTANTIATE_TEST_SUITE_P(Trayer, LateTray, ::testing::Values(LeftBy::Closing, LeftBy::Minimising),
                         [](const ::testing::TestParamInfo<LeftBy> &i) {
                             return i.param == LeftBy::Closing ? "WindowClosed" : "WindowMinimised";
                         });

// Whether the panel's StatusNotifier watcher was there before the app or came after it.
enum class WatcherStarts { BeforeTheApp, AfterTheApp };
void PrintTo(WatcherStarts when, std::ostream *os) { *os << (when == WatcherStarts::BeforeTheApp ? "before" : "after"); }

class StatusNotifierTray : public ::testing::TestWithParam<WatcherStarts> {};

// KDE's, GNOME's and sway's trays are a watcher on the session bus. One that starts after the
// app (the login race) still gets the icon, whose menu brings the closed window back; closing
// the window keeps the app while a watcher shows the icon; a watcher that goes brings the
// window back, and closing it then quits.
TEST_P(StatusNotifierTray, ClosingTheWindowFollowsTheWatcher)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray is already there";
    FakeStatusNotifierWatcher watcher;
    if (GetParam() == WatcherStarts::BeforeTheApp) {
        ASSERT_TRUE(watcher.start());
    }
    LaunchedApp app;
    app.start({});
    const QString main = app.mainWindow();
    ASSERT_FALSE(main.isEmpty());
    if (GetParam() == WatcherStarts::AfterTheApp) {
        ASSERT_TRUE(watcher.start());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items().isEmpty(); }, 30000)) << "the icon never reached the tray";
    const QString item = watcher.items().first();
    // A click on the icon in the panel (top right) opens the popup there, a second one closes it.
    auto clickIcon = [&] {
        QDBusMessage activate = QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate");
        activate << 1270 << 12;
        return QDBusConnection::sessionBus().call(activate, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
    };
    ASSERT_TRUE(clickIcon());
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.windows().size() == 2; }, 30000)) << "the icon opened no popup";
    saveShot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "watcher-popup.png");
    ASSERT_TRUE(clickIcon());
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.windows().size() == 1; }, 30000));

    closeThroughManager(main);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.windows().contains(main); }, 30000));
    ASSERT_TRUE(clickTrayMenu(QDBusConnection::sessionBus(), item, [](const QVariantMap &entry) {
        return entry.value("label").toString().remove('_') == QString::fromUtf8("Adu în Față");
    })) << "the tray's menu has no way back";
    const QString reopened = app.mainWindow();
    ASSERT_FALSE(reopened.isEmpty()) << "closing the window quit the app while a tray showed its icon";

    closeThroughManager(reopened);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.windows().contains(reopened); }, 30000));
    watcher.stop();
    const QString back = app.mainWindow();
    ASSERT_NE(app.pid(), 0);
    ASSERT_FALSE(back.isEmpty()) << "with the tray gone the app stayed out of reach";
    closeThroughManager(back);
    EXPECT_EQ(app.exitCode(), 0) << "closing the window without a tray left the app running";
}

INSTANTIATE_TEST_SUITE_P(Watcher, StatusNotifierTray,
                         ::testing::Values(WatcherStarts::BeforeTheApp, WatcherStarts::AfterTheApp),
                         [](const ::testing::TestParamInfo<WatcherStarts> &i) {
                             return i.param == WatcherStarts::BeforeTheApp ? "BeforeTheApp" : "AfterTheApp";
                         });

// Under GTK's platform theme the save dialog is GTK's own window: transient for the window it
// was opened from, above it after a click on that window, and in the documents folder.
TEST(DialogWithItsWindow, TheSaveDialogStaysAboveItsWindow)
{
    if (!wmAvailable())
        GTEST_SKIP() << "needs an X server with a window manager";
    if (qgetenv("QT_QPA_PLATFORMTHEME") != "gtk3") {
        // Qt loads its theme as the application starts: the case runs again in a process of
        // its own, under GTK's theme (whose library keeps some memory to the end).
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORMTHEME", "gtk3");
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=DialogWithItsWindow.*"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 240000));
        EXPECT_EQ(child.exitCode(), 0);
        return;
    }
    EXPECT_EQ(documentsFolder(), QDir::homePath()) << "no documents folder yet";
    ASSERT_TRUE(QDir().mkpath(QDir::homePath() + "/Documents"));
    QQuickWindow main;
    main.setGeometry(20, 30, 1240, 740);
    main.show();
    main.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    const auto dialog = SystemReportPage::saveDialog(dialogOwner(), "raport.pdf");
    dialog->setWindowModality(Qt::ApplicationModal); // as exec() makes it
    dialog->show();
    QString id;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        id = run("xdotool", {"search", "--onlyvisible", "--name", "^Salvează raportul de sistem$"}).trimmed();
        return !id.isEmpty();
    }, 30000));
    EXPECT_NE(id.toULongLong(), dialog->winId()) << "Qt's own dialog, not GTK's";
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->directory().absolutePath() == QDir::homePath() + "/Documents"; }, 30000))
        << dialog->directory().absolutePath().toStdString();
    const QString parent = "0x" + QString::number(main.winId(), 16);
    EXPECT_TRUE(run("xprop", {"-id", id, "WM_TRANSIENT_FOR"}).trimmed().endsWith(parent));

    run("xdotool", {"windowmove", id, "600", "400"});
    run("xdotool", {"mousemove", "60", "80", "click", "1"});
    ASSERT_TRUE(settled(&main));
    saveShot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "save-dialog-after-click.png");
    const QString stacking = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}).trimmed() + ",";
    const QString dialogHex = "0x" + QString::number(id.toULongLong(), 16);
    EXPECT_GT(stacking.indexOf(dialogHex + ","), stacking.indexOf(parent + ",")) << "the window came over its dialog";
    dialog->reject();
}

// Desktop mode's pinning (every desktop, out of the taskbar and pager, below the others)
// survives the window being hidden for Bar Mode: the manager drops it on unmap.
TEST_F(WmFixture, DesktopModeKeepsItsPinningAcrossBarMode)
{
    int released = 0;
    releaseWhileHidden(main, 50, [this] { return delegate->keepsNativeMainWindow(); }, [&] { ++released; });
    auto pinned = [&] {
        const QString states = xprop(main, "_NET_WM_STATE");
        return states.contains("_NET_WM_STATE_SKIP_TASKBAR") && states.contains("_NET_WM_STATE_SKIP_PAGER")
            && states.contains("_NET_WM_STATE_BELOW") && xprop(main, "_NET_WM_DESKTOP").contains("4294967295");
    };
    typeKeys("ctrl+shift+d");
    ASSERT_TRUE(waitFor([&] { return delegate->desktopMode(); }));
    ASSERT_TRUE(waitFor(pinned)) << xprop(main, "_NET_WM_STATE").toStdString();

    delegate->enterBarMode();
    ASSERT_TRUE(waitFor([&] { return !main->isVisible() && released == 1; }));
    delegate->exitBarMode();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_TRUE(waitFor(pinned)) << xprop(main, "_NET_WM_STATE").toStdString() << xprop(main, "_NET_WM_DESKTOP").toStdString();
    delegate->toggleDesktopMode();
}

// "Deschide fereastra principală" in the tray popup and Ctrl+Shift+F bring back a window the
// user minimised.
TEST_F(WmFixture, OpeningTheWindowRestoresItWhenMinimised)
{
    MenuBarExtra tray(&state, delegate.get());
    auto minimise = [&] {
        run("xdotool", {"windowminimize", QString::number(main->winId())});
        return waitFor([&] { return bool(main->windowStates() & Qt::WindowMinimized) && !main->isExposed(); });
    };
    auto restored = [&] { return !(main->windowStates() & Qt::WindowMinimized) && main->isExposed(); };
    auto openPopup = [&]() -> QQuickWindow * {
        if (!waitFor([&] { return !tray.popupWindow() || !tray.popupWindow()->isVisible(); }))
            return nullptr; // the last one still open: a toggle would close it
        tray.togglePopup();
        QQuickWindow *popup = tray.popupWindow();
        return popup && QTest::qWaitForWindowExposed(popup) ? popup : nullptr;
    };

    ASSERT_TRUE(minimise());
    QQuickWindow *popup = openPopup();
    ASSERT_TRUE(popup);
    QQuickItem *row = test::findItem(popup->contentItem(), "action.front");
    ASSERT_TRUE(row);
    const QPoint at = popup->mapToGlobal(row->mapToScene(QPointF(row->width() / 2, row->height() / 2)).toPoint());
    clickAt(at);
    EXPECT_TRUE(waitFor(restored)) << "the popup's row left the window minimised";

    ASSERT_TRUE(minimise());
    popup = openPopup();
    ASSERT_TRUE(popup);
    ASSERT_TRUE(waitFor([&] { return popup->isActive(); }));
    // On a loaded machine the manager may still be handing the popup its focus when the keys
    // arrive, and they are lost: bringing to the front again is harmless, so they go again.
    bool back = false;
    for (int attempt = 0; attempt < 3 && !back; ++attempt) {
        typeKeys("ctrl+shift+f");
        back = QTest::qWaitFor(restored, 8000);
    }
    EXPECT_TRUE(back) << "Ctrl+Shift+F left the window minimised";
}

// A plain click on the window's background moves nothing: the manager's move starts only
// once the pointer travels with the button down, so afterwards the window stays put and the
// keyboard still reaches the app.
TEST_F(WmFixture, AClickOnTheBackgroundStartsNoMove)
{
    const QRect before = main->geometry();
    const QPoint at = main->mapToGlobal(QPoint(100, before.height() - 140)); // the sidebar's empty stretch
    clickAt(at);
    run("xdotool", {"mousemove", "--sync", QString::number(at.x() + 150), QString::number(at.y() - 90)});
    typeKeys("ctrl+shift+d");
    EXPECT_TRUE(waitFor([&] { return delegate->desktopMode(); })) << "the keys did not reach the app";
    EXPECT_EQ(main->geometry().topLeft(), before.topLeft()) << "the window followed the pointer";
    if (delegate->desktopMode())
        delegate->toggleDesktopMode();
}

// Leaving Bar Mode brings back the same window, even after it was hidden long enough to give
// its memory back: what the manager or another program knew of it (a close) still reaches it.
TEST_F(WmFixture, TheWindowComesBackFromBarModeAsItself)
{
    int released = 0;
    releaseWhileHidden(main, 50, [this] { return delegate->keepsNativeMainWindow(); }, [&] { ++released; });
    const QString id = QString::number(main->winId());
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return delegate->barModeActive() && released == 1; }));
    ASSERT_TRUE(waitFor([&] { return delegate->barWindow()->isActive(); }));
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return !delegate->barModeActive() && main->isExposed(); }));
    EXPECT_EQ(QString::number(main->winId()), id);

    QSignalSpy closing(main, SIGNAL(closing(QQuickCloseEvent*)));
    run("xdotool", {"windowactivate", "--sync", id, "key", "--clearmodifiers", "alt+F4"});
    EXPECT_TRUE(waitFor([&] { return closing.count() == 1; })) << "a close for the window was lost";
}

// On a 1280x800 screen a panel shares, the window and its frame fit the rest: its least size
// gives way rather than pushing the frame off the screen.
TEST_F(WmFixture, TheWindowFitsTheAreaAPanelLeaves)
{
    QScreen *screen = main->screen();
    const QRect full = screen->geometry();
    const int panelHeight = full.height() - 774; // 26 px at 800: the work area of the report
    EdgeDock panel(false, panelHeight, true);
    ASSERT_TRUE(waitFor([&] { return screen->availableGeometry().height() == full.height() - panelHeight; }))
        << "the manager did not reserve the panel's strip";
    const QRect avail = screen->availableGeometry();
    EXPECT_TRUE(waitFor([&] { return avail.contains(main->frameGeometry()); }))
        << "frame " << main->frameGeometry().height() << " px in a " << avail.height() << " px work area";
    const QMargins frame = main->frameMargins();
    EXPECT_LE(main->minimumHeight() + frame.top() + frame.bottom(), avail.height());
    EXPECT_EQ(main->minimumWidth(), 1180); // the width still fits
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty())
        run("import", {"-window", "root", dir + "/screen-with-panel.png"});
}

// ---- Bar Mode as each window manager treats it (the suite also runs under xfwm4 and fluxbox).

namespace {

// `w` has the keyboard and keeps it: active over three rounds, each a request to the X server
// from another client (a manager handing the focus on has had its turn).
bool keepsFocus(QWindow *w)
{
    int same = 0;
    return QTest::qWaitFor([&] {
        const bool focused = run("xdotool", {"getwindowfocus"}).trimmed() == QString::number(w->winId());
        QCoreApplication::processEvents();
        same = focused && w->isActive() ? same + 1 : 0;
        return same >= 3;
    }, 20000);
}

QString windowManagerName()
{
    const QString check = run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
    const QString id = check.section(' ', -1).trimmed();
    return run("xprop", {"-id", id, "_NET_WM_NAME"}).section('"', 1, 1);
}

void shootScreen(const QString &name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SHOTS");
    if (!dir.isEmpty())
        run("import", {"-window", "root", dir + "/" + windowManagerName().toLower() + "-" + name});
}

// Another program beside the app that keeps its keyboard focus on a child window, as Java's
// toolkit does (input hint False, WM_TAKE_FOCUS answered by focusing the child); it reports
// the key presses that child receives.
class FocusChildClient {
public:
    explicit FocusChildClient(const QRect &at)
    {
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(QStringLiteral(CORVANE_FOCUS_CHILD_CLIENT),
                     {QString::number(at.x()), QString::number(at.y()), QString::number(at.width()),
                      QString::number(at.height())});
        // Until the manager has shown it (and given it the focus, where it does).
        (void)QTest::qWaitFor([&] { return read(), m_child != 0 && viewable(); }, 20000);
    }
    ~FocusChildClient()
    {
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000))
            m_proc.kill();
    }
    xcb_window_t child() const { return m_child; }
    int keys() { return read(), m_keys; }
    // The middle of the child window on the screen.
    QPoint centre() const
    {
        xcb_connection_t *c = xcbConnection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_get_geometry_reply_t *geo = xcb_get_geometry_reply(c, xcb_get_geometry(c, m_child), nullptr);
        xcb_translate_coordinates_reply_t *at =
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, m_child, root, 0, 0), nullptr);
        const QPoint p = geo && at ? QPoint(at->dst_x + geo->width / 2, at->dst_y + geo->height / 2) : QPoint();
        free(geo);
        free(at);
        return p;
    }

private:
    bool viewable() const
    {
        xcb_connection_t *c = xcbConnection();
        xcb_get_window_attributes_reply_t *a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_child), nullptr);
        const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        free(a);
        return shown;
    }
    void read()
    {
        while (m_proc.canReadLine()) {
            const QStringList words = QString::fromUtf8(m_proc.readLine()).split(' ', Qt::SkipEmptyParts);
            if (words.value(0) == "windows")
                m_child = words.value(2).trimmed().toUInt();
            else if (words.value(0) == "keys")
                m_keys = words.value(1).trimmed().toInt();
        }
    }
    QProcess m_proc;
    xcb_window_t m_child = 0;
    int m_keys = 0;
};

// The X server's keyboard focus is on `win` and stays there over three rounds, each a request
// to the X server from another client.
bool focusStaysOn(xcb_window_t win)
{
    int same = 0;
    return QTest::qWaitFor([&] {
        const bool focused = run("xdotool", {"getwindowfocus", "-f"}).trimmed() == QString::number(win);
        QCoreApplication::processEvents();
        same = focused ? same + 1 : 0;
        return same >= 3;
    }, 20000);
}

} // namespace

using BarModeUnderWm = WmFixture;

// Every entry leaves the keyboard on the strip, and a click gives it back after another window
// took it: Ctrl+D always leaves again. Several rounds, as the manager's hand-over races the map.
TEST_F(BarModeUnderWm, CtrlDLeavesBarModeOnEveryEntry)
{
    QWindow other;
    other.setGeometry(300, 300, 200, 150);
    for (int round = 1; round <= 6; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(waitFor([&] { return main->isActive(); }));
        typeKeys("ctrl+d");
        ASSERT_TRUE(waitFor([&] { return delegate->barModeActive(); }));
        QWindow *strip = delegate->barWindow();
        // Once the manager has let the main window go: it may hand the focus on as it does.
        const QString mainId = QString::number(main->winId(), 16);
        ASSERT_TRUE(waitFor([&] { return !run("xprop", {"-root", "_NET_CLIENT_LIST"}).contains("0x" + mainId); }));
        ASSERT_TRUE(keepsFocus(strip)) << "the strip did not take the focus as it appeared";
        if (round % 2 == 0) {
            other.show();
            other.requestActivate();
            ASSERT_TRUE(waitFor([&] { return other.isActive(); }));
            clickAt(strip->geometry().center());
            ASSERT_TRUE(keepsFocus(strip)) << "a click did not give the strip the focus";
            other.hide();
        }
        // On a loaded machine keys typed while the manager is still busy with the focus can be
        // lost: they go again while the strip still holds it.
        bool left = false;
        for (int attempt = 0; attempt < 3 && !left && keepsFocus(strip); ++attempt) {
            typeKeys("ctrl+d");
            left = QTest::qWaitFor([&] { return !delegate->barModeActive(); }, 8000);
        }
        ASSERT_TRUE(left) << "the keyboard focus is on " << run("xdotool", {"getwindowfocus"}).toStdString()
                          << ", the strip is " << strip->winId();
        ASSERT_TRUE(waitFor([&] { return main->isExposed(); }));
    }
}

// A program that keeps its keyboard focus on a child window of its own (Java's toolkit does)
// keeps what a click gave it: neither the strip nor the window brought to the front takes it
// back, and every key typed reaches that program.
TEST_F(BarModeUnderWm, AProgramFocusingAChildWindowKeepsTheKeyboard)
{
    // Left of the main window and below the strip.
    FocusChildClient other(QRect(8, main->geometry().center().y(), main->geometry().left() - 30, 160));
    ASSERT_NE(other.child(), 0u) << "the other program did not start";
    const QString typed = QStringLiteral("tastatura");
    auto clickAndType = [&] {
        const int before = other.keys();
        clickAt(other.centre());
        ASSERT_TRUE(focusStaysOn(other.child()))
            << "the keyboard focus went to " << run("xdotool", {"getwindowfocus", "-f"}).toStdString();
        run("xdotool", {"type", "--delay", "40", typed});
        EXPECT_TRUE(waitFor([&] { return other.keys() == before + typed.size(); }))
            << other.keys() - before << " of " << typed.size() << " keys reached the program";
    };

    main->requestActivate();
    ASSERT_TRUE(keepsFocus(main));
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return delegate->barModeActive(); }));
    // The manager may give the other program the keyboard as the main window goes (once it
    // has let that window go, or a moment later): a click gives it to the strip.
    QWindow *strip = delegate->barWindow();
    const QString mainId = "0x" + QString::number(main->winId(), 16);
    ASSERT_TRUE(waitFor([&] { return !run("xprop", {"-root", "_NET_CLIENT_LIST"}).contains(mainId); }));
    bool stripHasIt = false;
    for (int attempt = 0; attempt < 3 && !stripHasIt; ++attempt) {
        clickAt(strip->geometry().center());
        stripHasIt = keepsFocus(strip);
    }
    ASSERT_TRUE(stripHasIt) << "a click did not give the strip the keyboard";
    {
        SCOPED_TRACE("from the strip");
        clickAndType();
    }
    delegate->bringToFront(); // "Adu în Față" while in Bar Mode
    ASSERT_TRUE(keepsFocus(main));
    {
        SCOPED_TRACE("from the window brought to the front");
        clickAndType();
    }
}

// A panel that comes after Bar Mode started, along the strip's edge, reserving its row or not:
// the strip moves out of its way, and back once it has gone.
TEST_F(BarModeUnderWm, TheStripMakesWayForAPanelThatComesLater)
{
    BarModeSettings::shared()->setPositionRaw("bottom");
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect full = screen->geometry();
    delegate->enterBarMode();
    QWindow *strip = delegate->barWindow();
    ASSERT_TRUE(strip && QTest::qWaitForWindowExposed(strip));
    ASSERT_TRUE(settled(strip));
    // Above the manager's own bar where it has one (fluxbox).
    const int bottom = strip->geometry().bottom();
    for (bool strut : {true, false}) {
        SCOPED_TRACE(strut ? "reserving its row" : "reserving nothing");
        {
            EdgeDock panel(true, 40, strut);
            EXPECT_TRUE(waitFor([&] { return strip->geometry().bottom() == qMin(bottom, full.bottom() - 40); }))
                << "the strip ends at " << strip->geometry().bottom();
            EXPECT_EQ(strip->geometry().height(), 140);
            if (strut)
                shootScreen("strip-late-panel.png");
        }
        EXPECT_TRUE(waitFor([&] { return strip->geometry().bottom() == bottom; })) << "it stayed up";
    }
    delegate->exitBarMode();
    BarModeSettings::shared()->setPositionRaw("top");
}

// The manager's close (Alt+F4 where it offers one for the strip, a pager's close elsewhere)
// leaves Bar Mode as Ctrl+D does: the window comes back, the app goes on.
TEST_F(BarModeUnderWm, ClosingTheStripLeavesBarMode)
{
    QSignalSpy lastClosed(qGuiApp, &QGuiApplication::lastWindowClosed);
    typeKeys("ctrl+d");
    ASSERT_TRUE(waitFor([&] { return delegate->barModeActive(); }));
    ASSERT_TRUE(keepsFocus(delegate->barWindow()));
    shootScreen("strip.png");
    const QString strip = QString::number(delegate->barWindow()->winId());
    if (!xprop(delegate->barWindow(), "_NET_WM_ALLOWED_ACTIONS").contains("_NET_WM_ACTION_CLOSE"))
        GTEST_SKIP() << "this manager offers no close for a dock";
    if (windowManagerName() == "Xfwm4")
        typeKeys("alt+F4");
    else
        closeThroughManager(strip); // as a pager does
    EXPECT_TRUE(waitFor([&] { return !delegate->barModeActive() && main->isExposed(); }))
        << "the strip closed, Bar Mode still on: " << delegate->barModeActive();
    EXPECT_EQ(lastClosed.count(), 0);
}

// The tray's popup is no task of its own for a taskbar or a pager.
TEST_F(BarModeUnderWm, TheTrayPopupStaysOutOfTheTaskbar)
{
    MenuBarExtra tray(&state, delegate.get());
    tray.togglePopup();
    QQuickWindow *popup = tray.popupWindow();
    ASSERT_TRUE(popup && QTest::qWaitForWindowExposed(popup));
    const QString states = xprop(popup, "_NET_WM_STATE");
    EXPECT_TRUE(states.contains("_NET_WM_STATE_SKIP_TASKBAR")) << states.toStdString();
    EXPECT_TRUE(states.contains("_NET_WM_STATE_SKIP_PAGER")) << states.toStdString();
    popup->hide();
}
