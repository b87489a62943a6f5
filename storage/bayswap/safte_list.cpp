#include "safte.h"
#include "library_boundary.h"

#include "bayswap_clock.h"

#include <qvdiskbus.h>

#include <memory>
#include <new>
#include <vector>

namespace {

// Target ids in the order enclosure processors are most often found at.
constexpr uint8_t rgIdSearch[] = {5, 14, 15, 0, 1, 2, 3, 4, 6, 8, 9, 10, 11, 12, 13, 7};

constexpr auto kTestPause = std::chrono::milliseconds(400);

bool behindRaidAdapter(int32_t idClass)
{
    switch (idClass) {
    case 1: case 2: case 3: case 5: case 6: return true;
    default: return false;
    }
}

// The drive records of the SCSI library, or a status.
ErrorType readAllDrives(std::vector<DriveInfoType>& drives)
{
    int adapters = 0, count = 0;
    if (const ErrorType status = ScsiCountAllUnits(&adapters, &count); status != 0) return status;
    if (count <= 0) return 0;
    try {
        drives.assign(size_t(count), DriveInfoType{});
    } catch (const std::bad_alloc&) {
        return ERR_RESOURCE_UNAVAILABLE;
    }
    return ScsiGetAllDrives(drives.data(), unsigned(drives.size()));
}

ErrorType adjustSlot(CSAFteController& ctlr, unsigned iSlot, LEDSeverity severity)
{
    DeviceStatusType current{};
    if (const ErrorType status = ctlr.GetSlotStatus(iSlot, &current); status != 0) return status;
    DeviceStateType state = current.state;
    const bool inserted = (current.bInsert & 0x01) != 0;
    switch (severity) {
    case ledUNKNOWN:
        state.bStatus |= kSlotNotConfigured;
        [[fallthrough]];
    case ledNORMAL:
        state.bStatus = uint8_t((state.bStatus & ~(kSlotFaulty | kSlotPredictedFault)) | kSlotOperational);
        break;
    case ledWARNING:
        if (!inserted) return 0;
        state.bStatus = uint8_t((state.bStatus & ~kSlotOperational) | kSlotPredictedFault);
        break;
    case ledFAILURE:
        if (!inserted) return 0;
        state.bStatus = uint8_t((state.bStatus & ~kSlotOperational) | kSlotFaulty);
        break;
    default:
        return ERR_INVALID_PARAMETER;
    }
    return ctlr.SetSlotStatus(iSlot, state);
}

ErrorType slotState(CSAFteController& ctlr, unsigned iSlot, LEDSeverity* pSeverityRet, int* pfInRet)
{
    DeviceStatusType current{};
    if (const ErrorType status = ctlr.GetSlotStatus(iSlot, &current); status != 0) return status;
    const uint8_t bStatus = current.state.bStatus;
    if (pSeverityRet)
        *pSeverityRet = (bStatus & kSlotFaulty) ? ledFAILURE : (bStatus & kSlotPredictedFault) ? ledWARNING : ledNORMAL;
    if (pfInRet) *pfInRet = current.bInsert & 0x01;
    return 0;
}

// The controller and slot of a drive's address.
ErrorType findTargetSlot(SCSIAddressType addr, CSAFteController** ppCtlr, unsigned* piSlot)
{
    unsigned unit = 0;
    if (!SAFteList().FindSAFteController(addr, &unit)) return ERR_ADAPTER_NOT_FOUND;
    *ppCtlr = SAFteList().GetSAFteCtlr(unit);
    if (!(*ppCtlr)->FFindSlot(addr.idTarget, piSlot)) return ERR_DEVICE_NOT_FOUND;
    return 0;
}

} // namespace

CSAFteList& SAFteList()
{
    static CSAFteList vSAFteList;
    return vSAFteList;
}

CSAFteList::~CSAFteList()
{
    // At unload the SCSI library may be gone: no adapter is closed from here.
    for (unsigned i = 0; i < nSAFte; ++i) {
        rgpSAFte[i]->ForgetAddress();
        delete rgpSAFte[i];
    }
    nSAFte = 0;
}

bool CSAFteList::FindSAFteController(SCSIAddressType addr, unsigned* piUnitRet)
{
    bool found = false;
    for (unsigned i = 0; i < nSAFte; ++i) {
        if (!rgpSAFte[i]->FIsSameChannel(addr)) continue;
        found = true;
        if (piUnitRet) *piUnitRet = i;
        if (rgpSAFte[i]->FIsTargetPresent(addr.idTarget)) return true;
    }
    return found;
}

CSAFteController* CSAFteList::GetSAFteCtlr(SCSIAddressType addr)
{
    for (unsigned i = 0; i < nSAFte; ++i)
        if (rgpSAFte[i]->FIsSameAddr(addr)) return rgpSAFte[i];
    return nullptr;
}

CSAFteController* CSAFteList::GetSAFteCtlr(unsigned iUnit) { return iUnit < nSAFte ? rgpSAFte[iUnit] : nullptr; }

bool CSAFteList::AddSAFteCtlr(CSAFteController* pCtlr)
{
    if (nSAFte >= nUnitsMax) return false;
    rgpSAFte[nSAFte++] = pCtlr;
    return true;
}

