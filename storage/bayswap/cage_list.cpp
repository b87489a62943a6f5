#include "cage_list.h"

#include "bayswap_clock.h"
#include "mirrafin.h"
#include "safte.h"

#include <qvdiskbus.h>

#include <cstring>
#include <new>

namespace {

constexpr uint64_t kCageAgeMs = 15000;

// Severities of the bay levels 0, 1 and 2 on an enclosure slot.
constexpr LEDSeverity mapSeverity[] = {ledNORMAL, ledWARNING, ledFAILURE};

bool isSAFteType(uint8_t bType) { return (bType & bSAFteAny) != 0; }

ErrorType readCage(const CCageList& list, unsigned iCage, CageDescType* desc)
{
    if (isSAFteType(list.rgCages[iCage].cage.bType)) return GetSAFteInfo(iCage, desc);
    return GetCageDesc(desc, iCage - list.nSAFte);
}

// Steps 2 and 3 of a discovery into an empty list; the list keeps what was added before a failure.
ErrorType discover(CCageList& list)
{
    int adapters = 0, drives = 0;
    if (ScsiCountAllUnits(&adapters, &drives) != 0) drives = 0;
    if (drives > 0) {
        std::vector<DriveInfoType> records;
        try {
            records.assign(size_t(drives), DriveInfoType{});
        } catch (const std::bad_alloc&) {
            return ERR_RESOURCE_UNAVAILABLE;
        }
        if (const ErrorType status = ScsiGetAllDrives(records.data(), unsigned(records.size())); status != 0)
            return status;
        if (!BuildChannelMaps(records.data(), unsigned(records.size()))) return ERR_RESOURCE_UNAVAILABLE;
        unsigned units = 0;
        const ErrorType built = BuildSAFteList(1, &units);
        if (built == ERR_DEVICE_NOT_FOUND)
            units = 0;
        else if (built != 0)
            return built;
        for (unsigned i = 0; i < units; ++i) {
            CageDescType desc{};
            if (const ErrorType status = GetSAFteInfo(i, &desc); status != 0) return status;
            if (!list.AddCage(&desc)) break;
        }
    } else {
        ReleaseChannelMaps();   // no drive: no channel an I2C cage could be placed on
    }
    unsigned modules = 0;
    if (MFInit(&modules) != 0) return 0;   // no I2C backplane
    for (unsigned k = 0; k < modules; ++k) {
        CageDescType desc{};
        if (const ErrorType status = GetCageDesc(&desc, k); status != 0) return status;
        LocateChannel(&desc);
        if (!list.AddCage(&desc)) break;
    }
    // Cages left ambiguous may fit once the others have claimed their channels.
    for (unsigned j = 0; j < list.nCages; ++j)
        LocateChannel(&list.rgCages[j].cage);
    return 0;
}

} // namespace

CCageList& CageList()
{
    static CCageList gCageList;
    return gCageList;
}

ChannelMapsType& ChannelMaps()
{
    static ChannelMapsType gChannels;
    return gChannels;
}

bool CCageList::AddCage(const CageDescType* pCage)
{
    if (nCages >= nCagesMax) return false;
    rgCages[nCages].cage = *pCage;
    rgCages[nCages].timestamp = BayswapMilliseconds();
    if (isSAFteType(pCage->bType)) ++nSAFte;
    ++nCages;
    return true;
}

ErrorType CCageList::RefreshCage(unsigned iCage)
{
    if (iCage >= nCages) return ERR_CAGE_NOT_FOUND;
    CageItemType& item = rgCages[iCage];
    const uint64_t now = BayswapMilliseconds();
    if (now - item.timestamp < kCageAgeMs) return 0;
    CageDescType fresh{};
    if (const ErrorType status = readCage(*this, iCage, &fresh); status != 0) return status;
    // The channel found for an I2C cage is not something the module knows: keep it.
    fresh.idAdapter = item.cage.idAdapter;
    fresh.idChannel = item.cage.idChannel;
    item.cage = fresh;
    item.timestamp = now;
    return 0;
}

