#pragma once
// Window-manager hints the window modes need (panel type, all desktops, layering, taskbar).
#include <QList>
#include <QRect>

#include <functional>
#include <memory>

class QObject;
class QWindow;

namespace corvane {

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // A strip that sits above normal windows on every desktop and stays out of the
    // taskbar and pager. Call after the native window exists and before it is shown.
    virtual void makeBarPanel(QWindow *w) = 0;
    // Pins (or unpins) a window just above the desktop on every desktop, out of the
    // taskbar, pager and window cycling.
    virtual void setDesktopPinned(QWindow *w, bool pinned) = 0;
    // Keeps a window out of the taskbar and pager. Call after the native window exists and
    // before it is shown.
    virtual void keepOutOfTaskbar(QWindow *w) { (void)w; }
    // Brings a window to the front and gives it focus.
    virtual void activate(QWindow *w) = 0;
    // Other programs' panels and docks on screen (a tray among them), in the app's logical
    // pixels. Those that reserve no screen space still need their row kept free.
    virtual QList<QRect> panels() { return {}; }
    // Calls `changed` (while `context` lives) whenever the work area or the set of managed
    // windows changes: a panel came, went or reserved other space.
    virtual void watchPanels(QObject *context, std::function<void()> changed)
    {
        (void)context;
        (void)changed;
    }
};

// The X11 backend when running on xcb, else one that only uses Qt's own window flags.
std::unique_ptr<WindowSystem> makeWindowSystem();

} // namespace corvane
