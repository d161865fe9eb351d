#pragma once
// Rates of cumulative byte counters, from monotonic timestamps.
#include "common/Numbers.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

// Seconds between two monotonic readings; never below 1 µs.
inline double rateInterval(uint64_t nowNs, uint64_t lastNs)
{
    const double dt = nowNs >= lastNs ? static_cast<double>(nowNs - lastNs) / 1e9 : 0.0;
    return std::max(dt, 1e-6);
}

// Increase per second, truncated toward zero. A counter that went backwards (interface
// reset, drive detached, failed read) has no valid increase: 0 for this tick.
inline uint64_t counterRate(uint64_t now, uint64_t last, double dt)
{
    if (now < last)
        return 0;
    return saturatingCast<uint64_t>(static_cast<double>(now - last) / dt);
}

} // namespace corvane
