// The event cache service's socket and commands, read by the service and its agent's client.
// A request is a 4-byte command datagram; commands 2 to 12 are followed by a 4-byte 0-based row.
#pragma once

#include <cstdint>

inline constexpr char kEventCacheSocketPath[] = "/var/qvserver/qveventcached.socket";

enum EventCacheCommand : int32_t {
    kEventCacheCount = 1,        // reply: 4-byte count
    kEventCacheDate = 2,         // reply: 6 date bytes
    kEventCacheDescription = 3,  // replies 3 to 12: a text with its NUL
    kEventCacheTrapId = 4,
    kEventCacheVarbind1 = 5,
    kEventCacheVarbind8 = 12,
};

inline constexpr int kEventCacheDateSize = 6;
inline constexpr int kEventCacheTextSize = 256;
