// The process's one list of hot-swap cages, SAF-TE enclosures first and I2C modules after them,
// each kept as its last descriptor and re-read when 15 s old; and the channel maps that place an
// I2C cage on the SCSI channel whose drives it holds.
#pragma once

#include "cage_types.h"
#include "qvbayswap.h"

#include <diskbus_types.h>

#include <cstdint>
#include <vector>

struct CageItemType {
    CageDescType cage;
    uint64_t timestamp;       // milliseconds of the bayswap clock when the cage was last read
};

class CCageList {
public:
    ~CCageList() { nCages = 0; }
    bool AddCage(const CageDescType* pCage);
    ErrorType RefreshCage(unsigned iCage);
    bool FindCage(uint16_t cageAddr, CageDescType** ppCageRet);
    bool FindTarget(SCSIAddressType address, unsigned* piCageRet);
    CageDescType* GetpCage(unsigned iCage);

    unsigned nCages = 0;
    unsigned nSAFte = 0;
    CageItemType rgCages[nCagesMax]{};
};

class CChannelMap {
public:
    bool SameChannel(SCSIAddressType address) const
    {
        return address.idAdapter == idAdapter && address.idChannel == idChannel;
    }
    void Establish(SCSIAddressType address)
    {
        idAdapter = address.idAdapter;
        idChannel = address.idChannel;
        mask = 0;
    }
    void AssertCage(uint16_t cageMask) { maskKnown |= cageMask; }
    bool AddTarget(SCSIAddressType address);

    uint16_t mask = 0;
    uint8_t idAdapter = 0xFF;
    uint8_t idChannel = 0xFF;
    uint16_t maskKnown = 0;
};

struct ChannelMapsType {
    std::vector<CChannelMap> pMaps;
    unsigned nMaps() const { return unsigned(pMaps.size()); }
};

CCageList& CageList();
ChannelMapsType& ChannelMaps();

uint16_t GetTargetMask(unsigned idTarget);
uint16_t GetCageTargetMask(const CageDescType& cage, bool fAllIDs);
bool SameHBAChannel(SCSIAddressType a, SCSIAddressType b);
unsigned CountChannels(const DriveInfoType* drives, unsigned n);
bool BuildChannelMaps(const DriveInfoType* drives, unsigned n);
void ReleaseChannelMaps();
bool LocateChannel(CageDescType* pCage);

// Forgets the cage list, the channel maps and the SAF-TE list (no slot is reset), for tests.
void ResetBayswapStateForTests();
