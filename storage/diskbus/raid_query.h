// The RAID query functions: one RAID configuration object per adapter number (the DAC list),
// built on the first query, and what the upper layer asks of it.
#pragma once

#include "diskbus_types.h"

#include <cstdint>

class IRaidInfo;

constexpr unsigned kMaxDACs = 16;

// The RAID object of `adapter`, established (list built, adapter set and opened): null with
// *status set on failure.
IRaidInfo* EstablishRaidAdapter(unsigned adapter, uint32_t* status);

extern "C" {
uint32_t ReleaseDACList();
uint32_t GetLDInfo(SCSIAddressType address, LogDriveInfoType* drive);
uint32_t GetLDDiskList(SCSIAddressType address, unsigned* count, SCSIAddressType* disks);
uint32_t GetLDRaidInfo(SCSIAddressType address, int* level);
uint32_t GetDiskRaidLevel(SCSIAddressType disk, int* level);
uint32_t GetDiskRaidStatus(SCSIAddressType disk, int* state);
uint32_t GetRAIDVersions(unsigned adapter, char* firmware, unsigned firmwareLength, char* bios, unsigned biosLength);
uint32_t GetRAIDInfo(unsigned adapter, int* info);
} // extern "C"
