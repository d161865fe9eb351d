// Under Xvfb: the RandR reader's view of the server agrees with Qt's screen and with what
// the server itself lists, all in one read on a connection of its own.
#include "monitors/DisplayMonitor.h"
#include "platform/DisplaySource.h"
#include "ui/tabs/TabText.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;

TEST(XRandrReaderUnderVirtualDisplay, ListsTheScreenQtShows)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    auto reader = makeXRandrReader(QString::fromLocal8Bit(qgetenv("DISPLAY")));
    ASSERT_TRUE(reader);
    const auto outputs = reader->read();
    ASSERT_TRUE(outputs);
    QScreen *screen = QGuiApplication::primaryScreen();
    const XOutputFacts *shown = nullptr;
    for (const XOutputFacts &o : *outputs)
        if (o.connected && o.name == screen->name())
            shown = &o;
    ASSERT_NE(shown, nullptr) << screen->name().toStdString();
    EXPECT_EQ(shown->crtcGeometry, screen->geometry());
    ASSERT_TRUE(shown->currentMode);
    EXPECT_EQ(shown->currentMode->width, screen->geometry().width());
    EXPECT_EQ(shown->currentMode->height, screen->geometry().height());
    EXPECT_FALSE(shown->modes.empty());
    EXPECT_FALSE(shown->sharesCrtc);

    // The same again: the reader keeps its connection between reads.
    const auto again = reader->read();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), outputs->size());

    // A display that is not there: no reader figures, no crash.
    EXPECT_FALSE(makeXRandrReader(QStringLiteral(":999"))->read());
}

// Xvfb's modes have no timings and its output no size: the display's record and the ports
// tab's texts say "—" where Qt alone would say 60 Hz and a 96 dpi diagonal.
TEST(XRandrReaderUnderVirtualDisplay, DisplayWithoutTimingsShowsNoInventedFigures)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    DisplayMonitor monitor; // real backends
    ASSERT_TRUE(QTest::qWaitFor([&] { return !monitor.displays().isEmpty(); }, 5000));
    const DisplayInfo &d = monitor.displays().front();
    EXPECT_EQ(d.screenName, QGuiApplication::primaryScreen()->name());
    EXPECT_EQ(d.refreshHz, 0.0);
    EXPECT_EQ(d.maxRefreshHz, 0.0);
    EXPECT_EQ(d.diagonalInches, 0.0);
    EXPECT_TRUE(TabText::summaryLine(d).contains(QStringLiteral(" @ — · "))) << TabText::summaryLine(d).toStdString();
    for (const auto &[label, value] : TabText::detailCells(d))
        if (label.startsWith(u"Refresh") || label == u"Diagonală")
            EXPECT_EQ(value, QStringLiteral("—")) << label.toStdString();
}
