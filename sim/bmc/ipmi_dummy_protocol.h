// The wire of ipmitool's "dummy" interface (a stream socket named by IPMI_DUMMY_SOCK), as the
// x86_64 build of ipmitool lays out its native structures.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace qv::sim {

#pragma pack(push, 1)
struct DummyRequestHeader {
    uint8_t netfn;
    uint8_t lun;
    uint8_t cmd;
    uint8_t targetCmd;
    uint16_t dataLength;
    uint8_t pad[2];
    uint64_t dataPointer;   // the sender's address: meaningless here
};
struct DummyReplyHeader {
    uint8_t netfn;
    uint8_t cmd;
    uint8_t seq;
    uint8_t lun;
    uint8_t completionCode;
    uint8_t pad1[3];
    int32_t dataLength;
    uint8_t pad2[4];
    uint64_t dataPointer;
};
#pragma pack(pop)
static_assert(sizeof(DummyRequestHeader) == 16);
static_assert(sizeof(DummyReplyHeader) == 24);

constexpr uint8_t kDummyGoodbyeNetFn = 0x3F;
constexpr uint8_t kDummyGoodbyeCmd = 0xFF;

// Consumes every whole request in `buffer`, answering each through `exchange` (a message
// netfn<<2|lun, cmd, data... in; the answer frame out) and `send`. False when the client said
// goodbye or sent something impossible: the connection should be closed.
bool serveDummyRequests(std::vector<uint8_t>& buffer,
                        const std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>& exchange,
                        const std::function<void(const std::vector<uint8_t>&)>& send);

} // namespace qv::sim
