// The window modes under a real window manager (openbox on Xvfb): keys typed and clicks made
// through the X server with xdotool, window properties read back with xprop. Also the one
// path that opens a window of its own from a tab: the display pixel test.
#include "app/AppDelegate.h"
#include "app/HiddenRelease.h"
#include "fakes/FakeHub.h"
#include "platform/DisplaySource.h"
#include "platform/WindowSystem.h"
#include "state/BarModeSettings.h"
#include "support/QmlTestUtil.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;

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
    // Once the tab has slid in: the button sits still inside the window.
    ASSERT_TRUE(waitFor([&] {
        testButton = shownItem(main, QStringLiteral("testButton"));
        const QPointF at = testButton ? testButton->mapToScene({}) : QPointF(-1, -1);
        QTest::qWait(50);
        return testButton && testButton->mapToScene({}) == at && at.x() > 0 && at.x() < main->width();
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
