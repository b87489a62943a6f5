// Records and status codes of the SCSI and RAID library, declared once for the library, its
// callers and its tests. The records are exchanged with callers as arrays and keep the byte layout
// the library has always had on 32-bit Intel: fixed-width fields, natural alignment.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// A SCSI device: target id, channel (bus) and adapter (host) number. In the generic SCSI device
// list the channel byte also carries the LUN in bits 3-7.
struct SCSIAddressType {
    uint8_t idTarget;
    uint8_t idChannel;
    uint8_t idAdapter;
};
static_assert(sizeof(SCSIAddressType) == 3);

inline bool operator==(const SCSIAddressType& a, const SCSIAddressType& b) {
    return a.idTarget == b.idTarget && a.idChannel == b.idChannel && a.idAdapter == b.idAdapter;
}

// A buffer descriptor. Holds a pointer: stays inside the process.
struct sdType {
    uint8_t* pb;
    uint32_t cb;
};

// The adapter record; HBADescType is its prefix up to and including sDramInMB.
struct HBADescType {
    int32_t idAdapter;
    int32_t idClass;          // 1 MegaRAID, 4 other SCSI adapter, 5 IDE-SCSI emulation
    int32_t idInitiator;
    int32_t nChannels;
    char szName[20];
    char szBrand[20];
    char szDriverVersion[30];
    char szBIOSVersion[30];
    int32_t sDramInMB;
};
static_assert(sizeof(HBADescType) == 120);

struct HBAInfoType {
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
};
static_assert(sizeof(HBAInfoType) == 188);
static_assert(offsetof(HBAInfoType, sDramInMB) == offsetof(HBADescType, sDramInMB));

struct DiskDetailsType {
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
};
static_assert(sizeof(DiskDetailsType) == 96);
static_assert(offsetof(DiskDetailsType, idVendor) == 4 && offsetof(DiskDetailsType, sDriveInMB) == 80);

struct DriveInfoType {
    SCSIAddressType addr;
    DiskDetailsType disk;
};
static_assert(sizeof(DriveInfoType) == 100 && offsetof(DriveInfoType, disk) == 4);

enum LDState : uint32_t {
    LDUnknown = 0,
    LDOffLine = 1,
    LDStandby = 2,
    LDOnLine = 3,
    LDDegraded = 4,
    LDRebuild = 5,
    LDFailed = 6,
};
static_assert(sizeof(LDState) == 4);

struct LDInfoType {
    int32_t iRaidLevel;       // 0xFFFF when none is reported
    LDState status;
    uint32_t nBlocks;
};
static_assert(sizeof(LDInfoType) == 12);

constexpr unsigned kMaxMapDisks = 64;

struct LDMapType {
    uint8_t nDisks;
    SCSIAddressType rgDisk[kMaxMapDisks];
};
static_assert(sizeof(LDMapType) == 193);

struct LogDriveInfoType {
    LDInfoType info;
    SCSIAddressType addr;
    LDMapType map;
};
static_assert(sizeof(LogDriveInfoType) == 208 && offsetof(LogDriveInfoType, map) == 15);

// The adapter identity handed to callers.
struct MfgSpecType {
    int32_t id;               // adapter class
    char szMfg[80];           // driver name
    char szBrand[20];
};
static_assert(sizeof(MfgSpecType) == 104);

} // extern "C"

// Adapter classes of the driver table.
enum AdapterClass : uint32_t {
    kAdapterClassNone = 0,
    kAdapterClassMegaRaid = 1,
    kAdapterClassScsi = 4,
    kAdapterClassIdeScsi = 5,
};

constexpr int32_t kNoRaidLevel = 0xFFFF;

// Status codes: every library function returns one of these, 0, or an errno passed on.
constexpr uint32_t SCSI_CHECK_CONDITION = 2;
constexpr uint32_t SCSI_CMD_FAILED = 4;
constexpr uint32_t SCSI_NO_DEVICE = 0x82;
constexpr uint32_t PAGE_NOT_SUPPORTED = 55555;
constexpr uint32_t ERR_INDEX_OUT_OF_RANGE = 0x100010;
constexpr uint32_t ERR_NO_MEMORY = 0x100011;
constexpr uint32_t ERR_BUFFER_TOO_SMALL = 0x100012;
constexpr uint32_t ERR_INVALID_PARAMETER = 0x100016;
constexpr uint32_t ERR_BAD_INQUIRY = 0x100017;
constexpr uint32_t ERR_RESOURCE_UNAVAILABLE = 0x10001B;
constexpr uint32_t ERR_ADAPTER_NOT_FOUND = 0x10001C;
constexpr uint32_t ERR_DEVICE_NOT_FOUND = 0x10001D;
constexpr uint32_t ERR_NOT_SUPPORTED = 0x10001F;
constexpr uint32_t ERR_EMPTY_MASK = 0x100702;
constexpr uint32_t ERR_LD_NOT_FOUND = 0x100705;
constexpr uint32_t ERR_CAGE_NOT_FOUND = 0x100801;    // hot-swap cage library
constexpr uint32_t ERR_SLOT_NOT_FOUND = 0x100802;
constexpr uint32_t ERR_DISK_UNKNOWN = 0xF51E1;
