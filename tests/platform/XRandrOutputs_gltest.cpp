// Under Xvfb: the RandR reader's view of the server agrees with Qt's screen and with what
// the server itself lists, all in one read on a connection of its own.
#include "platform/DisplaySource.h"

#include <QGuiApplication>
#include <QScreen>

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
