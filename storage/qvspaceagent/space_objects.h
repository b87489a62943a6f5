// The volume capacity MIB .1.3.6.1.4.1.93071.2.23.15 of qvspaceagent: the volume list, its
// settings and live capacity, and the history the trap daemon records.
#pragma once

#include "agent_frontend.h"

// Reads the file locations, rebuilds the volume list (appending new volumes to the names file)
// and registers the objects; false ends the request with status 1.
bool loadSpaceObjects();

// The volume capacity lock, held from the lookup to the answer.
extern const LookupGuard spaceLockGuard;

// The newest sample of a history as served: local time of the sample, total and free kilobytes.
#pragma pack(push, 1)
struct HistSampleValue {
    uint8_t year;     // years since 1900, low byte
    uint8_t month;    // 1 to 12
    uint8_t day;
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
    uint32_t total;   // little-endian
    uint32_t free;
};
#pragma pack(pop)
static_assert(sizeof(HistSampleValue) == 14);
