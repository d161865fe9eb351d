#pragma once
// Frontmost application under X11: _NET_ACTIVE_WINDOW on the root window, its _NET_WM_PID,
// and that process's name from <procRoot>/<pid>/comm.
#include "platform/FrontmostApp.h"

#include <cstdint>
#include <string>

namespace corvane {

class X11FrontmostApp final : public FrontmostApp {
public:
    explicit X11FrontmostApp(std::string procRoot = "/proc") : m_procRoot(std::move(procRoot)) {}
    std::optional<QString> name() const override;

    // The pid that owns the active window; nullopt when the platform is not xcb or the
    // window manager doesn't say.
    static std::optional<uint32_t> activeWindowPid();
    // The process's short name from comm; nullopt when gone or empty.
    static std::optional<QString> processName(const std::string &procRoot, uint32_t pid);

private:
    std::string m_procRoot;
};

} // namespace corvane
