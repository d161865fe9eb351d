// Hidden surfaces keep no scene: the main window drops its content while hidden and builds
// it again on show with the same tab and position; a closed tray popup is gone until the
// next click; with every surface hidden the engine and the window go too, unless a sheet
// (and the test in it) is open.
#include "app/AppDelegate.h"
#include "app/HiddenRelease.h"
#include "app/MainWindowHost.h"
#include "app/MenuBarExtra.h"

#include <QFile>
#include <QPainter>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include "fakes/FakeHub.h"
#include "fakes/FakeWindowSystem.h"
#include "support/QuietWaits.h"

using namespace corvane;

namespace {

void collect(QQuickItem *item, QList<QQuickItem *> &out)
{
    for (QQuickItem *c : item->childItems()) {
        out << c;
        collect(c, out);
    }
}

// Items of the window's scene, the window's own content item excluded.
QList<QQuickItem *> scene(QQuickWindow *w)
{
    QList<QQuickItem *> out;
    collect(w->contentItem(), out);
    return out;
}

int sceneItems(QQuickWindow *w)
{
    return scene(w).size();
}

QQuickItem *findItem(QQuickWindow *w, const QString &objectName)
{
    for (QQuickItem *i : scene(w))
        if (i->objectName() == objectName)
            return i;
    return nullptr;
}

// Files of the screens' own font families that the process has mapped (FreeType maps each
// face it opens). The application's default font is left out: what still holds it keeps it.
QStringList mappedScreenFonts()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QByteArray name = line.mid(line.lastIndexOf('/') + 1).toLower();
        if (name.startsWith("inter") || name.startsWith("quicksand") || name.startsWith("materialdesignicons"))
            out << QString::fromLocal8Bit(line.mid(line.indexOf('/')));
    }
    out.removeDuplicates();
    return out;
}

struct HiddenRelease : ::testing::Test {
    test::FakeHub hub;
    QQmlApplicationEngine engine;
    AppDelegate delegate{&hub.state, &engine, std::make_unique<test::RecordingWindowSystem>()};
    QQuickWindow *main = nullptr;
    void SetUp() override
    {
        QSettings().setValue(QStringLiteral("didFinishOnboarding"), true);
        engine.addImportPath(QStringLiteral("qrc:/"));
        engine.load(QUrl(QStringLiteral("qrc:/Corvane/MainWindow.qml")));
        ASSERT_FALSE(engine.rootObjects().isEmpty());
        main = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        ASSERT_TRUE(main);
        delegate.attachMainWindow(main);
        releaseWhileHidden(main, 50);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    }
};

