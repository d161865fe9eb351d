#pragma once
// Frontmost application under X11: the window in _NET_ACTIVE_WINDOW on the root window,
// named by the desktop entry that matches its WM_CLASS, else by its class, else by the
// executable of its _NET_WM_PID.
#include "platform/FrontmostApp.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <string>

namespace corvane {

class X11FrontmostApp final : public FrontmostApp {
public:
    // `appDirs`: where desktop entries live; empty = the XDG data folders' "applications".
    explicit X11FrontmostApp(std::string procRoot = "/proc", QStringList appDirs = {});
    std::optional<QString> name() const override;

    struct WindowClass {
        QString instance; // first WM_CLASS string
        QString className; // second
    };
    struct ActiveWindow {
        std::optional<uint32_t> pid;
        std::optional<WindowClass> windowClass;
    };
    // nullopt when the platform is not xcb or the window manager names no active window.
    static std::optional<ActiveWindow> activeWindow();
    // The process's name (executable, else comm); nullopt when gone or empty.
    static std::optional<QString> processName(const std::string &procRoot, uint32_t pid);
    // The localized Name of the desktop entry named after the class or the instance, or whose
    // StartupWMClass is either; nullopt when none matches.
    static std::optional<QString> desktopEntryName(const QStringList &appDirs, const WindowClass &wc);
    // What the user calls the application behind a window.
    std::optional<QString> nameOf(const ActiveWindow &w) const;

private:
    std::string m_procRoot;
    QStringList m_appDirs;
    mutable QHash<QString, std::optional<QString>> m_entryNames; // by class, scanned once
};

} // namespace corvane
