#include "app/GraphicsChoice.h"

#include <QDir>

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cstring>

namespace corvane {

bool preferSoftwareSceneGraph(const QString &devRoot)
{
    // An empty value is no choice (Qt itself ignores it too).
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") || !qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND"))
        return false;
    const QDir dri(devRoot + QStringLiteral("/dri"));
    return dri.entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files | QDir::AllEntries).isEmpty();
}

namespace {

bool xDisplayAnswers()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

// What a Wayland display offers, from one look at its globals.
struct WaylandDisplay {
    bool answers = false;
    bool hasSeat = false;
};

WaylandDisplay lookAtWaylandDisplay()
{
    WaylandDisplay out;
    // libwayland would complain on stderr about a runtime folder it has no way to find.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return out;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return out;
    out.answers = true;
    static const wl_registry_listener listener = {
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
            if (std::strcmp(interface, wl_seat_interface.name) == 0)
                static_cast<WaylandDisplay *>(data)->hasSeat = true;
        },
        [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &out);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return out;
}

} // namespace

std::vector<QByteArray> chooseWindowingPlatform(int argc, char **argv)
{
    std::vector<QByteArray> set;
    // The user's choice: Qt's own option on the command line, else its variable.
    QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            chosen = argv[i + 1];
    bool wayland = chosen.startsWith("wayland");
    if (chosen.isEmpty()) {
        if (xDisplayAnswers()) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            set.push_back("QT_QPA_PLATFORM");
            return set;
        }
        wayland = true;
    }
    if (!wayland)
        return set;
    const WaylandDisplay display = lookAtWaylandDisplay();
    if (!display.answers)
        return set; // Qt's own choice, and its own message when nothing answers
    if (chosen.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "wayland");
        set.push_back("QT_QPA_PLATFORM");
    }
    // Qt's Wayland text input reaches for the seat's input device even where the compositor
    // has no seat (a headless one), and crashes as the first text field is made. Without a
    // seat there is no keyboard to type with: the plain compose input serves.
    if (!display.hasSeat && qEnvironmentVariableIsEmpty("QT_IM_MODULE")) {
        qputenv("QT_IM_MODULE", "compose");
        set.push_back("QT_IM_MODULE");
    }
    return set;
}

void restoreEnvironment(const std::vector<QByteArray> &names)
{
    for (const QByteArray &name : names)
        qunsetenv(name.constData());
}

} // namespace corvane
