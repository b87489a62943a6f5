// The commands every adapter class runs on a drive (through its IssueDriveCmd and SendDriveData):
// INQUIRY, TEST UNIT READY, capacity, log pages, read activity, format and firmware download.
// Their data stay in the adapter's data area.
#pragma once

#include "diskbus_types.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

class CScsiAdapter;

uint32_t PingDrive(CScsiAdapter& adapter, unsigned channel, unsigned target);
// A CHECK CONDITION is retried once; the second status counts.
uint32_t TestUnitReady(CScsiAdapter& adapter, unsigned channel, unsigned target);
uint32_t RequestSenseData(CScsiAdapter& adapter, unsigned channel, unsigned target);
uint32_t GetDriveCapacity(CScsiAdapter& adapter, unsigned channel, unsigned target, unsigned long* lastBlock);
// LOG SENSE of the current cumulative values of `page`, 511 bytes.
uint32_t ReadLogPage(CScsiAdapter& adapter, unsigned channel, unsigned target, unsigned page);
// Whether LOG SENSE page 0 (already in the data area) lists `page` from byte 5 on, within the
// bytes fetched.
bool LogPageListed(const uint8_t* data, unsigned page);
uint32_t MakeDriveActivity(CScsiAdapter& adapter, unsigned channel, unsigned target);
uint32_t EnableDriveFormat(CScsiAdapter& adapter, unsigned channel, unsigned target);
uint32_t FormatDrive(CScsiAdapter& adapter, unsigned channel, unsigned target);
uint32_t ExerciseAllTargets(CScsiAdapter& adapter, unsigned channel, uint16_t targets);
uint32_t SendFirmware(CScsiAdapter& adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg);
uint32_t DownloadFirmware(CScsiAdapter& adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg);

// The waits of the drive commands; tests install one that only moves their clock.
void DiskbusSleep(std::chrono::milliseconds duration);
void SetDiskbusSleepForTests(std::function<void(std::chrono::milliseconds)> sleep);

// The exercise flag (cleared by StopActivity and LibraryShutdown, read between passes).
std::atomic<int>& ExerciseFlag();

extern "C" {
uint32_t FormatScsiDrive(CScsiAdapter* adapter, unsigned channel, unsigned target);
uint32_t FWScsiDownload(CScsiAdapter* adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg);
uint32_t ExerciseTargets(CScsiAdapter* adapter, unsigned channel, unsigned target, unsigned period);
void StopActivity();
}