TEST_F(HiddenRelease, MainWindowDropsItsSceneWhileHiddenAndComesBackTheSame)
{
    hub.state.setTab(SidebarTab::ports);
    main->setPosition(120, 90);
    QTRY_VERIFY(sceneItems(main) > 50) << "the window should hold the whole interface";

    const QSize size = main->size();
    delegate.enterBarMode(); // hides the main window
    ASSERT_FALSE(main->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(sceneItems(main) < 5, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(main->handle() == nullptr, 2000); // the native window went too
    EXPECT_EQ(main->geometry(), QRect(QPoint(120, 90), size)) << "the release left the window resized";

    delegate.exitBarMode();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QTRY_VERIFY_WITH_TIMEOUT(sceneItems(main) > 50, 2000);
    EXPECT_EQ(main->position(), QPoint(120, 90));
    EXPECT_EQ(main->size(), size);
    // Drawn at full size again, not at the size the hidden window was shrunk to.
    const QImage frame = main->grabWindow();
    EXPECT_EQ(frame.size(), size * main->devicePixelRatio());
    EXPECT_EQ(hub.state.tabRaw(), QStringLiteral("ports"));
    // The rebuilt interface opens on the same tab.
    QQuickItem *ports = nullptr;
    for (QQuickItem *i : scene(main))
        if (QString::fromLatin1(i->metaObject()->className()).startsWith(QLatin1String("PortsView")))
            ports = i;
    EXPECT_TRUE(ports && ports->isVisible());
}

TEST_F(HiddenRelease, ShownAgainQuicklyHasItsSceneBack)
{
    QTRY_VERIFY(sceneItems(main) > 50);
    main->hide();
    main->show(); // within the release delay: the timer must not act on a shown window
    ASSERT_TRUE(test::passTimersDueWithin(2 * 50)); // the release delay, twice over
    EXPECT_TRUE(main->isVisible());
    EXPECT_NE(main->handle(), nullptr);
    QTRY_VERIFY(sceneItems(main) > 50);
}

TEST_F(HiddenRelease, KeepsTheNativeWindowWhenAskedTo)
{
    // Another window, released the same way but told to keep its native window (state set
    // on it alone, like desktop mode's pinning, would be lost with it).
    QQuickWindow other;
    other.resize(300, 200);
    bool keep = true;
    int released = 0;
    releaseWhileHidden(&other, 20, [&keep] { return keep; }, [&released] { ++released; });
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    other.hide();
    QTRY_COMPARE_WITH_TIMEOUT(released, 1, 2000);
    EXPECT_NE(other.handle(), nullptr);
    EXPECT_EQ(other.size(), QSize(300, 200));

    keep = false;
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    other.hide();
    QTRY_COMPARE_WITH_TIMEOUT(released, 2, 2000);
    EXPECT_EQ(other.handle(), nullptr);
    EXPECT_EQ(other.size(), QSize(300, 200));
}

TEST_F(HiddenRelease, ClosedTrayPopupIsGoneUntilTheNextClick)
{
    MenuBarExtra tray(&hub.state, &delegate);
    tray.togglePopup();
    QPointer<QQuickWindow> first = tray.popupWindow();
    ASSERT_TRUE(first);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    EXPECT_TRUE(hub.state.menuPopupVisible);

    tray.togglePopup();
    EXPECT_FALSE(hub.state.menuPopupVisible);
    EXPECT_EQ(tray.popupWindow(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);

    tray.togglePopup();
    ASSERT_TRUE(tray.popupWindow());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(tray.popupWindow()));
    EXPECT_TRUE(hub.state.menuPopupVisible);
}

// The app's own arrangement: the engine and the main window built by the host, which lets
// both go once every surface has been hidden a moment.
struct EngineRelease : ::testing::Test {
    test::FakeHub hub;
    MainWindowHost host{&hub.state, 50};
    AppDelegate delegate{&hub.state, nullptr, std::make_unique<test::RecordingWindowSystem>()};
    QPointer<QQuickWindow> main;
    void SetUp() override
    {
        QSettings().setValue(QStringLiteral("didFinishOnboarding"), true);
        host.serve(&delegate);
        ASSERT_TRUE(host.build(true));
        main = host.window();
        ASSERT_TRUE(main);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    }
    // Clicks an item of the window's scene at its centre.
    void click(QQuickItem *item)
    {
        ASSERT_TRUE(item);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(main, Qt::LeftButton, {}, centre.toPoint());
    }
};

TEST_F(EngineRelease, ClosedWindowGoesWithTheEngineAndComesBackOnItsTabAndPlace)
{
    hub.state.setTab(SidebarTab::ports);
    hub.state.setSampleInterval(2.0);
    main->setPosition(140, 70);
    const QSize size = main->size();
    QTRY_VERIFY(sceneItems(main) > 50);

    main->close();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isBuilt(), 5000);
    EXPECT_TRUE(main.isNull());
    EXPECT_EQ(delegate.engine(), nullptr);
    EXPECT_EQ(hub.state.sampleInterval(), 2.0) << "the refresh rate went with the window";

    delegate.bringToFront();
    ASSERT_TRUE(host.isBuilt());
    main = host.window();
    ASSERT_TRUE(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(delegate.mainWindow(), main.data());
    EXPECT_EQ(main->position(), QPoint(140, 70));
    EXPECT_EQ(main->size(), size);
    EXPECT_EQ(hub.state.tabRaw(), QStringLiteral("ports"));
    QQuickItem *ports = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (QQuickItem *i : scene(main))
                if (QString::fromLatin1(i->metaObject()->className()).startsWith(QLatin1String("PortsView")))
                    ports = i;
            return ports && ports->isVisible();
        }(),
        5000);
    EXPECT_FALSE(hub.state.visualsPaused());
}

