// Records and status codes of the SCSI and RAID library, declared once for the library, its
// callers and its tests. The records are exchanged with callers as arrays and keep the byte layout
// the library has always had on 32-bit Intel: fixed-width fields, natural alignment. C callers
// include it too (through qvdiskbus.h): the records are the same bytes in both languages.
#pragma once

#include "sd_type.h"   // sdType, ERR_RESOURCE_UNAVAILABLE

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
// The record checks read the same in both languages.
#define QV_DISKBUS_LAYOUT(condition) static_assert(condition, #condition)
#define QV_DISKBUS_STATUS(name, value) constexpr uint32_t name = value;
extern "C" {
#else
#include <stddef.h>
#include <stdint.h>
#define QV_DISKBUS_LAYOUT(condition) _Static_assert(condition, #condition)
#define QV_DISKBUS_STATUS(name, value) enum { name = value };
#endif

// A SCSI device: target id, channel (bus) and adapter (host) number. In the generic SCSI device
// list the channel byte also carries the LUN in bits 3-7.
typedef struct SCSIAddressType {
    uint8_t idTarget;
    uint8_t idChannel;
    uint8_t idAdapter;
} SCSIAddressType;
QV_DISKBUS_LAYOUT(sizeof(SCSIAddressType) == 3);


// The adapter record; HBADescType is its prefix up to and including sDramInMB.
typedef struct HBADescType {
    int32_t idAdapter;
    int32_t idClass;          // 1 MegaRAID, 4 other SCSI adapter, 5 IDE-SCSI emulation
    int32_t idInitiator;
    int32_t nChannels;
    char szName[20];
    char szBrand[20];
    char szDriverVersion[30];
    char szBIOSVersion[30];
    int32_t sDramInMB;
} HBADescType;
QV_DISKBUS_LAYOUT(sizeof(HBADescType) == 120);

typedef struct HBAInfoType {
    int32_t idAdapter;
    int32_t idClass;
    int32_t idInitiator;
    int32_t nChannels;
    char szName[20];
    char szBrand[20];
    char szDriverVersion[30];
    char szBIOSVersion[30];
    int32_t sDramInMB;
    int32_t idBoard;          // level 2 only
    char szProduct[64];       // level 2 only
} HBAInfoType;
QV_DISKBUS_LAYOUT(sizeof(HBAInfoType) == 188);
QV_DISKBUS_LAYOUT(offsetof(HBAInfoType, sDramInMB) == offsetof(HBADescType, sDramInMB));

typedef struct DiskDetailsType {
    uint8_t deviceType;       // INQUIRY byte 0 & 0x1F
    int32_t idVendor;
    char szFWRev[10];
    char szSerialNum[20];
    char szProductID[30];
    char szDateCode[10];
    uint32_t sDriveInMB;
    uint32_t maskVolumes;
    int32_t iRaidLevel;
    int32_t iRaidState;       // an LDState
} DiskDetailsType;
QV_DISKBUS_LAYOUT(sizeof(DiskDetailsType) == 96);
QV_DISKBUS_LAYOUT(offsetof(DiskDetailsType, idVendor) == 4 && offsetof(DiskDetailsType, sDriveInMB) == 80);

typedef struct DriveInfoType {
    SCSIAddressType addr;
    DiskDetailsType disk;
} DriveInfoType;
QV_DISKBUS_LAYOUT(sizeof(DriveInfoType) == 100 && offsetof(DriveInfoType, disk) == 4);

// A 32-bit field in the records; C has no enum of a fixed width, so it sees the plain word.
#ifdef __cplusplus
enum LDState : uint32_t {
#else
typedef uint32_t LDState;
enum {
#endif
    LDUnknown = 0,
    LDOffLine = 1,
    LDStandby = 2,
    LDOnLine = 3,
    LDDegraded = 4,
    LDRebuild = 5,
    LDFailed = 6,
};
QV_DISKBUS_LAYOUT(sizeof(LDState) == 4);

typedef struct LDInfoType {
    int32_t iRaidLevel;       // 0xFFFF when none is reported
    LDState status;
    uint32_t nBlocks;
} LDInfoType;
QV_DISKBUS_LAYOUT(sizeof(LDInfoType) == 12);

#ifdef __cplusplus
constexpr unsigned kMaxMapDisks = 64;
#else
enum { kMaxMapDisks = 64 };
#endif

typedef struct LDMapType {
    uint8_t nDisks;
    SCSIAddressType rgDisk[kMaxMapDisks];
} LDMapType;
QV_DISKBUS_LAYOUT(sizeof(LDMapType) == 193);

typedef struct LogDriveInfoType {
    LDInfoType info;
    SCSIAddressType addr;
    LDMapType map;
} LogDriveInfoType;
QV_DISKBUS_LAYOUT(sizeof(LogDriveInfoType) == 208 && offsetof(LogDriveInfoType, map) == 15);

// The adapter identity handed to callers.
typedef struct MfgSpecType {
    int32_t id;               // adapter class
    char szMfg[80];           // driver name
    char szBrand[20];
} MfgSpecType;
QV_DISKBUS_LAYOUT(sizeof(MfgSpecType) == 104);

// Status codes: every library function returns one of these, 0, or an errno passed on.
QV_DISKBUS_STATUS(SCSI_CHECK_CONDITION, 2)
QV_DISKBUS_STATUS(SCSI_CMD_FAILED, 4)
QV_DISKBUS_STATUS(SCSI_NO_DEVICE, 0x82)
QV_DISKBUS_STATUS(PAGE_NOT_SUPPORTED, 55555)
QV_DISKBUS_STATUS(ERR_INDEX_OUT_OF_RANGE, 0x100010)
QV_DISKBUS_STATUS(ERR_NO_MEMORY, 0x100011)
QV_DISKBUS_STATUS(ERR_BUFFER_TOO_SMALL, 0x100012)
QV_DISKBUS_STATUS(ERR_INVALID_PARAMETER, 0x100016)
QV_DISKBUS_STATUS(ERR_BAD_INQUIRY, 0x100017)
QV_DISKBUS_STATUS(ERR_ADAPTER_NOT_FOUND, 0x10001C)
QV_DISKBUS_STATUS(ERR_DEVICE_NOT_FOUND, 0x10001D)
QV_DISKBUS_STATUS(ERR_NOT_SUPPORTED, 0x10001F)
QV_DISKBUS_STATUS(ERR_EMPTY_MASK, 0x100702)
QV_DISKBUS_STATUS(ERR_LD_NOT_FOUND, 0x100705)
QV_DISKBUS_STATUS(ERR_CAGE_NOT_FOUND, 0x100801)   // hot-swap cage library
QV_DISKBUS_STATUS(ERR_SLOT_NOT_FOUND, 0x100802)
QV_DISKBUS_STATUS(ERR_DISK_UNKNOWN, 0xF51E1)

#undef QV_DISKBUS_STATUS

#ifdef __cplusplus
} // extern "C"

inline bool operator==(const SCSIAddressType& a, const SCSIAddressType& b) {
    return a.idTarget == b.idTarget && a.idChannel == b.idChannel && a.idAdapter == b.idAdapter;
}

// Adapter classes of the driver table.
enum AdapterClass : uint32_t {
    kAdapterClassNone = 0,
    kAdapterClassMegaRaid = 1,
    kAdapterClassScsi = 4,
    kAdapterClassIdeScsi = 5,
};

constexpr int32_t kNoRaidLevel = 0xFFFF;

#endif
