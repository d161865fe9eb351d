// Under Xorg's dummy driver, two outputs side by side with different refresh rates, and
// openbox: the frame-rate source follows the window as it is dragged by its title bar from one
// output to the other and back.
#include "fakes/FakeClock.h"
#include "fakes/FakeDisplayLink.h"
#include "monitors/FPSMonitor.h"

#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace corvane;
using namespace corvane::test;

namespace {

// A pointer step; the window keeps handling its events while the tool talks to the server.
void pointer(const QStringList &move, const QPoint &to, const QStringList &then = {})
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), move + QStringList{QString::number(to.x()), QString::number(to.y())} + then);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
}

// Qt's own reading of the output's mode, whole hertz at most.
bool readsAs(double hz, const QScreen *screen) { return std::abs(hz - screen->refreshRate()) < 1.0; }

class TwoOutputs : public ::testing::Test {
protected:
    // The link needs no OpenGL, and the software renderer keeps Mesa out of a sanitizer run.
    static void SetUpTestSuite() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    void SetUp() override
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        ASSERT_EQ(screens.size(), 2);
        slow = std::min(screens[0], screens[1], [](auto *a, auto *b) { return a->refreshRate() < b->refreshRate(); });
        fast = slow == screens[0] ? screens[1] : screens[0];
        ASSERT_GE(fast->refreshRate() - slow->refreshRate(), 5.0) << "the outputs' rates must tell them apart";
        window.setScreen(slow);
        window.setGeometry(QRect(slow->geometry().topLeft() + QPoint(100, 100), QSize(320, 200)));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.frameMargins().top() > 0); // openbox's title bar is there to drag
        ASSERT_EQ(window.screen(), slow);
    }

    // Drags the window by its title bar as a user does, until Qt sees it on `target`.
    void dragOnto(QScreen *target)
    {
        const QRect frame = window.frameGeometry();
        const QPoint grab(frame.center().x(), (frame.top() + window.geometry().top()) / 2);
        const QPoint to = grab + target->geometry().center() - frame.center();
        // No --sync on the first: the pointer may already be there, and no move would be seen.
        pointer({"mousemove"}, grab, {"mousedown", "1"});
        pointer({"mousemove", "--sync"}, (grab + to) / 2);
        pointer({"mousemove", "--sync"}, to, {"mouseup", "1"});
        QTRY_COMPARE(window.screen(), target);
    }

    QScreen *slow = nullptr;
    QScreen *fast = nullptr;
    QQuickWindow window;
};

} // namespace

TEST_F(TwoOutputs, RefreshFigureFollowsTheWindowToTheOtherOutputAndBack)
{
    FPSMonitor m; // the real link: X11 Present's counter, RandR's mode timings
    m.attachWindow(&window);
    ASSERT_TRUE(m.isRunning()) << "no refresh counter on the dummy outputs";
    EXPECT_TRUE(readsAs(m.refreshNominalHz(), slow)) << m.refreshNominalHz();

    dragOnto(fast);
    QTRY_VERIFY(readsAs(m.refreshNominalHz(), fast));
    dragOnto(slow);
    QTRY_VERIFY(readsAs(m.refreshNominalHz(), slow));

    // Still counting refreshes after the moves.
    QSignalSpy published(&m, &FPSMonitor::updated);
    QTRY_VERIFY(published.count() >= 1 && m.currentFPS() > 0);
}

// Frames from before and after a move share one interval: no burst, no gap.
TEST_F(TwoOutputs, FramesOnBothOutputsMakeOnePublication)
{
    FakeClock clock;
    auto link = std::make_shared<FakeDisplayLink::Shared>();
    FPSMonitor m([&] { return std::make_unique<FakeDisplayLink>(link); }, clock, false);
    m.attachWindow(&window);
    m.start();
    const int perHalf = 30;
    FakeDisplayLink::frames(*link, perHalf);
    clock.advance(0.5);
    dragOnto(fast);
    QTRY_COMPARE(link->starts, 2); // a link of the new output's
    FakeDisplayLink::frames(*link, perHalf);
    clock.advance(0.5);
    m.publish();
    EXPECT_DOUBLE_EQ(m.currentFPS(), 2 * perHalf / 1.0);
}
