#pragma once
// Logging categories, one per area. Failures that the program survives are logged here at
// warning level; QT_LOGGING_RULES (e.g. "corvane.platform.debug=true") turns on more.
#include <QLoggingCategory>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcMonitors)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcNotify)
Q_DECLARE_LOGGING_CATEGORY(lcState)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

} // namespace corvane
