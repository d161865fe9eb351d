#pragma once
// The version of this build: one number for every place that shows it (the tray popup, the
// tests tab, the report, the about card, the update check, the AppStream metainfo).
#include <QString>

namespace corvane {

// The project's version as the build sets it (CMake's project VERSION), e.g. "0.1".
QString appVersion();

} // namespace corvane
