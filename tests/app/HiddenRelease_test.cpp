// Hidden surfaces keep no scene: the main window drops its content while hidden and builds
// it again on show with the same tab and position; a closed tray popup is gone until the
// next click.
#include "app/AppDelegate.h"
#include "app/HiddenRelease.h"
#include "app/MenuBarExtra.h"

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
    MenuBarExtra tray(&hub.state, &delegate, &engine);
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

} // namespace
