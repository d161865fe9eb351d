// The display pixel test's full-screen window on a real X server: it covers the display's
// screen, shows each colour, moves on with a click and closes with Escape.
#include "checks/ScreenTestUtil.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::test::ScreenHost;

namespace {

QList<QQuickWindow *> pixelWindows()
{
    QList<QQuickWindow *> out;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->objectName() == QLatin1String("pixelFullscreenWindow") && w->isVisible())
            out << qobject_cast<QQuickWindow *>(w);
    return out;
}

QVariantMap displayOn(const QString &screenName)
{
    return {{"name", "Test Display"}, {"screenName", screenName}, {"resolutionWidth", 1280}, {"resolutionHeight", 800},
            {"refreshHz", 59.94}, {"bitsPerColor", 8}, {"colorSpaceName", "sRGB"}, {"transport", "HDMI"},
            {"maxRefreshHz", 60.0}, {"supportsHDR", false}, {"nativeWidth", 1280}, {"nativeHeight", 800}};
}

struct PixelWindowCase {
    const char *name;
    bool matching; // the display's output name is that of a screen
    friend void PrintTo(const PixelWindowCase &c, std::ostream *os) { *os << c.name; }
};
class PixelWindow : public ::testing::TestWithParam<PixelWindowCase> {};

TEST_P(PixelWindow, CoversTheScreenShowsEachColourAndClosesWithEscape)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    ScreenHost host;
    ASSERT_TRUE(host.load("DisplayPixelTestView", {{"display", displayOn(GetParam().matching ? screen->name() : "DP-9")}}));
    EXPECT_EQ(host.text("displaySubtitle"), QStringLiteral("1280 × 800 · 59Hz · 8-bit · sRGB"));
    host.click("fullscreenButton");
    host.click("fullscreenButton"); // twice: still one window
    QTRY_COMPARE_WITH_TIMEOUT(pixelWindows().size(), 1, 5000);
    QQuickWindow *win = pixelWindows().first();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win));
    EXPECT_EQ(win->screen(), screen);
    QTRY_COMPARE_WITH_TIMEOUT(win->geometry(), screen->geometry(), 5000);

    const QList<QColor> expected = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 255),
                                    QColor(0, 0, 0), QColor(0, 255, 255), QColor(255, 0, 255), QColor(255, 255, 0),
                                    QColor(128, 128, 128)};
    const QPoint probe(win->width() / 2, win->height() / 3);
    for (int i = 0; i < expected.size(); ++i) {
        QImage shot;
        // Wait for the frame with the new colour.
        QTRY_VERIFY_WITH_TIMEOUT((shot = win->grabWindow(), std::abs(QColor(shot.pixel(probe)).red() - expected[i].red()) <= 2
                                  && std::abs(QColor(shot.pixel(probe)).green() - expected[i].green()) <= 2
                                  && std::abs(QColor(shot.pixel(probe)).blue() - expected[i].blue()) <= 2), 3000);
        QTest::mouseClick(win, Qt::LeftButton, Qt::NoModifier, probe);
    }
    // The tenth step: black to white from left to right.
    QImage last;
    QTRY_VERIFY_WITH_TIMEOUT((last = win->grabWindow(), QColor(last.pixel(5, probe.y())).lightness() < 20
                              && QColor(last.pixel(win->width() - 5, probe.y())).lightness() > 235), 3000);
    EXPECT_GT(QColor(last.pixel(win->width() / 2, probe.y())).lightness(), 90);
    EXPECT_LT(QColor(last.pixel(win->width() / 2, probe.y())).lightness(), 165);

    QTest::keyClick(win, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(pixelWindows().isEmpty(), 3000);
    // Back on the sheet, which still answers.
    host.click("forwardButton");
    EXPECT_EQ(host.text("previewName"), QStringLiteral("VERDE"));
    EXPECT_TRUE(host.h.warnings().isEmpty()) << host.h.warnings().join('\n').toStdString();
}
INSTANTIATE_TEST_SUITE_P(Checks, PixelWindow, ::testing::Values(
    PixelWindowCase{"OnTheDisplaysScreen", true}, PixelWindowCase{"UnknownOutputUsesThePrimaryScreen", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PixelWindowSheet, ClosingTheSheetClosesTheWindowAndTheLastTapClosesIt)
{
    ScreenHost host;
    ASSERT_TRUE(host.load("DisplayPixelTestView", {{"display", displayOn(QGuiApplication::primaryScreen()->name())}}));
    host.click("fullscreenButton");
    QTRY_COMPARE_WITH_TIMEOUT(pixelWindows().size(), 1, 5000);
    host.click("closeButton");
    QTRY_VERIFY_WITH_TIMEOUT(pixelWindows().isEmpty(), 3000);

    host.click("fullscreenButton");
    QTRY_COMPARE_WITH_TIMEOUT(pixelWindows().size(), 1, 5000);
    QQuickWindow *win = pixelWindows().first();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win));
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(win, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QTRY_VERIFY_WITH_TIMEOUT(pixelWindows().isEmpty(), 3000);
}

} // namespace
