#pragma once

namespace corvane {

// A monitor that rests while no surface shows and picks up where it stopped (rate baselines
// kept). How it rests is its own business: stopped, slower, or ticking on the main thread.
class Pausable {
public:
    virtual void setPaused(bool paused) = 0;

protected:
    ~Pausable() = default;
};

} // namespace corvane
