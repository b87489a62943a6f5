// SAF-TE enclosure processors on the SCSI buses: each one's slot table, its configuration and slot
// status read with READ BUFFER and its new slot states written with WRITE BUFFER, all through the
// SCSI library's raw command calls; and the process-wide list of the enclosures found.
#pragma once

#include "cage_types.h"
#include "qvbayswap.h"
#include "safte_buffers.h"

#include <diskbus_types.h>

#include <cstdint>
#include <optional>
#include <vector>

class CSAFteController {
public:
    CSAFteController(SCSIAddressType addr, uint8_t bSAFteType);
    // Channel 0; target 0 leaves the controller without an address.
    CSAFteController(unsigned idAdapter, unsigned idTarget, uint8_t bSAFteType);
    // Closes the adapter when the controller still has its address.
    ~CSAFteController();
    CSAFteController(const CSAFteController&) = delete;
    CSAFteController& operator=(const CSAFteController&) = delete;

    void SetSCSIAddress(SCSIAddressType addr);
    bool FIsSameAddr(SCSIAddressType addr) const;
    bool FIsSameChannel(SCSIAddressType addr) const;
    // The slot of `idTarget` holds an inserted device (status at most 15 s old; no on a failure).
    bool FIsTargetPresent(unsigned idTarget);
    bool FFindSlot(unsigned idTarget, unsigned* piSlotRet) const;
    ErrorType AccessSAFte();
    void ReleaseSAFte();
    // Forgets the address without closing the adapter (the SCSI library may be gone already).
    void ForgetAddress() { fAdapterKnown = 0; }
    ErrorType GetDriveStatus(unsigned idTarget, DeviceStatusType* pStatusRet);
    ErrorType SetDriveStatus(unsigned idTarget, const DeviceStateType& state);
    ErrorType GetSlotStatus(unsigned iSlot, DeviceStatusType* pStatusRet);
    ErrorType SetSlotStatus(unsigned iSlot, const DeviceStateType& state);
    ErrorType ResetAllDrives(uint8_t bNewStatus);
    ErrorType GetEnclosureInfo(CageDescType* pDesc);

    SCSIAddressType Address() const { return Addr; }
    unsigned SlotCount() const { return nSlots; }
    uint8_t SlotTarget(unsigned iSlot) const { return rgIdTargets[iSlot]; }

private:
    ErrorType InitSAFte();
    ErrorType SAFteTestUnitReady();
    ErrorType SAFteReadOperation(uint8_t bufferId, size_t length);
    ErrorType SAFteSendOperation(uint8_t action, std::vector<uint8_t>& buffer);
    ErrorType AllocateDataArea();
    ErrorType RefreshData(bool fMustBeFresh);
    ErrorType CommitNewStatus();
    void ReleaseData();

    uint8_t rgIdTargets[kSAFteSlotsMax];
    unsigned nSlots = 0;
    unsigned nSlotsReported = 0;            // what the enclosure reports, up to 255
    SCSIAddressType Addr{};
    uint8_t bType;
    std::vector<uint8_t> sdData;
    std::optional<uint64_t> dataAge;        // milliseconds of the last slot status read
    int fAdapterKnown = 0;
};

class CSAFteList {
public:
    ~CSAFteList();
    unsigned Count() const { return nSAFte; }
    bool FindSAFteController(SCSIAddressType addr, unsigned* piUnitRet);
    CSAFteController* GetSAFteCtlr(SCSIAddressType addr);
    CSAFteController* GetSAFteCtlr(unsigned iUnit);
    bool AddSAFteCtlr(CSAFteController* pCtlr);
    void ReleaseList(int fReset);

private:
    unsigned nSAFte = 0;
    CSAFteController* rgpSAFte[nUnitsMax]{};
};

CSAFteList& SAFteList();
