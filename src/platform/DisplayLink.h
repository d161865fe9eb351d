#pragma once
// A source of one callback per presented frame, and the nominal refresh of the display it follows.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QQuickWindow;

namespace corvane {

class DisplayLink {
public:
    // Runs on the link's own thread, once per frame.
    using Callback = std::function<void()>;
    virtual ~DisplayLink() = default;
    // Nominal refresh in Hz; nullopt when the display does not say.
    virtual std::optional<double> nominalRefreshHz() const = 0;
    // Installs the callback and starts delivering frames.
    virtual void start(Callback onFrame) = 0;
    // Stops delivering; no callback runs after this returns.
    virtual void stop() = 0;
    // A link that counts refreshes itself gives its running count here instead of calling
    // back on every frame, so the reader wakes once per reading rather than once per frame.
    // nullopt for callback links, and when the count cannot be read right now.
    virtual std::optional<uint64_t> refreshCount() { return std::nullopt; }
};

// The vertical refresh of the output that shows `window` (X11 Present's frame counter),
// whatever the application draws, as it is when the link is made: a window moved to another
// output needs a new link. nullptr when there is no window, no X11 display, or the output has
// no real refresh (a virtual framebuffer such as Xvfb only simulates one).
std::unique_ptr<DisplayLink> makeVblankDisplayLink(QQuickWindow *window);

namespace displaylink {
// Refresh rate of a mode from its timings (RandR / modeline); nullopt for a mode without
// timings (dot clock or totals 0), which is what a virtual framebuffer reports.
std::optional<double> modeRefreshHz(uint32_t dotClock, uint16_t htotal, uint16_t vtotal, bool interlace,
                                    bool doubleScan);
// The X11 Present counter behind makeVblankDisplayLink for the X window `windowId`, also where
// the output has no timings (then without a nominal rate); nullptr without X11 Present.
std::unique_ptr<DisplayLink> openPresentCounter(uint32_t windowId);
} // namespace displaylink

} // namespace corvane
