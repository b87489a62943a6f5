#include "firmware_components.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "scsi_units.h"

namespace revinfo {

namespace {

struct IMPIPkgDescType {
    unsigned idPkg;
    const char* pszMfg;
    const char* pszProduct;
};

// The last row describes any other address.
constexpr IMPIPkgDescType gIPMIPkgs[] = {
    {0x06, "QV", "CMC Management Controller"}, {0x20, "QV", "MMC Management Controller"},
    {0x22, "QV", "Front Panel Controller"},    {0x24, "QV", "CMC Management Controller"},
    {0x28, "QV", "Remote Management Card"},    {0x63, "QV", "Management Controller"},
    {0x7F, "QV", "Embedded Telvasso"},         {0x9C, "QV", "Hot Swap Cage 2"},
    {0x9E, "QV", "Hot Swap Cage 2"},           {0x9D, "QV", "Hot Swap Cage 3"},
    {0x9F, "QV", "Hot Swap Cage 3"},           {0xC8, "QV", "Power Supply Controller"},
    {0, "QV", "IPMI controller"},
};

constexpr uint32_t kMaxPackages = 256;

constexpr int rgBoards[] = {0x41, 0x43, 0x44, 0x45, 0x46, 0x48, 0x53, 0x57, 0x475, 0x493};

struct ComponentType {
    unsigned id;
    FIRMWARE_TYPE type;
    FW_FAMILY_TYPE family;
};

// The last row maps any id not listed.
constexpr ComponentType vComponents[] = {
    {6, FW_CMC, FAM_SYSTEM}, {32, FW_MMC, FAM_SYSTEM}, {33, FW_CMC, FAM_MGMT},
    {34, FW_FPC, FAM_SYSTEM}, {36, FW_CMC, FAM_SYSTEM}, {40, FW_RMC, FAM_MGMT},
    {127, FW_ETV, FAM_MGMT}, {156, FW_MIRRAFIN2, FAM_HOTSWAP}, {157, FW_MIRRAFIN3, FAM_HOTSWAP},
    {158, FW_MIRRAFIN2, FAM_HOTSWAP}, {159, FW_MIRRAFIN3, FAM_HOTSWAP}, {200, FW_PSC, FAM_SYSTEM},
    {999, FW_HBA_SCSI, FAM_STORAGE}, {1000, FW_STRATAVOL, FAM_STORAGE},
    {1001, FW_STRATAVOL_3Si, FAM_STORAGE}, {1002, FW_STRATAVOL_EMBEDDED_KVX_SERIES, FAM_STORAGE},
    {1003, FW_STRATAVOL_EMBEDDED_KVXXXX_SERIES, FAM_STORAGE}, {1004, FW_STRATAVOL_1Si, FAM_STORAGE},
    {1005, FW_STRATAVOL_1M, FAM_STORAGE}, {1006, FW_STRATAVOL, FAM_STORAGE},
    {1007, FW_STRATAVOL_3Si, FAM_STORAGE}, {1008, FW_STRATAVOL_1M, FAM_STORAGE},
    {1009, FW_STRATAVOL_2M, FAM_STORAGE}, {2000, FW_HBA_SCSI, FAM_STORAGE},
    {3000, FW_FCARRAY, FAM_STORAGE}, {4000, FW_HBA_SCSI, FAM_STORAGE}, {5000, FW_HBA_IDE, FAM_STORAGE},
    {6000, FW_STRATAVOL_4M, FAM_STORAGE}, {0, FW_UNKNOWN, FAM_UNKNOWN},
};

const ComponentType& componentRow(unsigned id)
{
    const auto last = std::end(vComponents) - 1;
    const auto found = std::find_if(std::begin(vComponents), last,
                                    [id](const ComponentType& row) { return row.id == id; });
    return *found;
}

unsigned idFromText(const char* text)
{
    if (text == nullptr) return 0;
    return static_cast<unsigned>(std::strtoul(text, nullptr, std::strlen(text) == 2 ? 16 : 10));
}

// Copies at most `limit` characters of a text that may lack its terminator, and terminates.
template <size_t N>
void copyBounded(char (&dst)[N], const char* src, size_t limit)
{
    const size_t length = ::strnlen(src, std::min(limit, N - 1));
    std::memcpy(dst, src, length);
    dst[length] = '\0';
}

} // namespace

FIRMWARE_TYPE MapFWComponentType(unsigned id) { return componentRow(id).type; }
FW_FAMILY_TYPE MapFWComponentFamily(unsigned id) { return componentRow(id).family; }
FIRMWARE_TYPE MapFWComponentType(const char* idText) { return MapFWComponentType(idFromText(idText)); }
FW_FAMILY_TYPE MapFWComponentFamily(const char* idText) { return MapFWComponentFamily(idFromText(idText)); }

IpmiGetDataCall& ipmiGetData()
{
    static IpmiGetDataCall call = QvIpmiGetData;
    return call;
}

unsigned CFWInfo::CountUnits()
{
    nHBAs = 0;
    nIPMIPkgs = 0;
    if (scsiUnits().countAllUnits(&nHBAs, nullptr) != 0 || nHBAs < 0) {
        nHBAs = 0;
        return 0;
    }
    IpmiInfoType system {};
    unsigned received = 0;
    const unsigned status = ipmiGetData()(IPMI_REQ_SYSTEM, 0, 0, nullptr,
                                          {reinterpret_cast<unsigned char*>(&system), sizeof system}, &received);
    if (status != 0 || received < sizeof system) return static_cast<unsigned>(nHBAs);
    // Controllers sit at one-byte bus addresses: a larger count is a corrupt answer, not a list
    // to allocate and ask for.
    if (system.nPackages > kMaxPackages) return static_cast<unsigned>(nHBAs);
    bIPMIVer = system.bVersion;
    nIPMIPkgs = system.nPackages;
    return static_cast<unsigned>(nHBAs) + nIPMIPkgs;
}

bool CFWInfo::append(const SFWInfo& info)
{
    if (prgFWInfo.size() >= nComponentsMax) return false;
    prgFWInfo.push_back(info);
    return true;
}

int CFWInfo::loadControllers()
{
    for (unsigned i = 0; i < nIPMIPkgs; ++i) {
        PkgInfoType package {};
        unsigned received = 0;
        const unsigned status = ipmiGetData()(IPMI_REQ_PACKAGE, i, 0, nullptr,
                                              {reinterpret_cast<unsigned char*>(&package), sizeof package},
                                              &received);
        if (status != 0 && status != static_cast<unsigned>(kRevInfoBufferTooSmall)) return static_cast<int>(status);
        if (received < offsetof(PkgInfoType, bAddr) + 1) return kRevInfoBufferTooSmall;
        if (package.szFWVersion[0] == '\0') continue;
        unsigned id = package.bAddr;
        if ((id == 0x9C || id == 0x9E) && bIPMIVer != 9) ++id;
        const auto last = std::end(gIPMIPkgs) - 1;
        const IMPIPkgDescType& row = *std::find_if(std::begin(gIPMIPkgs), last,
                                                   [id](const IMPIPkgDescType& r) { return r.idPkg == id; });
        SFWInfo info {};
        info.id = id;
        copyBounded(info.szVersion, package.szFWVersion, sizeof package.szFWVersion);
        copyBounded(info.szMfg, row.pszMfg, sizeof info.szMfg);
        copyBounded(info.szProdID, row.pszProduct, sizeof info.szProdID);
        if (!append(info)) break;
    }
    return 0;
}

int CFWInfo::loadAdapters()
{
    for (int i = 0; i < nHBAs; ++i) {
        AdapterFirmware hba;
        if (const int status = readAdapterFirmware(i, hba); status != 0) return status;
        if (hba.szBIOSVersion.empty()) continue;
        unsigned id = hba.idClass == 0 ? 999 : static_cast<unsigned>(hba.idClass) * 1000;
        if (id == 1000) {
            const auto* board = std::find(std::begin(rgBoards), std::end(rgBoards), hba.idBoard);
            if (board != std::end(rgBoards)) id += static_cast<unsigned>(board - std::begin(rgBoards));
        }
        SFWInfo info {};
        info.id = id;
        copyBounded(info.szVersion, hba.szBIOSVersion.c_str(), hba.szBIOSVersion.size());
        copyBounded(info.szMfg, hba.szBrand.c_str(), hba.szBrand.size());
        copyBounded(info.szProdID, hba.szProduct.c_str(), hba.szProduct.size());
        if (!append(info)) break;
    }
    return 0;
}

int CFWInfo::LoadList()
{
    prgFWInfo.clear();
    fDiscovered = 0;
    nComponentsMax = CountUnits();
    try {
        prgFWInfo.reserve(nComponentsMax);
    } catch (const std::bad_alloc&) {
        nComponentsMax = 0;
        return kRevInfoAllocationFailed;
    }
    int status = loadControllers();
    if (status == 0) status = loadAdapters();
    if (status != 0) {
        prgFWInfo.clear();
        return status;
    }
    fDiscovered = 1;
    return 0;
}

int CFWInfo::GetComponentCount(unsigned* count)
{
    int status = 0;
    if (!fDiscovered) status = LoadList();
    if (count != nullptr) *count = static_cast<unsigned>(prgFWInfo.size());
    return status;
}

int CFWInfo::GetComponentInfo(unsigned index, SFWInfo* info)
{
    if (!fDiscovered) {
        if (const int status = LoadList(); status != 0) return status;
    }
    if (index >= prgFWInfo.size()) return kRevInfoIndexOutOfRange;
    if (info != nullptr) *info = prgFWInfo[index];
    return 0;
}

CFWInfo& firmwareList()
{
    static CFWInfo list;
    return list;
}

} // namespace revinfo
