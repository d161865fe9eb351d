#include "ui/shared/WallTime.h"

#include <cmath>

namespace corvane {

namespace {
const Clock *s_clock = nullptr;
} // namespace

QDateTime WallTime::current()
{
    if (!s_clock)
        return QDateTime::currentDateTime();
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(s_clock->wallSeconds() * 1000.0)));
}

void WallTime::setClock(const Clock *clock) { s_clock = clock; }

} // namespace corvane
