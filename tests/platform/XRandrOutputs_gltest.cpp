// Under Xvfb: the RandR reader's view of the server agrees with Qt's screen and with what
// the server itself lists, all in one read on a connection of its own.
#include "monitors/DisplayMonitor.h"
#include "platform/DisplaySource.h"
#include "ui/tabs/TabText.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>

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

// The reader keeps what it read while the server's setup stays as it was; a mode set between
// two reads shows in the second all the same.
TEST(XRandrReaderUnderVirtualDisplay, ReadsAModeSetBetweenTwoReads)
{
    const QByteArray display = qgetenv("DISPLAY");
    auto reader = makeXRandrReader(QString::fromLocal8Bit(display));
    ASSERT_TRUE(reader);
    const auto before = reader->read();
    ASSERT_TRUE(before);
    const auto same = reader->read();
    ASSERT_TRUE(same);
    ASSERT_EQ(same->size(), before->size());
    for (size_t i = 0; i < before->size(); ++i) {
        EXPECT_EQ((*same)[i].name, (*before)[i].name);
        EXPECT_EQ((*same)[i].crtcGeometry, (*before)[i].crtcGeometry);
        EXPECT_EQ((*same)[i].primary, (*before)[i].primary);
        EXPECT_EQ((*same)[i].edid, (*before)[i].edid);
    }

    // A mode of the test's own (the virtual display lists one), added to the output and set
    // on its CRTC through a connection of the test's own, then taken back.
    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto *res = xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr);
    ASSERT_TRUE(res);
    const xcb_randr_output_t output = xcb_randr_get_screen_resources_current_outputs(res)[0];
    auto *oi = xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, output, res->config_timestamp), nullptr);
    ASSERT_TRUE(oi && oi->crtc != XCB_NONE);
    auto *ci = xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, oi->crtc, res->config_timestamp), nullptr);
    ASSERT_TRUE(ci);
    xcb_randr_mode_info_t info{};
    info.width = 1024;
    info.height = 768;
    const char name[] = "corvane-test";
    info.name_len = sizeof name - 1;
    auto *made = xcb_randr_create_mode_reply(c, xcb_randr_create_mode(c, root, info, info.name_len, name), nullptr);
    ASSERT_TRUE(made);
    xcb_randr_add_output_mode(c, output, made->mode);
    const auto set = [&](xcb_randr_mode_t mode) {
        auto *r = xcb_randr_set_crtc_config_reply(
            c, xcb_randr_set_crtc_config(c, oi->crtc, XCB_CURRENT_TIME, res->config_timestamp, ci->x, ci->y, mode,
                                         ci->rotation, 1, &output),
            nullptr);
        const bool ok = r && r->status == XCB_RANDR_SET_CONFIG_SUCCESS;
        std::free(r);
        return ok;
    };
    EXPECT_TRUE(set(made->mode));
    const auto after = reader->read();
    EXPECT_TRUE(set(ci->mode));
    xcb_randr_delete_output_mode(c, output, made->mode);
    xcb_randr_destroy_mode(c, made->mode);
    xcb_flush(c);
    ASSERT_TRUE(after);
    bool seen = false;
    for (const XOutputFacts &o : *after)
        seen = seen || (o.crtcGeometry == QRect(ci->x, ci->y, 1024, 768) && o.currentMode && o.currentMode->width == 1024);
    EXPECT_TRUE(seen) << "the mode set between the reads was not read";
    std::free(made);
    std::free(ci);
    std::free(oi);
    std::free(res);
    xcb_disconnect(c);
}
