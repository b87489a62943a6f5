// The firmware components the version library reports: the management controller packages the
// IPMI cache service knows, then the SCSI and RAID adapters, each with a numeric id.
#pragma once

#include <cstdint>
#include <vector>

#include "qvbmccache.h"
#include "qvrevinfo.h"

namespace revinfo {

struct SFWInfo {
    uint32_t id;
    char szVersion[30];
    char szProdID[128];
    char szMfg[64];
};
static_assert(sizeof(SFWInfo) == 228);

enum FW_FAMILY_TYPE : int32_t { FAM_UNKNOWN = 0, FAM_STORAGE = 1, FAM_SYSTEM = 2, FAM_MGMT = 3, FAM_HOTSWAP = 4 };

FIRMWARE_TYPE MapFWComponentType(unsigned id);
FW_FAMILY_TYPE MapFWComponentFamily(unsigned id);
// The id text: two hexadecimal digits when exactly 2 characters long, else decimal.
FIRMWARE_TYPE MapFWComponentType(const char* idText);
FW_FAMILY_TYPE MapFWComponentFamily(const char* idText);

// The IPMI cache client call, replaceable in tests.
using IpmiGetDataCall = unsigned (*)(unsigned, unsigned, unsigned, ParamsType*, sdType, unsigned*);
IpmiGetDataCall& ipmiGetData();

class CFWInfo {
public:
    int GetComponentCount(unsigned* count);
    int GetComponentInfo(unsigned index, SFWInfo* info);
    int LoadList();
    bool discovered() const { return fDiscovered != 0; }

private:
    unsigned CountUnits();
    int loadControllers();
    int loadAdapters();
    bool append(const SFWInfo& info);

    std::vector<SFWInfo> prgFWInfo;
    unsigned nComponentsMax = 0;
    int fDiscovered = 0;
    int nHBAs = 0;
    unsigned nIPMIPkgs = 0;
    uint8_t bIPMIVer = 0;
};

CFWInfo& firmwareList();

} // namespace revinfo
