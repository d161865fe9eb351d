#include "platform/DisplaySource.h"

#include <QHash>

#ifdef CORVANE_HAVE_XRANDR
// Xlib's macros (None, Bool, Status…) clash with Qt's names: include it last.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#endif

namespace corvane {

#ifdef CORVANE_HAVE_XRANDR
namespace {

double modeRefresh(const XRRModeInfo &m)
{
    if (m.hTotal == 0 || m.vTotal == 0)
        return 0;
    double rate = static_cast<double>(m.dotClock) / (static_cast<double>(m.hTotal) * static_cast<double>(m.vTotal));
    if (m.modeFlags & RR_DoubleScan)
        rate /= 2;
    if (m.modeFlags & RR_Interlace)
        rate *= 2;
    return rate;
}

// Uses a connection of its own: Qt's is driven by the GUI thread, and this one runs on the
// sampler thread. Only used while Qt itself runs on X11, whose Xlib error handler is then
// in place, so a request about an output unplugged meanwhile cannot end the process.
class XlibRandrReader final : public XRandrReader {
public:
    explicit XlibRandrReader(const QString &name)
    {
        m_dpy = ::XOpenDisplay(name.toLocal8Bit().constData());
        if (!m_dpy)
            return;
        int ev = 0, err = 0, major = 0, minor = 0;
        // GetScreenResourcesCurrent (no re-probing of the outputs) needs 1.3.
        m_ok = ::XRRQueryExtension(m_dpy, &ev, &err) && ::XRRQueryVersion(m_dpy, &major, &minor)
            && (major > 1 || (major == 1 && minor >= 3));
    }
    ~XlibRandrReader() override
    {
        if (m_dpy)
            ::XCloseDisplay(m_dpy);
    }

    std::optional<std::vector<XOutputFacts>> read() override
    {
        if (!m_ok)
            return std::nullopt;
        const Window root = DefaultRootWindow(m_dpy);
        XRRScreenResources *res = ::XRRGetScreenResourcesCurrent(m_dpy, root);
        if (!res)
            return std::nullopt;
        const RROutput primary = ::XRRGetOutputPrimary(m_dpy, root);
        const Atom edidAtom = ::XInternAtom(m_dpy, "EDID", True);

        QHash<RRMode, const XRRModeInfo *> modes;
        for (int i = 0; i < res->nmode; ++i)
            modes.insert(res->modes[i].id, &res->modes[i]);

        struct Crtc {
            QRect geometry;
            std::optional<DisplayModeFacts> mode;
        };
        QHash<RRCrtc, Crtc> crtcs;
        for (int i = 0; i < res->ncrtc; ++i) {
            XRRCrtcInfo *ci = ::XRRGetCrtcInfo(m_dpy, res, res->crtcs[i]);
            if (!ci)
                continue;
            Crtc c;
            if (ci->mode != 0 && ci->width > 0 && ci->height > 0) {
                c.geometry = QRect(ci->x, ci->y, static_cast<int>(ci->width), static_cast<int>(ci->height));
                if (const XRRModeInfo *m = modes.value(ci->mode))
                    c.mode = DisplayModeFacts{static_cast<int>(m->width), static_cast<int>(m->height), modeRefresh(*m)};
            }
            crtcs.insert(res->crtcs[i], c);
            ::XRRFreeCrtcInfo(ci);
        }

        std::vector<XOutputFacts> out;
        QHash<RRCrtc, int> outputsPerCrtc;
        std::vector<RRCrtc> crtcOf;
        for (int i = 0; i < res->noutput; ++i) {
            XRROutputInfo *oi = ::XRRGetOutputInfo(m_dpy, res, res->outputs[i]);
            if (!oi)
                continue;
            XOutputFacts f;
            f.name = QString::fromLocal8Bit(oi->name, oi->nameLen);
            f.connected = oi->connection == RR_Connected;
            f.widthMm = oi->mm_width;
            f.heightMm = oi->mm_height;
            f.primary = res->outputs[i] == primary;
            for (int m = 0; m < oi->nmode; ++m)
                if (const XRRModeInfo *mi = modes.value(oi->modes[m]))
                    f.modes.push_back({static_cast<int>(mi->width), static_cast<int>(mi->height), modeRefresh(*mi)});
            const auto crtc = crtcs.constFind(oi->crtc);
            if (oi->crtc != 0 && crtc != crtcs.constEnd() && !crtc->geometry.isEmpty()) {
                f.crtcGeometry = crtc->geometry;
                f.currentMode = crtc->mode;
                ++outputsPerCrtc[oi->crtc];
                crtcOf.push_back(oi->crtc);
            } else {
                crtcOf.push_back(0);
            }
            if (edidAtom != 0)
                f.edid = property(res->outputs[i], edidAtom);
            ::XRRFreeOutputInfo(oi);
            out.push_back(std::move(f));
        }
        // Mirroring: two outputs on one CRTC, or two CRTCs showing the same rectangle.
        for (size_t i = 0; i < out.size(); ++i) {
            if (crtcOf[i] == 0)
                continue;
            bool shared = outputsPerCrtc.value(crtcOf[i]) > 1;
            for (size_t j = 0; j < out.size() && !shared; ++j)
                shared = j != i && crtcOf[j] != 0 && crtcOf[j] != crtcOf[i] && out[j].crtcGeometry == out[i].crtcGeometry;
            out[i].sharesCrtc = shared;
        }
        ::XRRFreeScreenResources(res);
        return out;
    }

private:
    QByteArray property(RROutput output, Atom atom)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        QByteArray bytes;
        // 256 longs = 1 KiB: a base block and up to seven extensions.
        if (::XRRGetOutputProperty(m_dpy, output, atom, 0, 256, False, False, AnyPropertyType, &type, &format,
                                   &items, &after, &data) == Success
            && data && format == 8)
            bytes = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(items));
        if (data)
            ::XFree(data);
        return bytes;
    }

    Display *m_dpy = nullptr;
    bool m_ok = false;
};

} // namespace

std::unique_ptr<XRandrReader> makeXRandrReader(const QString &displayName)
{
    return std::make_unique<XlibRandrReader>(displayName);
}
#else
std::unique_ptr<XRandrReader> makeXRandrReader(const QString &)
{
    return nullptr;
}
#endif

} // namespace corvane
