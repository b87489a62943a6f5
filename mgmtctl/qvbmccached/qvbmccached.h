// qvbmccached: builds the IPMI system once and answers other processes' questions about it over
// the FIFOs of ipmipipe_protocol.h.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1   stay in the foreground (no fork, no setsid, descriptors kept)
#pragma once

inline constexpr char kMsgNotVelkarn[] =
    "This system is either not an QV system or not an QV Velkarn.\n";
inline constexpr int kSetUpAttempts = 3;

// The whole service; returns the exit status.
int runCacheService();
