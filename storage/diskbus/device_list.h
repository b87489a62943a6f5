// The generic SCSI device list: which /dev/sg<n> node serves which SCSI address.
#pragma once

#include "diskbus_types.h"

#include <cstdint>
#include <ctime>
#include <functional>

constexpr unsigned kMaxGenericDevices = 40;
constexpr uint8_t kAnyKey = 255;

// The channel byte of a listed address packs the channel (bits 0-2) and the LUN (bits 3-7).
extern "C" {
uint8_t SetChannel(unsigned channel, unsigned lun);
unsigned GetChannel(uint8_t packed);
unsigned GetLUN(uint8_t packed);
}

class CGenericDeviceList {
public:
    struct Entry {
        SCSIAddressType addr;
        int32_t iDisk;   // n of /dev/sg<n>, -1 when free
        int32_t iSpec;   // index of the device name pattern
    };

    // Seconds now; tests set their own clock.
    std::function<time_t()> now = [] { return std::time(nullptr); };

    // Rebuilds the list when it is 40 seconds or more old. Returns 0.
    uint32_t BuildDriveInfo();
    // The first entry matching all three keys (kAnyKey matches everything).
    bool FindDrive(unsigned host, unsigned channel, unsigned target, unsigned* index) const;
    // Host kAnyKey: the entry of /dev/sg<index> (probed and added when not listed); otherwise the
    // (index+1)-th entry on `host`.
    bool GetPhysDiskAddr(unsigned index, unsigned host, SCSIAddressType* address);
    const Entry& At(unsigned index) const { return rgInfo[index]; }

    uint32_t nDrives = 0;
    time_t age = 0;

private:
    bool Probe(int n, int spec, Entry& entry) const;
    bool Add(const Entry& entry);

    Entry rgInfo[kMaxGenericDevices] = {};
};
