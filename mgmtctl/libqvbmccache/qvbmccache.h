// Client of the IPMI cache service: one request over its FIFOs per call.
//
// Environment (tests):
//   QV_BMCCACHE_REPLY_MS   how long a call waits for the service's reply (default 15000 ms)
#pragma once

#include "ipmipipe_protocol.h"

inline constexpr char kReplyWaitEnv[] = "QV_BMCCACHE_REPLY_MS";
inline constexpr int kDefaultReplyWaitMs = 15000;
// The exchange with the service failed.
inline constexpr unsigned int IPMI_PIPE_FAILED = 1;

struct sdType {
    unsigned char* pb;
    uint32_t cb;
};

extern "C" unsigned int QvIpmiGetData(unsigned int opCode, unsigned int iPackage,
                                      unsigned int iUnit, ParamsType* pParams, sdType sdData,
                                      unsigned int* pcbDataRet);
