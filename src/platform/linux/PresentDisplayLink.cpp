// The display's own refresh through X11 Present: the server keeps a frame counter (MSC) per
// output, and asking for it once a second gives the refresh rate without waking on every
// frame. RandR tells which output shows the window and whether it has real timings: Xvfb
// answers Present from a simulated 60 Hz clock and reports modes without a dot clock, and
// counting that would show a rate no display has.
#include "platform/DisplayLink.h"

#include "common/Log.h"

#include <QGuiApplication>
#include <QQuickWindow>

#include <xcb/present.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace corvane {

namespace displaylink {

std::optional<double> modeRefreshHz(uint32_t dotClock, uint16_t htotal, uint16_t vtotal, bool interlace,
                                    bool doubleScan)
{
    if (dotClock == 0 || htotal == 0 || vtotal == 0)
        return std::nullopt;
    double lines = vtotal;
    if (doubleScan)
        lines *= 2;
    if (interlace)
        lines /= 2;
    return static_cast<double>(dotClock) / (static_cast<double>(htotal) * lines);
}

} // namespace displaylink

namespace {

// How long a reading may wait for the server, and how many readings in a row may go
// unanswered before the link stops asking.
constexpr int kReplyTimeoutMs = 100;
constexpr int kTimeoutsBeforeGivingUp = 3;

template <typename T>
struct FreeDeleter {
    void operator()(T *p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    int overlap(const Rect &o) const
    {
        const int ox = std::max(0, std::min(x + w, o.x + o.w) - std::max(x, o.x));
        const int oy = std::max(0, std::min(y + h, o.y + o.h) - std::max(y, o.y));
        return ox * oy;
    }
};

// The refresh of the output that shows most of `window`; nullopt when no output has timings.
std::optional<double> outputRefreshHz(xcb_connection_t *c, xcb_window_t window)
{
    XcbReply<xcb_get_geometry_reply_t> geo(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geo)
        return std::nullopt;
    XcbReply<xcb_translate_coordinates_reply_t> at(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, geo->root, 0, 0), nullptr));
    Rect win{at ? at->dst_x : 0, at ? at->dst_y : 0, std::max<int>(geo->width, 1), std::max<int>(geo->height, 1)};

    XcbReply<xcb_randr_get_screen_resources_current_reply_t> res(xcb_randr_get_screen_resources_current_reply(
        c, xcb_randr_get_screen_resources_current(c, geo->root), nullptr));
    if (!res)
        return std::nullopt;
    const xcb_randr_crtc_t *crtcs = xcb_randr_get_screen_resources_current_crtcs(res.get());
    const xcb_randr_mode_info_t *modes = xcb_randr_get_screen_resources_current_modes(res.get());
    const int crtcCount = xcb_randr_get_screen_resources_current_crtcs_length(res.get());
    const int modeCount = xcb_randr_get_screen_resources_current_modes_length(res.get());

    std::optional<double> best;
    int bestOverlap = -1;
    for (int i = 0; i < crtcCount; ++i) {
        XcbReply<xcb_randr_get_crtc_info_reply_t> info(xcb_randr_get_crtc_info_reply(
            c, xcb_randr_get_crtc_info(c, crtcs[i], res->config_timestamp), nullptr));
        if (!info || info->mode == XCB_NONE)
            continue; // output switched off
        std::optional<double> hz;
        for (int m = 0; m < modeCount; ++m)
            if (modes[m].id == info->mode)
                hz = displaylink::modeRefreshHz(modes[m].dot_clock, modes[m].htotal, modes[m].vtotal,
                                                modes[m].mode_flags & XCB_RANDR_MODE_FLAG_INTERLACE,
                                                modes[m].mode_flags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN);
        if (!hz)
            continue;
        const int overlap = win.overlap(Rect{info->x, info->y, info->width, info->height});
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = hz;
        }
    }
    return best;
}

