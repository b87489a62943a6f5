// The hot-swap library's time: one monotonic millisecond clock for the cage refresh and the
// enclosure status ages, and the one sleep of the LED test. Tests install their own of both.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

uint64_t BayswapMilliseconds();
void BayswapSleep(std::chrono::milliseconds pause);

// Empty functions restore the steady clock and the real sleep.
void SetBayswapClockForTests(std::function<uint64_t()> clock);
void SetBayswapSleepForTests(std::function<void(std::chrono::milliseconds)> sleep);