bool CCageList::FindCage(uint16_t cageAddr, CageDescType** ppCageRet)
{
    for (unsigned j = 0; j < nCages; ++j)
        if (rgCages[j].cage.cageAddr == cageAddr) {
            if (ppCageRet) *ppCageRet = &rgCages[j].cage;
            return true;
        }
    return false;
}

bool CCageList::FindTarget(SCSIAddressType address, unsigned* piCageRet)
{
    bool found = false;
    for (unsigned j = 0; j < nCages; ++j) {
        const CageDescType& cage = rgCages[j].cage;
        if (cage.idAdapter != address.idAdapter || cage.idChannel != address.idChannel) continue;
        if ((GetCageTargetMask(cage, true) & GetTargetMask(address.idTarget)) == 0) continue;
        RefreshCage(j);   // a cage that cannot be re-read is judged by its last copy
        found = true;
        if (piCageRet) *piCageRet = j;
        for (unsigned b = 0; b < cage.nBays && b < kCageBaysMax; ++b)
            if (cage.rgBays[b].idTarget == address.idTarget && cage.rgBays[b].bPresent) return true;
    }
    return found;
}

CageDescType* CCageList::GetpCage(unsigned iCage) { return iCage < nCages ? &rgCages[iCage].cage : nullptr; }

bool CChannelMap::AddTarget(SCSIAddressType address)
{
    if (!SameChannel(address)) return false;
    mask = uint16_t(mask | GetTargetMask(address.idTarget));
    return true;
}

uint16_t GetTargetMask(unsigned idTarget) { return uint16_t(1u << (idTarget & 31)); }

uint16_t GetCageTargetMask(const CageDescType& cage, bool fAllIDs)
{
    uint16_t mask = 0;
    for (unsigned b = 0; b < cage.nBays && b < kCageBaysMax; ++b)
        if (fAllIDs || cage.rgBays[b].bPresent) mask = uint16_t(mask | GetTargetMask(cage.rgBays[b].idTarget));
    return mask;
}

bool SameHBAChannel(SCSIAddressType a, SCSIAddressType b)
{
    return a.idAdapter == b.idAdapter && a.idChannel == b.idChannel;
}

unsigned CountChannels(const DriveInfoType* drives, unsigned n)
{
    unsigned channels = 0;
    for (unsigned i = 0; i < n; ++i)
        if (i == 0 || !SameHBAChannel(drives[i].addr, drives[i - 1].addr)) ++channels;
    return channels;
}

