// Drive identification: which maker a drive comes from and what it allows (firmware download
// rules, log pages), from the drive id in its INQUIRY data and the three identification tables,
// whose features an optional "QVExtDef.txt" in the current directory may change.
#pragma once

#include "diskbus_types.h"

#include <cstddef>
#include <cstdint>

class CScsiAdapter;

struct DiskInfoType {
    const char* pszFW;
    const char* pszMfg;
    int32_t idMfg;
    uint32_t features;
};

enum DriveFeature : uint32_t {
    kFwDownload = 0x1,
    kFwChunkById = 0x2,
    kFwChunkByOffset = 0x4,
    kFwMode7 = 0x8,
    kHasPage32 = 0x100,
    kNoPage32 = 0x200,
    kNoSelfTestPage = 0x400,
    kHasSelfTestPage = 0x800,
};

// Bytes of INQUIRY data the drive commands fetch; identification never looks beyond them.
constexpr size_t kInquiryBytes = 240;

// The 4-character drive id of `inquiry` (`length` bytes valid) into `id` (5 bytes, NUL-terminated).
void GetDriveId(const uint8_t* inquiry, size_t length, char* id);
// Identification of INQUIRY data: true when identified; `row` is filled in every case.
bool DetermineDiskInfo(const uint8_t* inquiry, size_t length, DiskInfoType* row);
// Applies "QVExtDef.txt" of the current directory once per process.
void ReadExternalDefs();
// Changes the tables as one line of the definitions file asks; false when nothing matched.
bool ApplyExternalDefLine(const char* line);
// Forgets the definitions file and restores the tables (tests).
void ResetDriveTablesForTests();

extern "C" {
uint32_t GetDiskMfgInfo(CScsiAdapter* adapter, unsigned channel, unsigned target, DiskInfoType* row);
bool GetDfltMfgInfo(int idMfg, DiskInfoType* row);
void LocateSerialNumber(const uint8_t* inquiry, int idMfg, sdType* serial);
}
