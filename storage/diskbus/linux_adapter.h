// A SCSI host adapter whose targets the kernel shows as generic SCSI nodes /dev/sg<n>: every
// command opens the target's node (unless a caller holds it open) and crosses as one request of
// the SCSI generic interface: SG_IO, or on 2.2 kernels the older write/read transfer.
#pragma once

#include "scsi_adapter.h"

#include <scsi/sg.h>

#include <cstdint>

// The 2.2 kernels' request header (struct sg_header as the 32-bit driver lays it out): reply_len
// and the packed status word are all the library sets or reads.
#pragma pack(push, 1)
struct SgHeader22 {
    int32_t pack_len;
    int32_t reply_len;
    int32_t pack_id;
    int32_t result;
    uint32_t statusWord;     // twelve_byte:1, target_status:5, host_status:8, driver_status:8, other:10
    uint8_t sense_buffer[16];
};
#pragma pack(pop)
static_assert(sizeof(SgHeader22) == 36);

inline unsigned SgHeader22DriverStatus(const SgHeader22& h) { return (h.statusWord >> 14) & 0xFF; }
inline unsigned SgHeader22HostStatus(const SgHeader22& h) { return (h.statusWord >> 6) & 0xFF; }
inline unsigned SgHeader22TargetStatus(const SgHeader22& h) { return (h.statusWord >> 1) & 0x1F; }

class CLinuxScsiAdapter : public CScsiAdapter {
public:
    CLinuxScsiAdapter(unsigned adapterNumber, unsigned transferSize);
    ~CLinuxScsiAdapter() override;

    uint32_t OpenAdapter() override;
    uint32_t CloseAdapter() override;
    uint32_t OpenPersistentDrive(unsigned channel, unsigned target) override;
    uint32_t ClosePersistentDrive() override;
    uint8_t* GetpDataRet(bool allocate) override;
    bool GetSenseData(sdType* sense) override;
    uint32_t IssueDriveCmd(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) override;
    uint32_t SendDriveData(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) override;

    // Header in front of the data area: the SG v3 request's sense at + 64, data at + 96; on 2.2
    // kernels the sg_header, data at + 36.
    static constexpr uint32_t kSgIoSenseOffset = 64;
    static constexpr uint32_t kSgIoDataOffset = 96;
    static constexpr uint32_t kSgIoSenseLength = 32;
    static constexpr uint32_t kSg22DataOffset = sizeof(SgHeader22);

    bool fKernel22;

private:
    uint32_t Command(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength, bool toDevice);
    uint32_t TransferSgIo(const uint8_t* cdb, unsigned cdbLength, uint32_t dataLength, bool toDevice);
    uint32_t Transfer22(const uint8_t* cdb, unsigned cdbLength, uint32_t dataLength, bool toDevice);

    // The last SG v3 request as the driver would take it; its pointers point into sdBuffer.
    sg_io_hdr_t lastIo_{};
};
