#include <glib.h>

#include "platform/linux/X11FrontmostApp.h"
#include "platform/linux/ProcNames.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

#include <cstdlib>
#include <cstring>
#include <memory>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace corvane {

namespace {

#if QT_CONFIG(xcb)
xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 1, uint16_t(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, decltype(&free)>;

PropertyReply readProperty(xcb_connection_t *c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, uint32_t words)
{
    if (prop == XCB_ATOM_NONE)
        return PropertyReply(nullptr, &free);
    const auto cookie = xcb_get_property(c, 0, w, prop, type, 0, words);
    return PropertyReply(xcb_get_property_reply(c, cookie, nullptr), &free);
}

// One 32-bit value of a CARDINAL/WINDOW property, or nullopt.
std::optional<uint32_t> readCard32(xcb_connection_t *c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type)
{
    const auto reply = readProperty(c, w, prop, type, 1);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
}
#endif

QStringList defaultAppDirs()
{
    QStringList dirs;
    for (const QString &d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << d + QStringLiteral("/applications");
    return dirs;
}

struct KeyFileFree {
    void operator()(GKeyFile *k) const { g_key_file_free(k); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

KeyFile loadEntry(const QString &path)
{
    KeyFile kf(g_key_file_new());
    if (!g_key_file_load_from_file(kf.get(), QFile::encodeName(path).constData(), G_KEY_FILE_NONE, nullptr))
        return nullptr;
    return kf;
}

std::optional<QString> entryString(GKeyFile *kf, const char *key, bool localized)
{
    gchar *v = localized ? g_key_file_get_locale_string(kf, "Desktop Entry", key, nullptr, nullptr)
                         : g_key_file_get_string(kf, "Desktop Entry", key, nullptr);
    if (!v)
        return std::nullopt;
    QString s = QString::fromUtf8(v).trimmed();
    g_free(v);
    if (s.isEmpty())
        return std::nullopt;
    return s;
}

} // namespace

X11FrontmostApp::X11FrontmostApp(std::string procRoot, QStringList appDirs)
    : m_procRoot(std::move(procRoot)), m_appDirs(appDirs.isEmpty() ? defaultAppDirs() : std::move(appDirs))
{
}

std::optional<X11FrontmostApp::ActiveWindow> X11FrontmostApp::activeWindow()
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
    ActiveWindow w;
    if (auto pid = readCard32(c, *window, internAtom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL); pid && *pid != 0)
        w.pid = pid;
    // WM_CLASS: "instance\0class\0".
    if (const auto reply = readProperty(c, *window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 128);
        reply && reply->format == 8) {
        const auto *data = static_cast<const char *>(xcb_get_property_value(reply.get()));
        const int len = xcb_get_property_value_length(reply.get());
        const QList<QByteArray> parts = QByteArray(data, len).split('\0');
        if (parts.size() >= 2 && !parts[1].isEmpty())
            w.windowClass = WindowClass{QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1])};
    }
    if (!w.pid && !w.windowClass)
        return std::nullopt;
    return w;
#else
    return std::nullopt;
#endif
}

std::optional<QString> X11FrontmostApp::processName(const std::string &procRoot, uint32_t pid)
{
    return procnames::processName(procRoot, pid);
}

std::optional<QString> X11FrontmostApp::desktopEntryName(const QStringList &appDirs, const WindowClass &wc)
{
    // An entry named after the window's class or instance ("firefox-esr.desktop") ...
    for (const QString &dir : appDirs) {
        for (const QString &id : {wc.className, wc.className.toLower(), wc.instance, wc.instance.toLower()}) {
            if (id.isEmpty() || id.contains(u'/'))
                continue;
            if (auto kf = loadEntry(dir + u'/' + id + QStringLiteral(".desktop")))
                if (auto n = entryString(kf.get(), "Name", true))
                    return n;
        }
    }
    // ... else one that declares the class as its StartupWMClass.
    for (const QString &dir : appDirs) {
        const QStringList files = QDir(dir).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString &f : files) {
            auto kf = loadEntry(dir + u'/' + f);
            if (!kf)
                continue;
            const auto wmClass = entryString(kf.get(), "StartupWMClass", false);
            if (wmClass && (wmClass->compare(wc.className, Qt::CaseInsensitive) == 0
                            || wmClass->compare(wc.instance, Qt::CaseInsensitive) == 0))
                if (auto n = entryString(kf.get(), "Name", true))
                    return n;
        }
    }
    return std::nullopt;
}

std::optional<QString> X11FrontmostApp::nameOf(const ActiveWindow &w) const
{
    if (w.windowClass) {
        const QString key = w.windowClass->instance + u'\n' + w.windowClass->className;
        auto it = m_entryNames.find(key);
        if (it == m_entryNames.end())
            it = m_entryNames.insert(key, desktopEntryName(m_appDirs, *w.windowClass));
        if (*it)
            return *it;
    }
    if (w.pid)
        if (auto n = processName(m_procRoot, *w.pid))
            return n;
    if (w.windowClass)
        return w.windowClass->className;
    return std::nullopt;
}

std::optional<QString> X11FrontmostApp::name() const
{
    const auto w = activeWindow();
    if (!w)
        return std::nullopt;
    return nameOf(*w);
}

const FrontmostApp &FrontmostApp::system()
{
    static const X11FrontmostApp app;
    return app;
}

} // namespace corvane
