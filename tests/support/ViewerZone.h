#pragma once
// The process's local zone while one lives, as a user's TZ sets it.
#include <QtGlobal>

#include <time.h>

namespace corvane::test {

struct ViewerZone {
    const bool had = qEnvironmentVariableIsSet("TZ");
    const QByteArray old = qgetenv("TZ");
    explicit ViewerZone(const char *id) { qputenv("TZ", id), tzset(); }
    ~ViewerZone() { had ? qputenv("TZ", old) : qunsetenv("TZ"), tzset(); }
};

} // namespace corvane::test