void CSAFteList::ReleaseList(int fReset)
{
    for (unsigned i = 0; i < nSAFte; ++i) {
        if (fReset) rgpSAFte[i]->ResetAllDrives(0);
        rgpSAFte[i]->ReleaseSAFte();
        delete rgpSAFte[i];
        rgpSAFte[i] = nullptr;
    }
    nSAFte = 0;
}

extern "C" {

unsigned GetTargetSAFteType(unsigned idAdapter, unsigned idChannel, unsigned idTarget)
{
    SAFteInquiryType inquiry{};
    if (DeviceInquiry(idAdapter, idChannel, idTarget, &inquiry) != 0) return 0;
    return SAFteTypeOfInquiry(inquiry);
}

ErrorType BuildSAFteList(int fIncludeRAID, unsigned* pnUnitsRet)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteList& list = SAFteList();
        if (list.Count() > 0) {
            if (pnUnitsRet) *pnUnitsRet = list.Count();
            return 0;
        }
        std::vector<DriveInfoType> drives;
        if (const ErrorType status = readAllDrives(drives); status != 0) return status;
        int lastAdapter = -1;
        HBADescType adapter{};
        for (const DriveInfoType& drive : drives) {
            const SCSIAddressType addr = drive.addr;
            if ((drive.disk.deviceType & 0x1F) != kPeripheralProcessor) continue;
            const unsigned type = GetTargetSAFteType(addr.idAdapter, addr.idChannel, addr.idTarget);
            if (type == 0) continue;
            if (addr.idAdapter != lastAdapter) {
                if (const ErrorType status = ScsiGetAdapterDetails(addr.idAdapter, &adapter); status != 0) return status;
                lastAdapter = addr.idAdapter;
            }
            if (!fIncludeRAID && behindRaidAdapter(adapter.idClass)) continue;
            auto ctlr = std::make_unique<CSAFteController>(addr, uint8_t(type));
            if (const ErrorType status = ctlr->AccessSAFte(); status != 0) return status;
            if (!list.AddSAFteCtlr(ctlr.get())) {
                ctlr->ReleaseSAFte();
                break;
            }
            ctlr.release();
        }
        if (pnUnitsRet) *pnUnitsRet = list.Count();
        return list.Count() == 0 ? ERR_DEVICE_NOT_FOUND : 0;
    });
}

ErrorType GetSAFteInfo(unsigned iSAFte, CageDescType* pCageDescRet)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = SAFteList().GetSAFteCtlr(iSAFte);
        if (!ctlr) return ERR_DEVICE_NOT_FOUND;
        return ctlr->GetEnclosureInfo(pCageDescRet);
    });
}

ErrorType AdjustSlotState(unsigned iCage, unsigned iSlot, LEDSeverity severity)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = SAFteList().GetSAFteCtlr(iCage);
        if (!ctlr) return ERR_ADAPTER_NOT_FOUND;
        return adjustSlot(*ctlr, iSlot, severity);
    });
}

ErrorType GetSlotState(unsigned iCage, unsigned iSlot, LEDSeverity* pSeverityRet, int* pfInRet)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = SAFteList().GetSAFteCtlr(iCage);
        if (!ctlr) return ERR_ADAPTER_NOT_FOUND;
        return slotState(*ctlr, iSlot, pSeverityRet, pfInRet);
    });
}

ErrorType AdjustTargetState(SCSIAddressType addr, LEDSeverity severity)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = nullptr;
        unsigned slot = 0;
        if (const ErrorType status = findTargetSlot(addr, &ctlr, &slot); status != 0) return status;
        return adjustSlot(*ctlr, slot, severity);
    });
}

ErrorType GetTargetState(SCSIAddressType addr, LEDSeverity* pSeverityRet, int* pfInRet)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = nullptr;
        unsigned slot = 0;
        if (const ErrorType status = findTargetSlot(addr, &ctlr, &slot); status != 0) return status;
        return slotState(*ctlr, slot, pSeverityRet, pfInRet);
    });
}

ErrorType LEDTestPattern(unsigned iSAFte)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> ErrorType {
        CSAFteController* ctlr = SAFteList().GetSAFteCtlr(iSAFte);
        if (!ctlr) return ERR_DEVICE_NOT_FOUND;
        if (const ErrorType status = ctlr->ResetAllDrives(kSlotFaulty); status != 0) return status;
        BayswapSleep(kTestPause);
        if (const ErrorType status = ctlr->ResetAllDrives(kSlotPredictedFault); status != 0) return status;
        BayswapSleep(kTestPause);
        return ctlr->ResetAllDrives(kSlotOperational);
    });
}

ErrorType ReleaseSAFteList(int fReset)
{
    SAFteList().ReleaseList(fReset);
    return 0;
}

ErrorType LocateSAFteCtlr(unsigned idAdapter, unsigned idChannel, unsigned* pidSAFteRet)
{
    for (uint8_t id : rgIdSearch)
        if (GetTargetSAFteType(idAdapter, idChannel, id) != 0) {
            if (pidSAFteRet) *pidSAFteRet = id;
            return 0;
        }
    return ERR_ADAPTER_NOT_FOUND;
}

}
