// The MegaRAID adapter: SCSI commands reach the member disks behind the RAID controller through
// the controller's pass-through, on its management device (/dev/megadev0; on 2.2 kernels the
// controller's own generic node). No per-drive node is opened.
#pragma once

#include "scsi_adapter.h"

#include <cstdint>

// One request of the controller's management interface on `device`, the command buffer answered
// in place: 0 and the ioctl's result, or the errno of the failed request (ERR_DEVICE_NOT_FOUND
// when the device is closed).
uint32_t MegaRaidIoctl(CDriverIFace& device, uint8_t* buffer, uint32_t size, bool shortForm, int32_t* result);

class CAMIScsiAdapter : public CScsiAdapter {
public:
    CAMIScsiAdapter(unsigned adapterNumber, unsigned transferSize);
    ~CAMIScsiAdapter() override;

    uint32_t OpenAdapter() override;
    uint32_t CloseAdapter() override;
    uint8_t* GetpDataRet(bool allocate) override;
    bool GetSenseData(sdType* sense) override;
    uint32_t IssueDriveCmd(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) override;
    uint32_t SendDriveData(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) override;

    // The controller number: adapter number minus that of the first MegaRAID adapter of the process.
    uint32_t idAdapterNos;
    bool fKernel22;
    // Header in front of the data area: 8 on 2.2 kernels, 110 otherwise.
    static uint32_t cbSRB;

    // Forgets the first MegaRAID adapter number (tests that build several machines in one process).
    static void ResetFirstAdapterForTests();

private:
    uint32_t PassThrough(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength, bool toDevice);
};
