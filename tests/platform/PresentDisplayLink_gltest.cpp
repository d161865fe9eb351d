// Under Xvfb: the server answers X11 Present from a simulated clock, which is no display's
// refresh. The frame rate must stay unread there rather than show that clock (or a 0 in red).
#include "monitors/FPSMonitor.h"
#include "platform/DisplayLink.h"
#include "support/QmlTestUtil.h"
#include "ui/effects/EffectsTestUtil.h"

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
    ASSERT_TRUE(test::waitForFrames(window, 20));
    EXPECT_FALSE(m.isRunning());
    EXPECT_FALSE(m.scheduler()->isActive()) << "nothing is left to publish a rate";
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
    QElapsedTimer t;
    t.start();
    const auto first = counter->refreshCount();
    ASSERT_TRUE(first);
    std::optional<uint64_t> second;
    QTRY_VERIFY_WITH_TIMEOUT((second = counter->refreshCount()) && *second - *first >= 20, 20000);
    // Refreshes, not some finer unit: never more than the simulated 60 Hz can give.
    EXPECT_LE(*second - *first, uint64_t(t.elapsed() * 60 / 1000 + 2));
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
    // A round trip on Qt's connection: the server has destroyed the window by its answer.
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11);
    free(xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()), nullptr));
    test::LogCapture log;
    EXPECT_FALSE(counter->refreshCount());
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(counter->refreshCount());
    // The server's error ends the first reading and every later one returns at once: readings
    // that each waited out the answer's timeout would give up with this warning after three.
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("display refresh counter")).isEmpty())
        << log.lines().join('\n').toStdString();
}
