// The outside disk library (libqvdiskctl) as the asset-tag and drive-cage services call it. Every
// call returns 0 for success; no other code is interpreted.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
typedef struct adapterInfo {
    uint32_t nPort;
    uint32_t nClass;
    char pName[20];
    char pMfg[20];
    char pDriverVersion[30];
} adapterInfo;

typedef struct DriveConfigInfo {
    uint32_t adapterID;
    uint32_t channelID;
    uint32_t targetID;
    char pProductRev[20];
    int32_t nVendorNameID;   // 1 Quantum, 2 Seagate, 3 IBM, 4 Fujitsu, 0 unknown
    char pDateCode[9];
    char pSerialNum[20];
    char pProductID[30];
    uint32_t dwVolumns;
    uint8_t bRaidLevel;
    uint32_t dwLocator;
    int32_t fFound;
} DriveConfigInfo;
#pragma pack(pop)

typedef void (*QvDiskctlCallback)(unsigned long code);

// Inventory: counts first, then tables the caller sizes from them.
int CountAdapterUnits(int* drives, int* adapters);
int GetAllAdapterInfo(adapterInfo* table);
int GetAllDiskConfigInfo(DriveConfigInfo* table, int count);

// Drive lights and readiness; addresses are the low 8 bits of the caller's settings.
int SetActivityCallback(QvDiskctlCallback callback);
int FlashActivityLightAllDrives(unsigned type, unsigned adapter, unsigned channel, int count);
int FlashDriveActivityLight(unsigned type, unsigned adapter, unsigned channel, unsigned target, int count);
int MFAdjustPowerLED(unsigned scsiId, unsigned cageAddr, int level);
int GetDriveReadiness(unsigned type, unsigned adapter, unsigned channel, unsigned target, int* ready);

// Drive firmware: the callback receives progress and the final code while an update runs.
int SetFirmwareCallback(QvDiskctlCallback callback);
int UpdateDriveFWImage(unsigned type, unsigned adapter, unsigned channel, unsigned target,
                       const void* image, int size);

#ifdef __cplusplus
}
static_assert(sizeof(adapterInfo) == 78);
static_assert(sizeof(DriveConfigInfo) == 108);
#endif
