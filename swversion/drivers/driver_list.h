// The installed driver modules of the kinds that qvswa.cfg lists (SCSI, disk array, network),
// shared by the version agent's driver table and the scanning service's history.
#pragma once

#include <array>
#include <ctime>
#include <string>

// One driver of the list; stays inside the process.
struct DriverStruct {
    char szDrvName[16];          // module file name as listed (at most 15 characters)
    char szDrvVersion[60];       // running kernel's release
    char szDrvDescription[256];
    char szDrvFilePath[64];      // directory of the module file, ending in '/'
    int State;                   // 1 not loaded, 4 loaded
    long ByteSize;
    time_t DrvDateAndTime;
    int iType;                   // 1 network interface, 2 SCSI, 3 disk array
};

inline constexpr int kMaxDrivers = 50;

struct DriverList {
    std::array<DriverStruct, kMaxDrivers> drivers{};
    int nDrivers = 0;
};

// Rebuilds `list` from scratch: SCSI, then DAC (found in the SCSI index), then NIC drivers, each
// in list order; listed modules that are not installed are left out.
void CollectDriversInfo(DriverList& list);

// First word of /proc/sys/kernel/osrelease; empty when unreadable.
std::string kernelRelease();

// "/lib/modules/<release>/" + "kernel/drivers/" (releases above 2.2) + kind + "/".
std::string moduleDirectory(const std::string& release, const char* kind);

// 4 when a line of /proc/modules begins with the module's name up to its first '.', else 1.
int GetState(const char* szDrvName);