class PresentDisplayLink final : public DisplayLink {
public:
    ~PresentDisplayLink() override
    {
        if (!m_conn)
            return;
        if (m_events) {
            xcb_present_select_input(m_conn, m_eventId, m_window, 0);
            xcb_unregister_for_special_event(m_conn, m_events);
        }
        xcb_disconnect(m_conn);
    }

    // Connects on its own, so waiting for a reply never touches Qt's connection or events.
    bool open(xcb_window_t window, bool requireTimings)
    {
        m_window = window;
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn))
            return false;
        const xcb_query_extension_reply_t *present = xcb_get_extension_data(m_conn, &xcb_present_id);
        const xcb_query_extension_reply_t *randr = xcb_get_extension_data(m_conn, &xcb_randr_id);
        if (!present || !present->present || !randr || !randr->present)
            return false;
        m_nominal = outputRefreshHz(m_conn, window);
        if (!m_nominal && requireTimings)
            return false;
        m_eventId = xcb_generate_id(m_conn);
        m_events = xcb_register_for_special_xge(m_conn, &xcb_present_id, m_eventId, nullptr);
        xcb_present_select_input(m_conn, m_eventId, m_window, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
        return readCounter().has_value();
    }

    std::optional<double> nominalRefreshHz() const override { return m_nominal; }
    // The server counts; nothing runs per frame on our side.
    void start(Callback) override {}
    void stop() override {}
    std::optional<uint64_t> refreshCount() override { return readCounter(); }

private:
    // NotifyMSC for a frame already passed completes at once and carries the current count.
    std::optional<uint64_t> readCounter()
    {
        if (m_broken || !m_events)
            return std::nullopt;
        const uint32_t serial = ++m_serial;
        xcb_present_notify_msc(m_conn, m_window, serial, 0, 0, 0);
        xcb_flush(m_conn);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
        for (;;) {
            while (xcb_generic_event_t *ev = xcb_poll_for_special_event(m_conn, m_events)) {
                XcbReply<xcb_generic_event_t> owned(ev);
                const auto *done = reinterpret_cast<const xcb_present_complete_notify_event_t *>(ev);
                if (done->event_type == XCB_PRESENT_COMPLETE_NOTIFY && done->kind == XCB_PRESENT_COMPLETE_KIND_NOTIFY_MSC
                    && done->serial == serial) {
                    m_timeouts = 0;
                    // The event's 64-bit count sits on a 4-byte boundary in the reply buffer.
                    uint64_t msc = 0;
                    std::memcpy(&msc, reinterpret_cast<const char *>(ev) + offsetof(xcb_present_complete_notify_event_t, msc),
                                sizeof msc);
                    return msc;
                }
            }
            // Errors arrive on the ordinary queue. This connection makes no other requests,
            // so an error means the window is gone: no count will come from it again.
            bool failed = xcb_connection_has_error(m_conn) != 0;
            while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn)) {
                failed = failed || ev->response_type == 0;
                std::free(ev);
            }
            if (failed) {
                m_broken = true;
                return std::nullopt;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                // A late answer is dropped by its serial next time. A server that keeps not
                // answering is left alone rather than stall the caller every second.
                if (++m_timeouts >= kTimeoutsBeforeGivingUp) {
                    qCWarning(lcPlatform) << "display refresh counter does not answer; frame rate stays unread";
                    m_broken = true;
                }
                return std::nullopt;
            }
            pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left));
        }
    }

    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_special_event_t *m_events = nullptr;
    uint32_t m_eventId = 0;
    uint32_t m_serial = 0;
    bool m_broken = false;
    int m_timeouts = 0;
    std::optional<double> m_nominal;
};

} // namespace

std::unique_ptr<DisplayLink> makeVblankDisplayLink(QQuickWindow *window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto link = std::make_unique<PresentDisplayLink>();
    if (!link->open(static_cast<xcb_window_t>(window->winId()), true))
        return nullptr;
    return link;
}

std::unique_ptr<DisplayLink> displaylink::openPresentCounter(uint32_t windowId)
{
    auto link = std::make_unique<PresentDisplayLink>();
    if (!link->open(windowId, false))
        return nullptr;
    return link;
}

} // namespace corvane
