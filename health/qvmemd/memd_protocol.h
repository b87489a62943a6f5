// The memory module service protocol: one 8-byte request datagram, one 4-byte reply.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct MemdRequest {
    int32_t command;
    int32_t index;   // module number, 0-based
};
#pragma pack(pop)
static_assert(sizeof(MemdRequest) == 8, "memory module request layout");

enum MemdCommand : int32_t {
    MEMD_SEVERITY = 1,
    MEMD_SINGLE_BIT = 2,
    MEMD_PREDICTIVE = 3,
    MEMD_DOUBLE_BIT = 4,
    MEMD_MOST_SEVERE_EVENT = 5,
    MEMD_OVERALL_SEVERITY = 6,
};

constexpr char kMemdSocketPath[] = "/var/qvserver/qvmemd.socket";
