// Under the software scene graph no surface may bring in Mesa's OpenGL stack: a graphical
// effect created even hidden opens an OpenGL context, which on a machine without a GPU
// loads llvmpipe and LLVM (tens of MB and a thread pool) for nothing.
#include "app/AppDelegate.h"
#include "app/MenuBarExtra.h"
#include "state/SidebarTab.h"

#include <QColor>
#include <QDirIterator>
#include <QFile>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include "fakes/FakeHub.h"
#include "fakes/FakeWindowSystem.h"
#include "support/QmlTestUtil.h"

using namespace corvane;

namespace {

// The mapped files of this process whose path contains one of the markers.
QStringList mappedMatching(const QStringList &markers)
{
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

// The mapped libraries of this process that belong to an OpenGL driver.
QStringList mappedGlDrivers()
{
    return mappedMatching({QStringLiteral("libGLX_mesa"), QStringLiteral("libEGL_mesa"),
                           QStringLiteral("_dri.so"), QStringLiteral("libLLVM"),
                           QStringLiteral("libgallium"), QStringLiteral("llvmpipe")});
}

// The graphical effects plugin and the shader compiler it brings (several MB of its own).
QStringList mappedEffectsPlugin()
{
    return mappedMatching({QStringLiteral("libQt6ShaderTools"), QStringLiteral("Qt5Compat/GraphicalEffects"),
                           QStringLiteral("qtgraphicaleffects")});
}

// A window holding one glow wrapper whose radius follows the window's own property.
constexpr const char *kGlowProbe = R"(
import QtQuick
import Corvane
Window {
    property real r: 3
    width: 80; height: 80; visible: true
    Rectangle { id: dot; x: 30; y: 30; width: 20; height: 20; radius: 10; color: "red" }
    GlowEffect {
        objectName: "glow"
        anchors.fill: dot
        source: dot
        radius: r
        color: "white"
    }
}
)";

QQuickWindow *loadProbe(QQmlApplicationEngine &engine)
{
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.loadData(kGlowProbe, QUrl(QStringLiteral("qrc:/probe/GlowProbe.qml")));
    if (engine.rootObjects().isEmpty())
        return nullptr;
    auto *win = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (win && !QTest::qWaitForWindowExposed(win))
        return nullptr;
    return win;
}

// `w` has drawn what it now shows, loading whatever that takes.
void settle(QQuickWindow *w)
{
    ASSERT_TRUE(test::waitForFrames(*w, 2));
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

// The other side of the wrappers: under OpenGL the real effect is made, gets what was set on
// the wrapper and follows its bindings, and the plugin shows in the maps (so its absence
// below means something).
TEST(GraphicalEffects, AWrapperUnderOpenGLMakesTheEffectAndForwardsItsProperties)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QQmlApplicationEngine engine;
    QQuickWindow *win = loadProbe(engine);
    ASSERT_TRUE(win);
    auto *glow = win->findChild<QQuickItem *>(QStringLiteral("glow"));
    ASSERT_TRUE(glow);
    QObject *effect = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (effect = glow->property("effect").value<QObject *>()); }, 3000));
    ASSERT_TRUE(effect);
    EXPECT_DOUBLE_EQ(effect->property("radius").toDouble(), 3.0);
    EXPECT_EQ(effect->property("color").value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(effect->property("source").value<QObject *>(), glow->property("source").value<QObject *>());
    // Left unset on the wrapper: the effect keeps its own default.
    EXPECT_TRUE(effect->property("transparentBorder").toBool());
    win->setProperty("r", 7.0);
    EXPECT_DOUBLE_EQ(effect->property("radius").toDouble(), 7.0);
    EXPECT_FALSE(mappedEffectsPlugin().isEmpty());
}

TEST(GraphicalEffects, AWrapperUnderTheSoftwareRendererMakesNothingAndLoadsNoPlugin)
{
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QQmlApplicationEngine engine;
    QQuickWindow *win = loadProbe(engine);
    ASSERT_TRUE(win);
    auto *glow = win->findChild<QQuickItem *>(QStringLiteral("glow"));
    ASSERT_TRUE(glow);
    settle(win);
    EXPECT_EQ(glow->property("effect").value<QObject *>(), nullptr);
    EXPECT_TRUE(mappedEffectsPlugin().isEmpty()) << mappedEffectsPlugin().join('\n').toStdString();
}

// A surface importing the plugin itself would load it on being compiled, shown or not; only
// the effect files, loaded by URL from their wrappers, may.
TEST(GraphicalEffects, OnlyTheEffectFilesImportThePlugin)
{
    QStringList importers;
    int files = 0;
    QDirIterator it(QStringLiteral(":/Corvane"), {QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << it.filePath().toStdString();
        ++files;
        if (f.readAll().contains("Qt5Compat.GraphicalEffects"))
            importers << it.fileName();
    }
    ASSERT_GT(files, 50);
    importers.sort();
    EXPECT_EQ(importers, QStringList({QStringLiteral("DropShadowGpu.qml"), QStringLiteral("FastBlurGpu.qml"),
                                      QStringLiteral("GlowGpu.qml"), QStringLiteral("RectangularGlowGpu.qml")}));
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
    MenuBarExtra tray(&state, &delegate);
    engine.load(QUrl(QStringLiteral("qrc:/Corvane/MainWindow.qml")));
    ASSERT_FALSE(engine.rootObjects().isEmpty());
    auto *main = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    ASSERT_TRUE(main);
    delegate.attachMainWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(main->rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    QObject *rootView = nullptr;
    for (QObject *o : main->findChildren<QObject *>())
        if (!rootView && o->property("showOnboarding").isValid())
            rootView = o;
    ASSERT_TRUE(rootView);
    QTRY_VERIFY(rootView->property("showOnboarding").toBool()); // after its delay
    settle(main);

    // Every tab, then every quick test's sheet over the dashboard. The GPU stress test draws
    // through its own OpenGL context by design and is left out.
    for (SidebarTab t : Tabs::allCases()) {
        state.setTab(t);
        settle(main);
    }
    state.setTab(SidebarTab::live);
    settle(main);
    for (QuickTestKind k : QuickTests::allCases()) {
        if (k == QuickTestKind::gpu)
            continue;
        state.setPendingQuickTest(k);
        settle(main);
        QTest::keyClick(main, Qt::Key_Escape);
        settle(main);
    }

    delegate.toggleDesktopMode();
    settle(main);
    delegate.toggleDesktopMode();

    delegate.enterBarMode();
    ASSERT_TRUE(delegate.barWindow());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate.barWindow()));
    auto *bar = qobject_cast<QQuickWindow *>(delegate.barWindow());
    ASSERT_TRUE(bar);
    settle(bar);
    delegate.exitBarMode();

    tray.togglePopup();
    if (QQuickWindow *popup = tray.popupWindow()) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(popup));
        settle(popup);
        tray.togglePopup();
    }
    if (main->isExposed())
        settle(main);

    QStringList loaded = mappedGlDrivers();
    loaded.removeIf([&before](const QString &path) { return before.contains(path); });
    EXPECT_TRUE(loaded.isEmpty()) << loaded.join('\n').toStdString();
    const QStringList effects = mappedEffectsPlugin();
    EXPECT_TRUE(effects.isEmpty()) << effects.join('\n').toStdString();
}
