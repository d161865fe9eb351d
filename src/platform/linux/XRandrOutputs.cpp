#include "platform/DisplaySource.h"

#include <QHash>

#ifdef CORVANE_HAVE_XRANDR
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <optional>
#include <utility>
#endif

namespace corvane {

#ifdef CORVANE_HAVE_XRANDR
namespace {

double modeRefresh(const xcb_randr_mode_info_t &m)
{
    if (m.htotal == 0 || m.vtotal == 0)
        return 0;
    double rate = static_cast<double>(m.dot_clock) / (static_cast<double>(m.htotal) * static_cast<double>(m.vtotal));
    if (m.mode_flags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN)
        rate /= 2;
    if (m.mode_flags & XCB_RANDR_MODE_FLAG_INTERLACE)
        rate *= 2;
    return rate;
}

// Frees a reply (or an error) with free(), as XCB asks.
template <class T>
struct Reply {
    T *p = nullptr;
    Reply() = default;
    explicit Reply(T *r) : p(r) {}
    Reply(Reply &&o) noexcept : p(std::exchange(o.p, nullptr)) {}
    Reply &operator=(Reply &&o) noexcept
    {
        std::swap(p, o.p);
        return *this;
    }
    ~Reply() { std::free(p); }
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

template <class T>
Reply<T> take(T *reply, xcb_generic_error_t *error)
{
    std::free(error); // an output unplugged meanwhile: that reply is simply missing
    return Reply<T>(reply);
}

// Uses a connection of its own: Qt's is driven by the GUI thread, and this one runs on the
// sampler thread. Every request of a read is sent before any answer is awaited, so the
// whole list costs two round trips to the server, not one per CRTC, output and EDID.
class XcbRandrReader final : public XRandrReader {
public:
    explicit XcbRandrReader(const QString &name)
    {
        const QByteArray display = name.toLocal8Bit();
        int screen = 0;
        m_conn = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screen);
        if (xcb_connection_has_error(m_conn))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
        for (int i = 0; it.rem && i < screen; ++i)
            xcb_screen_next(&it);
        if (!it.rem)
            return;
        m_root = it.data->root;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_conn, &xcb_randr_id);
        if (!ext || !ext->present)
            return;
        // GetScreenResourcesCurrent (no re-probing of the outputs) needs 1.3.
        xcb_generic_error_t *err = nullptr;
        auto version = take(xcb_randr_query_version_reply(m_conn, xcb_randr_query_version(m_conn, 1, 3), &err), err);
        auto edid = take(xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 1, 4, "EDID"), &err), err);
        m_edidAtom = edid ? edid->atom : xcb_atom_t(XCB_ATOM_NONE);
        m_ok = version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 3));
    }
    ~XcbRandrReader() override { xcb_disconnect(m_conn); }

    std::optional<std::vector<XOutputFacts>> read() override
    {
        if (!m_ok || xcb_connection_has_error(m_conn))
            return std::nullopt;
        xcb_generic_error_t *err = nullptr;
        const auto resCookie = xcb_randr_get_screen_resources_current(m_conn, m_root);
        const auto primaryCookie = xcb_randr_get_output_primary(m_conn, m_root);
        auto res = take(xcb_randr_get_screen_resources_current_reply(m_conn, resCookie, &err), err);
        auto primaryReply = take(xcb_randr_get_output_primary_reply(m_conn, primaryCookie, &err), err);
        if (!res)
            return std::nullopt;
        const xcb_randr_output_t primary = primaryReply ? primaryReply->output : XCB_NONE;
        const xcb_timestamp_t stamp = res->config_timestamp;
        // Neither a mode set (timestamp) nor a probe or hot-plug (config timestamp) since the
        // last read: its CRTCs, outputs and EDIDs are those read then. Each answer awaited
        // is a wake-up of this thread, and a display's setup rarely changes.
        if (m_last && res->timestamp == m_lastStamp && stamp == m_lastConfigStamp) {
            std::vector<XOutputFacts> out = m_last->facts;
            for (size_t i = 0; i < out.size(); ++i)
                out[i].primary = m_last->ids[i] == primary;
            return out;
        }
        m_last.reset();

        const xcb_randr_crtc_t *crtcIds = xcb_randr_get_screen_resources_current_crtcs(res.p);
        const int ncrtc = xcb_randr_get_screen_resources_current_crtcs_length(res.p);
        const xcb_randr_output_t *outputIds = xcb_randr_get_screen_resources_current_outputs(res.p);
        const int noutput = xcb_randr_get_screen_resources_current_outputs_length(res.p);
        const xcb_randr_mode_info_t *modeInfos = xcb_randr_get_screen_resources_current_modes(res.p);
        const int nmode = xcb_randr_get_screen_resources_current_modes_length(res.p);
        QHash<xcb_randr_mode_t, const xcb_randr_mode_info_t *> modes;
        for (int i = 0; i < nmode; ++i)
            modes.insert(modeInfos[i].id, &modeInfos[i]);

        // Everything else at once.
        std::vector<xcb_randr_get_crtc_info_cookie_t> crtcCookies;
        for (int i = 0; i < ncrtc; ++i)
            crtcCookies.push_back(xcb_randr_get_crtc_info(m_conn, crtcIds[i], stamp));
        std::vector<xcb_randr_get_output_info_cookie_t> outputCookies;
        std::vector<xcb_randr_get_output_property_cookie_t> edidCookies;
        for (int i = 0; i < noutput; ++i) {
            outputCookies.push_back(xcb_randr_get_output_info(m_conn, outputIds[i], stamp));
            // 256 longs = 1 KiB: a base block and up to seven extensions.
            if (m_edidAtom != XCB_ATOM_NONE)
                edidCookies.push_back(
                    xcb_randr_get_output_property(m_conn, outputIds[i], m_edidAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256, 0, 0));
        }

        struct Crtc {
            QRect geometry;
            std::optional<DisplayModeFacts> mode;
        };
        QHash<xcb_randr_crtc_t, Crtc> crtcs;
        for (int i = 0; i < ncrtc; ++i) {
            auto ci = take(xcb_randr_get_crtc_info_reply(m_conn, crtcCookies[size_t(i)], &err), err);
            if (!ci)
                continue;
            Crtc c;
            if (ci->mode != XCB_NONE && ci->width > 0 && ci->height > 0) {
                c.geometry = QRect(ci->x, ci->y, ci->width, ci->height);
                if (const xcb_randr_mode_info_t *m = modes.value(ci->mode))
                    c.mode = DisplayModeFacts{m->width, m->height, modeRefresh(*m)};
            }
            crtcs.insert(crtcIds[i], c);
        }

        std::vector<XOutputFacts> out;
        std::vector<xcb_randr_output_t> ids;
        QHash<xcb_randr_crtc_t, int> outputsPerCrtc;
        std::vector<xcb_randr_crtc_t> crtcOf;
        bool whole = crtcs.size() == ncrtc;
        for (int i = 0; i < noutput; ++i) {
            auto oi = take(xcb_randr_get_output_info_reply(m_conn, outputCookies[size_t(i)], &err), err);
            QByteArray edid;
            if (!edidCookies.empty()) {
                auto prop = take(xcb_randr_get_output_property_reply(m_conn, edidCookies[size_t(i)], &err), err);
                if (prop && prop->format == 8)
                    edid = QByteArray(reinterpret_cast<const char *>(xcb_randr_get_output_property_data(prop.p)),
                                      xcb_randr_get_output_property_data_length(prop.p));
            }
            if (!oi) {
                whole = false;
                continue;
            }
            XOutputFacts f;
            f.name = QString::fromLocal8Bit(reinterpret_cast<const char *>(xcb_randr_get_output_info_name(oi.p)),
                                            xcb_randr_get_output_info_name_length(oi.p));
            f.connected = oi->connection == XCB_RANDR_CONNECTION_CONNECTED;
            f.widthMm = oi->mm_width;
            f.heightMm = oi->mm_height;
            f.primary = outputIds[i] == primary;
            const xcb_randr_mode_t *outModes = xcb_randr_get_output_info_modes(oi.p);
            for (int m = 0; m < xcb_randr_get_output_info_modes_length(oi.p); ++m)
                if (const xcb_randr_mode_info_t *mi = modes.value(outModes[m]))
                    f.modes.push_back({mi->width, mi->height, modeRefresh(*mi)});
            const auto crtc = crtcs.constFind(oi->crtc);
            if (oi->crtc != XCB_NONE && crtc != crtcs.constEnd() && !crtc->geometry.isEmpty()) {
                f.crtcGeometry = crtc->geometry;
                f.currentMode = crtc->mode;
                ++outputsPerCrtc[oi->crtc];
                crtcOf.push_back(oi->crtc);
            } else {
                crtcOf.push_back(XCB_NONE);
            }
            f.edid = edid;
            out.push_back(std::move(f));
            ids.push_back(outputIds[i]);
        }
        // Mirroring: two outputs on one CRTC, or two CRTCs showing the same rectangle.
        for (size_t i = 0; i < out.size(); ++i) {
            if (crtcOf[i] == XCB_NONE)
                continue;
            bool shared = outputsPerCrtc.value(crtcOf[i]) > 1;
            for (size_t j = 0; j < out.size() && !shared; ++j)
                shared = j != i && crtcOf[j] != XCB_NONE && crtcOf[j] != crtcOf[i] && out[j].crtcGeometry == out[i].crtcGeometry;
            out[i].sharesCrtc = shared;
        }
        // Kept only when every answer came: a missing one is asked for again next time.
        if (whole) {
            m_last = Last{out, std::move(ids)};
            m_lastStamp = res->timestamp;
            m_lastConfigStamp = stamp;
        }
        return out;
    }

private:
    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_edidAtom = XCB_ATOM_NONE;
    bool m_ok = false;
    struct Last {
        std::vector<XOutputFacts> facts;
        std::vector<xcb_randr_output_t> ids;
    };
    std::optional<Last> m_last;
    xcb_timestamp_t m_lastStamp = 0, m_lastConfigStamp = 0;
};

} // namespace

std::unique_ptr<XRandrReader> makeXRandrReader(const QString &displayName)
{
    return std::make_unique<XcbRandrReader>(displayName);
}
#else
std::unique_ptr<XRandrReader> makeXRandrReader(const QString &)
{
    return nullptr;
}
#endif

} // namespace corvane
