#pragma once
// The choices made before Qt starts: the windowing platform, and the scene graph.
// Without a GPU, Mesa renders OpenGL on the CPU (llvmpipe): every animated frame costs
// real CPU time and the driver alone adds ~85 MB. There the software scene graph is the
// better choice, and the views fall back to their static look.
#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane {

// True when no render node exists under `devRoot` (/dev) and the user has not picked a
// scene-graph backend through Qt's own environment variables.
bool preferSoftwareSceneGraph(const QString &devRoot = QStringLiteral("/dev"));

// Picks the windowing platform before the application object exists. Where an X display
// answers and the user picked no platform, that is xcb, also in a Wayland session (there it
// runs on XWayland): docking the strip, pinning to the desktop and the display's refresh are
// X11's. With no X display it runs natively on a Wayland display that answers. The user's
// choice (Qt's -platform option or QT_QPA_PLATFORM) stands. Returns the environment
// variables it set; they go again once Qt has started (restoreEnvironment), so the programs
// the app opens choose for themselves.
std::vector<QByteArray> chooseWindowingPlatform(int argc, char **argv);
void restoreEnvironment(const std::vector<QByteArray> &names);

} // namespace corvane
