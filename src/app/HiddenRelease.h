#pragma once
// A hidden window should cost less than a shown one. Its content goes with it where the
// window builds content only while shown; this gives the scene graph's caches back and
// returns the freed heap to the system once the window has been hidden a moment.
#include <QtGlobal>

#include <functional>

class QQuickWindow;

namespace corvane {

class AppState;

// From now on, whenever `window` stays hidden for `delayMs`, its scene-graph resources are
// released, its native window destroyed (unless `keepNativeWindow` says so: state set on the
// native window alone would be lost, and a window that comes back by itself should come back
// as the same window) and the allocator's free memory is trimmed; then `released` runs.
// Position and state stay with the window. While `holdsContent` says so (a sheet open in the
// hidden window, with the test running in it) nothing is released.
void releaseWhileHidden(QQuickWindow *window, int delayMs = 500, std::function<bool()> keepNativeWindow = {},
                        std::function<void()> released = {}, std::function<bool()> holdsContent = {});

// Returns the allocator's free pages to the system (after a surface's content was dropped).
void trimFreedMemory();

// From now on, a moment after what is shown changes (`settleMs` after a surface appears, at
// start too; `hiddenMs` once every surface is hidden, after the surfaces' own releases, and
// again `lateMs` later for what Qt's caches give up on timers of their own), the allocator's
// free memory goes back to the system, and while every surface is hidden the unused fonts
// too. The function returned starts the wait again (another surface took over from the one
// shown).
std::function<void()> releaseIdleMemory(AppState *state, int hiddenMs = 1500, int settleMs = 5000, int lateMs = 45'000);

} // namespace corvane
