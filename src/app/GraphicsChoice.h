#pragma once
// Without a GPU, Mesa renders OpenGL on the CPU (llvmpipe): every animated frame costs
// real CPU time and the driver alone adds ~85 MB. There the software scene graph is the
// better choice, and the views fall back to their static look.
#include <QString>

namespace corvane {

// True when no render node exists under `devRoot` (/dev) and the user has not picked a
// scene-graph backend through Qt's own environment variables.
bool preferSoftwareSceneGraph(const QString &devRoot = QStringLiteral("/dev"));

} // namespace corvane
