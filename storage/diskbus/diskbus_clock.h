// The one clock of the disk bus library's caches (channel scans, device list, RAID configuration),
// in seconds. Tests install their own to walk past the cache ages without waiting.
#pragma once

#include <ctime>
#include <functional>

time_t DiskbusNow();
// An empty function restores the system clock.
void SetDiskbusClockForTests(std::function<time_t()> clock);
