// The simulator's clock: wall time by default, or frozen at a set value and moved on by hand so
// tests of the watchdog countdown and SEL timestamps need no sleeping.
#pragma once

#include <chrono>
#include <cstdint>

namespace qv::sim {

class SimClock {
public:
    SimClock();
    uint64_t nowMs() const;          // milliseconds since the epoch of the simulated world
    uint32_t nowSeconds() const { return static_cast<uint32_t>(nowMs() / 1000); }
    void set(uint32_t seconds);      // freezes the clock at this time
    void advance(uint32_t milliseconds);
    bool frozen() const { return frozen_; }

private:
    bool frozen_ = false;
    uint64_t frozenMs_ = 0;
    uint64_t realOffsetMs_ = 0;
    std::chrono::steady_clock::time_point realBase_;
};

} // namespace qv::sim
