// The restart timer message: what the agent tells qvrestartd when a setting changes.
#pragma once

#include <cstdint>

enum AGT_MSG_TYPE : int32_t {
    HWTIMEOUT_AGT_MSG = 0,
    SWPOLLTIME_AGT_MSG = 1,
    ACTION_AGT_MSG = 2,
    NULL_MSG = 3,
};

union AGT_MSG_DATA {
    int32_t hwtimeout;
    int32_t swpolltime;
    int32_t action;
};

// One datagram, host byte order.
struct AGT_MSG {
    int32_t type;   // AGT_MSG_TYPE
    AGT_MSG_DATA data;
};
static_assert(sizeof(AGT_MSG) == 8, "AGT_MSG crosses processes as 8 bytes");

// The service's confirmation, sent with its terminating zero byte.
inline constexpr char kAsrServiceOk[] = "QVRESTARTD_OK";

// Fixed paths of the exchange (through qv::sandboxPath).
inline constexpr char kKickTimerSocketPath[] = "/var/qvserver/kicktimer.socket";
inline constexpr char kAsrAgentSocketPath[] = "/var/qvserver/asragt.socket";
// Held by a client around its exchange (and the registry write that follows), since every
// client binds the same reply path.
inline constexpr char kAsrAgentLockPath[] = "/var/qvserver/asragt.lck";
// Long enough for the exchange of the client ahead (its reply wait) and its registry write.
inline constexpr unsigned kAsrClientLockMs = 20000;
