// Under Xvfb: the server answers X11 Present from a simulated clock, which is no display's
// refresh. The frame rate must stay unread there rather than show that clock (or a 0 in red).
#include "monitors/FPSMonitor.h"
#include "platform/DisplayLink.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <xcb/present.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

using namespace corvane;

TEST(VblankLinkUnderVirtualDisplay, PresentIsThereButNoLinkIsMade)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // The server does offer Present: the refusal comes from the missing mode timings.
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_present_id);
    EXPECT_TRUE(ext && ext->present);
    xcb_disconnect(c);

    QQuickWindow window;
    window.resize(120, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(makeVblankDisplayLink(&window), nullptr);
    EXPECT_EQ(makeVblankDisplayLink(nullptr), nullptr);
}

TEST(VblankLinkUnderVirtualDisplay, FrameRateStaysUnreadWhileTheWindowDraws)
{
    QQuickWindow window;
    window.resize(120, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    FPSMonitor m;
    m.attachWindow(&window);
    QTimer redraw;
    QObject::connect(&redraw, &QTimer::timeout, &window, &QQuickWindow::update);
    redraw.start(15);
    QSignalSpy published(&m, &FPSMonitor::updated);
    QTest::qWait(1300);
    EXPECT_FALSE(m.isRunning());
    EXPECT_EQ(published.count(), 0);
    EXPECT_EQ(m.currentFPS(), 0.0);
    EXPECT_EQ(m.refreshNominalHz(), 0.0);
}

// The counter itself, read from the server's simulated 60 Hz clock.
TEST(PresentCounter, AdvancesWithTheServersClockAndReadsOncePerCall)
{
    QQuickWindow window;
    window.resize(120, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto counter = displaylink::openPresentCounter(static_cast<uint32_t>(window.winId()));
    ASSERT_TRUE(counter);
    EXPECT_FALSE(counter->nominalRefreshHz()); // no mode timings to tell
    const auto first = counter->refreshCount();
    ASSERT_TRUE(first);
    QTest::qWait(500);
    const auto second = counter->refreshCount();
    ASSERT_TRUE(second);
    EXPECT_GE(*second - *first, 20u);
    EXPECT_LE(*second - *first, 45u);
}

TEST(PresentCounter, AWindowThatIsGoneCostsOneShortWaitAndNoMore)
{
    auto window = std::make_unique<QQuickWindow>();
    window->resize(120, 80);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto counter = displaylink::openPresentCounter(static_cast<uint32_t>(window->winId()));
    ASSERT_TRUE(counter);
    window.reset(); // destroys the X window under the counter
    QTest::qWait(50); // Qt's connection sends the destruction
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(counter->refreshCount());
    EXPECT_LT(t.elapsed(), 1000);
    t.restart();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(counter->refreshCount());
    EXPECT_LT(t.elapsed(), 50); // gave up: no wait per reading
}
