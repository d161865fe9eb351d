#pragma once
#include "platform/Clock.h"

#include <atomic>

namespace corvane::test {

// A clock the test moves by hand; safe to read from sampler threads.
class FakeClock final : public Clock {
public:
    double wallSeconds() const override { return m_wall.load(); }
    uint64_t monotonicNs() const override { return m_mono.load(); }
    void setWall(double s) { m_wall = s; }
    void setMonotonicNs(uint64_t ns) { m_mono = ns; }
    void advance(double seconds)
    {
        m_wall = m_wall.load() + seconds;
        m_mono = m_mono.load() + static_cast<uint64_t>(seconds * 1e9);
    }

private:
    std::atomic<double> m_wall{1'700'000'000.25};
    std::atomic<uint64_t> m_mono{5'000'000'000ULL};
};

} // namespace corvane::test