// With every surface hidden a moment, the fonts the screens loaded go too (engines, glyph
// caches, mapped font files); text drawn afterwards looks as it did.
TEST_F(EngineRelease, EverySurfaceHiddenLetsTheFontsGo)
{
    releaseIdleMemory(&hub.state, 50, 50, 50);
    const auto draw = [] {
        QImage image(160, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setFont(QFont(QStringLiteral("Inter"), 13));
        p.setPen(Qt::white);
        p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("CPU 42 %"));
        return image;
    };
    const QImage before = draw();
    ASSERT_FALSE(mappedScreenFonts().isEmpty());

    main->close();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isBuilt(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(mappedScreenFonts(), QStringList(), 5000);
    EXPECT_EQ(draw(), before);
}

TEST_F(EngineRelease, TrayPopupAndBarModeBuildTheEngineAgain)
{
    MenuBarExtra tray(&hub.state, &delegate);
    main->close();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isBuilt(), 5000);

    tray.togglePopup();
    ASSERT_TRUE(tray.popupWindow());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(tray.popupWindow()));
    EXPECT_TRUE(host.isBuilt());
    ASSERT_TRUE(host.window());
    EXPECT_FALSE(host.window()->isVisible()) << "the popup alone must not bring the window back";
    tray.togglePopup();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isBuilt(), 5000);

    delegate.enterBarMode();
    ASSERT_TRUE(delegate.barWindow());
    EXPECT_TRUE(host.isBuilt());
    ASSERT_TRUE(test::passTimersDueWithin(4 * 50));
    EXPECT_TRUE(host.isBuilt()) << "released under the strip";
    delegate.exitBarMode();
    ASSERT_TRUE(host.window());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.window()));
}

TEST_F(EngineRelease, AnOpenSheetAndItsTestOutliveClosingTheWindow)
{
    hub.state.setTab(SidebarTab::tests);
    // The first test card whose button is in view, once the tab has slid in.
    QQuickItem *open = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QQuickItem *content = findItem(main, QStringLiteral("content"));
            if (!content || content->property("busy").toBool() || !findItem(main, QStringLiteral("testsScroll")))
                return false;
            for (QQuickItem *i : scene(main)) {
                const QPointF c = i->mapToScene(QPointF(i->width() / 2, i->height() / 2));
                if (i->objectName() == QLatin1String("openButton") && i->isVisible() && i->opacity() > 0.99
                    && QRectF(0, 0, main->width(), main->height()).contains(c))
                    open = i;
            }
            return open != nullptr;
        }(),
        5000);
    click(open);
    QPointer<QQuickItem> panel;
    QTRY_VERIFY_WITH_TIMEOUT((panel = findItem(main, QStringLiteral("quickTestPanel"))) != nullptr, 5000);
    QTRY_VERIFY(main->property("holdsContent").toBool());

    main->close();
    ASSERT_TRUE(hub.state.visualsPaused());
    ASSERT_TRUE(test::passTimersDueWithin(4 * 50)); // the window's release and the engine's, twice over
    EXPECT_TRUE(host.isBuilt());
    EXPECT_FALSE(panel.isNull()) << "closing the window ended the test in its sheet";

    delegate.bringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(findItem(main, QStringLiteral("quickTestPanel")), panel.data());

    // Done with the sheet, a closed window lets everything go.
    QTest::keyClick(main, Qt::Key_Escape);
    QTRY_VERIFY(!main->property("holdsContent").toBool());
    main->close();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isBuilt(), 5000);
}

} // namespace
