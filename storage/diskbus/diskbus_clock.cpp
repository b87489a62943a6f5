#include "diskbus_clock.h"

#include <utility>

namespace {
std::function<time_t()>& clockFunction() {
    static std::function<time_t()> clock;
    return clock;
}
} // namespace

time_t DiskbusNow() {
    const auto& clock = clockFunction();
    return clock ? clock() : std::time(nullptr);
}

void SetDiskbusClockForTests(std::function<time_t()> clock) { clockFunction() = std::move(clock); }
