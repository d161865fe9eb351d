// The GPU load renderer on a real OpenGL stack (Mesa under Xvfb).
#include "checks/MetalStressView.h"
#include "support/QmlTestUtil.h"

#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>


using namespace corvane;

namespace {

struct LimitCase {
    const char *name;
    double intensity;
    int limit;
};
class IterationLimit : public ::testing::TestWithParam<LimitCase> {};
TEST_P(IterationLimit, GrowsWithIntensity)
{
    EXPECT_EQ(MetalStressView::iterationLimit(GetParam().intensity), GetParam().limit);
}
INSTANTIATE_TEST_SUITE_P(Gpu, IterationLimit,
                         ::testing::Values(LimitCase{"zero", 0, 200}, LimitCase{"default", 0.8, 1000},
                                           LimitCase{"full", 1, 1200}, LimitCase{"below_range", -0.5, 200},
                                           LimitCase{"above_range", 3, 1200}, LimitCase{"half", 0.5, 700},
                                           LimitCase{"not_a_number", std::nan(""), 200}),
                         [](const auto &info) { return std::string(info.param.name); });

bool waitFor(const std::function<bool()> &done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

struct Render : ::testing::Test {
    QQuickWindow window;
    std::unique_ptr<MetalStressView> view;
    void SetUp() override
    {
        window.resize(320, 180);
        view = std::make_unique<MetalStressView>();
        view->setSize(QSizeF(320, 180));
        view->setIntensity(0.2); // a light load keeps the test quick on a software rasterizer
    }
    void show()
    {
        view->setParentItem(window.contentItem());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

TEST_F(Render, DrawsTheFractalAndItMoves)
{
    view->setRunning(true);
    show();
    ASSERT_TRUE(waitFor([&] { return view->frameCount() >= 1; }, 20000)) << "no frame";
    // The name comes to the main thread queued, sent before the first frame is counted.
    EXPECT_TRUE(waitFor([&] { return view->rendererName() != QStringLiteral("—"); }, 20000));
    const QImage first = view->lastFrame();
    ASSERT_FALSE(first.isNull());
    const QRgb clear = qRgb(qRound(MetalStressView::kClearRed * 255), qRound(MetalStressView::kClearGreen * 255),
                            qRound(MetalStressView::kClearBlue * 255));
    int notClear = 0;
    for (int y = 0; y < first.height(); y += 9)
        for (int x = 0; x < first.width(); x += 9)
            notClear += (first.pixel(x, y) & 0xFFFFFF) != (clear & 0xFFFFFF);
    EXPECT_GT(notClear, 100);
    const quint64 seen = view->frameCount();
    ASSERT_TRUE(waitFor([&] { return view->frameCount() > seen; }, 20000));
    EXPECT_NE(view->lastFrame(), first); // the zoom and the shimmer move on

    // Paused: no more frames but the one under way (its thread draws at its own pace), and
    // the last one stays, however often the window draws.
    view->setRunning(false);
    const quint64 atPause = view->frameCount();
    ASSERT_TRUE(test::waitForFrames(window, 3));
    (void)test::framesOverTicks(window, 10); // ten ticks of a 50 ms timer: thirty frames' time
    const quint64 paused = view->frameCount();
    EXPECT_LE(paused, atPause + 1);
    // Resuming needs no rebuild.
    view->setIntensity(1.0);
    view->setRunning(true);
    EXPECT_TRUE(waitFor([&] { return view->frameCount() > paused; }, 20000));
    EXPECT_FALSE(view->failed());
}

TEST_F(Render, BrokenShaderLogsOneLineAndStaysBlank)
{
    static QStringList lines;
    lines.clear();
    const auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        if (m.startsWith(QStringLiteral("MetalStressView shader build failed: ")))
            lines << m;
    });
    view->setFragmentSource(QStringLiteral("void main() { this is not glsl }"));
    view->setRunning(true);
    show();
    EXPECT_TRUE(waitFor([&] { return view->failed(); }, 10000));
    view->setRunning(false);
    view->setRunning(true);
    EXPECT_TRUE(test::waitForFrames(window, 3)); // frames that could have built it again
    qInstallMessageHandler(previous);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines.first().contains('\n'));
    EXPECT_GT(lines.first().size(), QStringLiteral("MetalStressView shader build failed: ").size());
    EXPECT_EQ(view->frameCount(), 0u);
}

TEST_F(Render, NothingKeepsDrawingOnceTheViewIsGone)
{
    view->setRunning(true);
    show();
    ASSERT_TRUE(waitFor([&] { return view->frameCount() >= 1; }, 20000));
    view.reset();
    ASSERT_TRUE(test::waitForFrames(window)); // the frame without it
    // An idle window: nothing asks it for frames any more.
    EXPECT_LE(test::framesOverTicks(window, 10), 1);
}

} // namespace