bool BuildChannelMaps(const DriveInfoType* drives, unsigned n)
{
    std::vector<CChannelMap> maps;
    try {
        maps.resize(CountChannels(drives, n));
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t current = 0;
    for (unsigned i = 0; i < n; ++i) {
        if (i == 0 || !SameHBAChannel(drives[i].addr, drives[i - 1].addr)) {
            current = i == 0 ? 0 : current + 1;
            maps[current].Establish(drives[i].addr);
        }
        maps[current].AddTarget(drives[i].addr);
        // An enclosure processor on the channel: its bays are the enclosure's, not an I2C cage's.
        if ((drives[i].disk.deviceType & 0x1F) == kPeripheralProcessor) maps[current].AssertCage(0xFFFF);
    }
    ChannelMaps().pMaps = std::move(maps);
    return ChannelMaps().nMaps() > 0;
}

void ReleaseChannelMaps() { std::vector<CChannelMap>().swap(ChannelMaps().pMaps); }

bool LocateChannel(CageDescType* pCage)
{
    const uint16_t all = GetCageTargetMask(*pCage, true);
    const uint16_t present = GetCageTargetMask(*pCage, false);
    if (pCage->idAdapter != 0xFF || present == 0) return true;
    std::vector<CChannelMap>& maps = ChannelMaps().pMaps;
    unsigned exact = 0, partial = 0;
    CChannelMap* lastExact = nullptr;
    CChannelMap* lastPartial = nullptr;
    for (CChannelMap& map : maps) {
        if (map.maskKnown & all) continue;
        if ((present & map.mask) == present) {
            ++partial;
            lastPartial = &map;
        }
        if ((all & map.mask) == present) {
            ++exact;
            lastExact = &map;
        }
    }
    CChannelMap* taken = exact == 1 ? lastExact : partial == 1 ? lastPartial : nullptr;
    if (!taken) return false;
    taken->AssertCage(all);
    pCage->idAdapter = taken->idAdapter;
    pCage->idChannel = taken->idChannel;
    return true;
}

void ResetBayswapStateForTests()
{
    CCageList& list = CageList();
    list.nCages = 0;
    list.nSAFte = 0;
    ReleaseChannelMaps();
    SAFteList().ReleaseList(0);
}

extern "C" {

ErrorType DiscoverHSCages(unsigned* pnCagesRet)
{
    CCageList& list = CageList();
    ErrorType status = 0;
    if (list.nCages == 0) status = discover(list);
    if (pnCagesRet) *pnCagesRet = list.nCages;
    return status;
}

ErrorType HSCageGetDesc(unsigned iCage, CageDescType* pCageRet)
{
    CCageList& list = CageList();
    const ErrorType status = list.RefreshCage(iCage);
    if (status == 0 && pCageRet) std::memcpy(pCageRet, &list.rgCages[iCage].cage, sizeof *pCageRet);
    return status;
}

ErrorType HSCageAdjustLED(unsigned iCage, unsigned iBay, unsigned iLevel)
{
    const CageDescType* cage = CageList().GetpCage(iCage);
    if (!cage) return ERR_CAGE_NOT_FOUND;
    if (iBay >= cage->nBays) return ERR_INDEX_OUT_OF_RANGE;
    switch (cage->bType) {
    case bMF1:
    case bMF2:
        return MFPowerLightAdjust(cage->rgBays[iBay].idTarget, cage->cageAddr, iLevel);
    case bSAFteCheap:
        if (iLevel == 1) iLevel = 2;   // this model shows no warning: a warning shows as a failure
        [[fallthrough]];
    case bSAFte:
    case bMF3:
        if (iLevel >= std::size(mapSeverity)) return ERR_INDEX_OUT_OF_RANGE;
        return AdjustSlotState(iCage, iBay, mapSeverity[iLevel]);
    default:
        return ERR_CAGE_NOT_FOUND;
    }
}

ErrorType HSGetMFCageIndex(unsigned iMFCage, int bType, unsigned* piCageRet)
{
    if (const ErrorType status = DiscoverHSCages(nullptr); status != 0) return status;
    const CCageList& list = CageList();
    uint8_t t = uint8_t(bType & 0xFF);
    const bool any = (t & bSAFteAny) != 0 && (t & bMFMask) == 0;
    unsigned counted = 0;
    for (unsigned j = 0; j < list.nCages; ++j) {
        const uint8_t type = list.rgCages[j].cage.bType;
        if (t == 0 && (type & bMFMask) != 0) t = type;
        const bool counts = any ? (type & bSAFteAny) != 0 : type == t;
        if (counts && ++counted == iMFCage + 1) {
            if (piCageRet) *piCageRet = j;
            return 0;
        }
    }
    if (list.nCages > 0 && t == 0 && counted == 0 && iMFCage < list.nCages) {
        if (piCageRet) *piCageRet = iMFCage;
        return 0;
    }
    return ERR_CAGE_NOT_FOUND;
}

ErrorType HSGetDeviceCageIndex(SCSIAddressType address, unsigned* piCageRet)
{
    if (const ErrorType status = DiscoverHSCages(nullptr); status != 0) return status;
    return CageList().FindTarget(address, piCageRet) ? 0 : ERR_CAGE_NOT_FOUND;
}

}
