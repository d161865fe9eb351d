#pragma once
// A hidden window should cost less than a shown one. Its content goes with it where the
// window builds content only while shown; this gives the scene graph's caches back and
// returns the freed heap to the system once the window has been hidden a moment.
#include <functional>

class QQuickWindow;

namespace corvane {

// From now on, whenever `window` stays hidden for `delayMs`, its scene-graph resources are
// released, its native window destroyed (unless `keepNativeWindow` says so: state set on the
// native window alone would be lost, and a window that comes back by itself should come back
// as the same window) and the allocator's free memory is trimmed; then `released` runs.
// Position and state stay with the window.
void releaseWhileHidden(QQuickWindow *window, int delayMs = 500, std::function<bool()> keepNativeWindow = {},
                        std::function<void()> released = {});

// Returns the allocator's free pages to the system (after a surface's content was dropped).
void trimFreedMemory();

} // namespace corvane
