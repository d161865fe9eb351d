#include "common/AppVersion.h"

#ifndef CORVANE_VERSION
#error "the build defines CORVANE_VERSION for this file"
#endif

namespace corvane {

QString appVersion() { return QStringLiteral(CORVANE_VERSION); }

} // namespace corvane
