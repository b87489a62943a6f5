// The volume map: which mounted file system (from /etc/mtab below the root) lies on which disk,
// one entry per member disk for a volume on a RAID logical drive. Rebuilt when 20 s old.
#pragma once

#include "diskbus_types.h"

#include <cstdint>
#include <string>

constexpr unsigned kMaxVolumes = 32;

// Rebuilds the map when its last build is 20 s or more old: 0 or the errno of opening the table.
uint32_t BuildDriveList();
// Drops the map (tests and LibraryShutdown do not need it; the age rule rebuilds it).
void ResetVolumeMapForTests();
// Splits one mount table line into its first two words; false when it has fewer or a word is
// longer than the room for it.
bool ParseMountLine(const char* line, std::string& device, std::string& mountPoint);
// The mount point of entry `index`, or null.
const char* VolumeMountPoint(unsigned index);

extern "C" {
uint32_t GetDrivesMask(SCSIAddressType address);
uint32_t GetMaskLabel(uint32_t mask, char* label, unsigned length);
uint32_t GetLabelInstance(const char* mountPoint);
}
