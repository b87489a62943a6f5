#include "sim_clock.h"

#include <ctime>

namespace qv::sim {

SimClock::SimClock()
    : realOffsetMs_(static_cast<uint64_t>(::time(nullptr)) * 1000), realBase_(std::chrono::steady_clock::now()) {}

uint64_t SimClock::nowMs() const {
    if (frozen_)
        return frozenMs_;
    auto elapsed = std::chrono::steady_clock::now() - realBase_;
    return realOffsetMs_ + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void SimClock::set(uint32_t seconds) {
    frozen_ = true;
    frozenMs_ = static_cast<uint64_t>(seconds) * 1000;
}

void SimClock::advance(uint32_t milliseconds) {
    if (frozen_)
        frozenMs_ += milliseconds;
    else
        realOffsetMs_ += milliseconds;
}

} // namespace qv::sim
