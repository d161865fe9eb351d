#pragma once
// Time sources. Wall time is used only where a cadence aligns to the calendar
// clock; everything measured (rates, CPU time) uses the monotonic clock.
#include <cstdint>

namespace corvane {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since the Unix epoch.
    virtual double wallSeconds() const = 0;
    // CLOCK_MONOTONIC in nanoseconds; never 0 on a running system.
    virtual uint64_t monotonicNs() const = 0;

    // The real clocks; lives for the whole process (no Qt state inside).
    static const Clock &system();
};

} // namespace corvane
