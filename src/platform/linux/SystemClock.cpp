#include "platform/Clock.h"

#include <time.h>

namespace corvane {
namespace {

class SystemClock final : public Clock {
public:
    double wallSeconds() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }
    uint64_t monotonicNs() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000ULL + static_cast<uint64_t>(ts.tv_nsec);
    }
};

} // namespace

const Clock &Clock::system()
{
    static const SystemClock clock;
    return clock;
}

} // namespace corvane
