#include "platform/DisplaySource.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#ifdef CORVANE_HAVE_XRANDR
#include <X11/Xlib.h>
#endif

namespace corvane {

QString qtX11DisplayName()
{
#if defined(CORVANE_HAVE_XRANDR) && QT_CONFIG(xcb)
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        if (Display *d = x11->display())
            return QString::fromLocal8Bit(::XDisplayString(d));
#endif
    return {};
}

std::vector<ScreenFacts> currentScreenFacts()
{
    std::vector<ScreenFacts> out;
    if (!qGuiApp)
        return out;
    // These platforms invent a screen that no display stands behind.
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        return out;
    // On X11 Qt's rate and size are RandR's, which the sampler reads itself, or else its own
    // defaults (60 Hz, 96 dpi) that no display stands behind: they are left out.
    const bool fromRandr = platform == u"xcb";
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *s : QGuiApplication::screens()) {
        ScreenFacts f;
        f.name = s->name();
        f.geometry = s->geometry();
        f.devicePixelRatio = s->devicePixelRatio();
        if (!fromRandr) {
            f.refreshRate = s->refreshRate();
            f.physicalWidthMm = s->physicalSize().width();
            f.physicalHeightMm = s->physicalSize().height();
        }
        f.depth = s->depth();
        f.primary = s == primary;
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace corvane
