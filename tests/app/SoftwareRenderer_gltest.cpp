// Under the software scene graph no surface may bring in Mesa's OpenGL stack: a graphical
// effect created even hidden opens an OpenGL context, which on a machine without a GPU
// loads llvmpipe and LLVM (tens of MB and a thread pool) for nothing.
#include "app/AppDelegate.h"
#include "app/MenuBarExtra.h"
#include "state/SidebarTab.h"

#include <QFile>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include "fakes/FakeHub.h"
#include "fakes/FakeWindowSystem.h"

using namespace corvane;

namespace {

// The mapped libraries of this process that belong to an OpenGL driver.
QStringList mappedGlDrivers()
{
    static const QStringList markers = {QStringLiteral("libGLX_mesa"), QStringLiteral("libEGL_mesa"),
                                        QStringLiteral("_dri.so"),     QStringLiteral("libLLVM"),
                                        QStringLiteral("libgallium"),  QStringLiteral("llvmpipe")};
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("<maps unreadable>")};
    QStringList found;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        for (const QString &m : markers) {
            if (line.contains('/') && path.contains(m) && !found.contains(path))
                found << path;
        }
    }
    return found;
}

void settle(int ms = 400)
{
    QTest::qWait(ms);
}

} // namespace

// The check itself: an OpenGL context in this environment does show up in the maps, so the
// test below cannot pass merely because no driver is installed.
TEST(SoftwareRenderer, AnOpenGLContextShowsInTheMaps)
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    ASSERT_TRUE(context.create()) << "no OpenGL under this display";
    ASSERT_TRUE(context.makeCurrent(&surface));
    EXPECT_FALSE(mappedGlDrivers().isEmpty());
}

TEST(SoftwareRenderer, EverySurfaceShownLoadsNoOpenGLDriver)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QSettings().clear(); // first run: the onboarding sheet comes up too
    // A driver the launcher preloads (the sanitizer run keeps Mesa mapped to the end) is not
    // one the program loaded; without a preload nothing may be mapped yet.
    const QStringList before = mappedGlDrivers();
    if (qEnvironmentVariableIsEmpty("LD_PRELOAD"))
        ASSERT_TRUE(before.isEmpty()) << before.join('\n').toStdString();

    test::FakeHub hub;
    AppState &state = hub.state;
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    AppDelegate delegate(&state, &engine, std::make_unique<test::RecordingWindowSystem>());
    MenuBarExtra tray(&state, &delegate, &engine);
    engine.load(QUrl(QStringLiteral("qrc:/Corvane/MainWindow.qml")));
    ASSERT_FALSE(engine.rootObjects().isEmpty());
    auto *main = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    ASSERT_TRUE(main);
    delegate.attachMainWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(main->rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    settle(1000); // the onboarding sheet's delay

    // Every tab, then every quick test's sheet over the dashboard. The GPU stress test draws
    // through its own OpenGL context by design and is left out.
    for (SidebarTab t : Tabs::allCases()) {
        state.setTab(t);
        settle();
    }
    state.setTab(SidebarTab::live);
    settle();
    for (QuickTestKind k : QuickTests::allCases()) {
        if (k == QuickTestKind::gpu)
            continue;
        state.setPendingQuickTest(k);
        settle();
        QTest::keyClick(main, Qt::Key_Escape);
        settle(200);
    }

    delegate.toggleDesktopMode();
    settle();
    delegate.toggleDesktopMode();

    delegate.enterBarMode();
    ASSERT_TRUE(delegate.barWindow());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate.barWindow()));
    settle(1000);
    delegate.exitBarMode();

    tray.togglePopup();
    if (QQuickWindow *popup = tray.popupWindow()) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(popup));
        settle();
        tray.togglePopup();
    }
    settle();

    QStringList loaded = mappedGlDrivers();
    loaded.removeIf([&before](const QString &path) { return before.contains(path); });
    EXPECT_TRUE(loaded.isEmpty()) << loaded.join('\n').toStdString();
}
