// A simulated MegaRAID controller: its management interface (product data, enquiry,
// configuration of its logical drives) and the pass-through to member disks that only it can
// reach. Requests are command buffers in the two forms the driver takes: the long form (ioctl
// 0x6D00 on /dev/megadev0: 110-byte header, data area behind it) and the 2.2 kernels' short form
// (ioctl 1 on the controller's own generic node). Byte layouts are written here from the
// controller's interface alone; nothing is shared with the library that drives it.
#pragma once

#include "scsi_target.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv::sim::scsi {

struct RaidSpan {
    uint32_t startBlock = 0;
    uint32_t blocks = 0;
    std::vector<std::pair<int, int>> members;   // {channel, id}
};

struct RaidLogicalDrive {
    uint8_t level = 0;
    uint8_t status = 2;   // the controller's code: 2 optimal
    std::vector<RaidSpan> spans;
};

struct MegaRaidDescription {
    int host = 0;
    int sgNumber = -1;                 // the controller's own generic node (2.2 kernels)
    unsigned driveCapacity = 40;       // 8 or 40 logical drives
    uint8_t firmware[4] = {};
    uint8_t bios[4] = {};
    uint16_t memoryMB = 0;
    uint16_t boardId = 0;              // subsystem id (40-drive cards)
    std::string productName;
    std::vector<RaidLogicalDrive> drives;
};

// A pass-through as the controller received it; for a management command `cdb` holds the
// command and its parameter.
struct PassThroughRecord {
    bool passThrough = false;
    int channel = -1, target = -1;
    Bytes cdb;
    bool toDevice = false;
    Bytes dataOut, dataIn;
    uint8_t status = 0;
};

// Where a configuration reply keeps its logical drives: records from byte 4, each 8 bytes of
// header then its spans of start, block count and devices; then the physical drive records.
struct ConfigShape {
    size_t drives, record, spans, span, devices, physicalDrives;
    bool packed;   // a device is {reserved, id | channel << 4} rather than {channel, id}
};

// The status a pass-through to a device the controller does not have answers.
constexpr uint8_t kRaidNoDevice = 0xF0;

class MegaRaidController {
public:
    // The "megaraid" object of a scenario's "scsi"; throws on a malformed one.
    void load(const nlohmann::json& description);
    const MegaRaidDescription& description() const { return description_; }

    // One request, the buffer answered in place. Returns the ioctl's result: the long form 0
    // (its statuses are in the buffer), the short form the command's or the pass-through's status.
    // -1 for a buffer too short for its header (EINVAL).
    int32_t longRequest(Bytes& buffer, PassThroughRecord& record);
    int32_t shortRequest(Bytes& buffer, PassThroughRecord& record);

    SimulatedTarget* disk(int channel, int id);
    bool setDriveStatus(unsigned drive, uint8_t status);

private:
    // A management command's reply data; false when the card does not offer the command.
    bool command(uint8_t command, uint8_t parameter, Bytes& data) const;
    Bytes configuration(const ConfigShape& shape) const;
    CommandOutcome passThrough(int channel, int target, const Bytes& cdb, const Bytes& dataOut, PassThroughRecord& record);

    MegaRaidDescription description_;
    std::map<std::pair<int, int>, SimulatedTarget> disks_;
};

} // namespace qv::sim::scsi
