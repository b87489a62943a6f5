// Payload of the SCSI generic driver's requests when /dev/sg<n> is a socket (see devsock.h).
//
// The driver's request header carries pointers to the command block, the sense buffer and the
// data; none of them crosses the socket. `code` is the driver request number.
//
//   0x2285 SG_IO          request data: SgIoRequestFields, the command block (cmdLength bytes),
//                                       then the data to the device (dataLength bytes, data out only)
//                         outCapacity:  the data length the caller can take back
//                         reply data:   SgIoStatusFields, senseCapacity sense bytes (the status
//                                       block), then the data from the device
//   0x2276 SG_GET_SCSI_ID request data: none; reply data: ScsiIdReply
//   0x5382 SCSI_IOCTL_GET_IDLUN (a block device node such as /dev/sda)
//                         request data: none; reply data: IdLunReply
//   0x5386 SCSI_IOCTL_GET_BUS_NUMBER (a block device node)
//                         request data: none; reply data: the host number (int32)
//
// A reply with result -1 is an ioctl that failed with `error` as errno.
#pragma once

#include <cstdint>

namespace qv::devsock::scsi {

enum Request : uint32_t {
    kSgIo = 0x2285,
    kSgGetScsiId = 0x2276,
    kGetIdLun = 0x5382,
    kGetBusNumber = 0x5386,
};

// Transfer directions as the driver numbers them.
enum Direction : int32_t {
    kNoData = -1,
    kToDevice = -2,
    kFromDevice = -3,
};

#pragma pack(push, 1)
struct SgIoRequestFields {
    int32_t direction;       // Direction
    uint8_t cmdLength;
    uint8_t senseCapacity;   // sense bytes the caller can take back
    uint16_t reserved;
    uint32_t dataLength;
    uint32_t timeoutMs;
    uint32_t flags;
};
struct SgIoStatusFields {
    uint8_t status;          // SCSI status byte
    uint8_t maskedStatus;
    uint8_t msgStatus;
    uint8_t senseWritten;
    uint16_t hostStatus;
    uint16_t driverStatus;
    int32_t residual;
    uint32_t durationMs;
    uint32_t info;
};
struct ScsiIdReply {
    int32_t hostNumber;
    int32_t channel;
    int32_t scsiId;
    int32_t lun;
    int32_t scsiType;
    int16_t commandsPerLun;
    int16_t queueDepth;
    int32_t unused[2];
};
// The block driver's address record: target id in bits 0-7, LUN 8-15, channel 16-23, host 24-31.
struct IdLunReply {
    int32_t devId;
    int32_t hostUniqueId;
};
#pragma pack(pop)
static_assert(sizeof(IdLunReply) == 8);
static_assert(sizeof(SgIoRequestFields) == 20);
static_assert(sizeof(SgIoStatusFields) == 20);
static_assert(sizeof(ScsiIdReply) == 32);

// Driver status bit: sense data are available (the only driver status that is no failure).
constexpr uint16_t kDriverSense = 0x08;

} // namespace qv::devsock::scsi
