#pragma once
// A source of one callback per presented frame, and the nominal refresh of the display it follows.
#include <functional>
#include <memory>
#include <optional>

class QQuickWindow;

namespace corvane {

class DisplayLink {
public:
    // Runs on the link's own thread (for a window: its render thread), once per frame.
    using Callback = std::function<void()>;
    virtual ~DisplayLink() = default;
    // Nominal refresh in Hz; nullopt when the display does not say.
    virtual std::optional<double> nominalRefreshHz() const = 0;
    // Installs the callback and starts delivering frames.
    virtual void start(Callback onFrame) = 0;
    // Stops delivering; no callback runs after this returns.
    virtual void stop() = 0;
};

// Counts the frame swaps of a Qt Quick window; nullptr without a window.
std::unique_ptr<DisplayLink> makeWindowDisplayLink(QQuickWindow *window);

} // namespace corvane
