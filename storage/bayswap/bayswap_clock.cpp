#include "bayswap_clock.h"

#include <thread>
#include <utility>

namespace {
std::function<uint64_t()>& clockFunction()
{
    static std::function<uint64_t()> clock;
    return clock;
}
std::function<void(std::chrono::milliseconds)>& sleepFunction()
{
    static std::function<void(std::chrono::milliseconds)> sleep;
    return sleep;
}
} // namespace

uint64_t BayswapMilliseconds()
{
    if (const auto& clock = clockFunction(); clock) return clock();
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void BayswapSleep(std::chrono::milliseconds pause)
{
    if (const auto& sleep = sleepFunction(); sleep)
        sleep(pause);
    else
        std::this_thread::sleep_for(pause);
}

void SetBayswapClockForTests(std::function<uint64_t()> clock) { clockFunction() = std::move(clock); }
void SetBayswapSleepForTests(std::function<void(std::chrono::milliseconds)> sleep) { sleepFunction() = std::move(sleep); }
