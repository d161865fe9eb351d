#include "common/Log.h"

namespace corvane {

Q_LOGGING_CATEGORY(lcMonitors, "corvane.monitors", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "corvane.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNotify, "corvane.notify", QtInfoMsg)
Q_LOGGING_CATEGORY(lcState, "corvane.state", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "corvane.ui", QtInfoMsg)

} // namespace corvane
