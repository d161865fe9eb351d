#include "platform/linux/X11FrontmostApp.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <memory>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace corvane {

#if QT_CONFIG(xcb)
namespace {

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 1, uint16_t(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// One 32-bit value of a CARDINAL/WINDOW property, or nullopt.
std::optional<uint32_t> readCard32(xcb_connection_t *c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type)
{
    if (prop == XCB_ATOM_NONE)
        return std::nullopt;
    const auto cookie = xcb_get_property(c, 0, w, prop, type, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(xcb_get_property_reply(c, cookie, nullptr), &free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
}

} // namespace
#endif

std::optional<uint32_t> X11FrontmostApp::activeWindowPid()
{
#if QT_CONFIG(xcb)
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return std::nullopt;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem)
        return std::nullopt;
    const auto window = readCard32(c, screens.data->root, internAtom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE)
        return std::nullopt;
    const auto pid = readCard32(c, *window, internAtom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0)
        return std::nullopt;
    return pid;
#else
    return std::nullopt;
#endif
}

std::optional<QString> X11FrontmostApp::processName(const std::string &procRoot, uint32_t pid)
{
    QFile f(QString::fromStdString(procRoot) + QLatin1Char('/') + QString::number(pid) + QStringLiteral("/comm"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString name = QString::fromUtf8(f.read(256)).trimmed();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> X11FrontmostApp::name() const
{
    const auto pid = activeWindowPid();
    if (!pid)
        return std::nullopt;
    return processName(m_procRoot, *pid);
}

const FrontmostApp &FrontmostApp::system()
{
    static const X11FrontmostApp app;
    return app;
}

} // namespace corvane
