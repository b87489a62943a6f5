// qvmgmtcardd: makes the remote management card known to the component registration library:
// registers it on the first pass, updates it on every later one.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1            stay in the foreground (no fork, no setsid, descriptors kept)
//   QV_MGMTCARDD_PERIOD_MS     time between passes in ms (default 300000)
#pragma once

inline constexpr char kPeriodEnv[] = "QV_MGMTCARDD_PERIOD_MS";
inline constexpr long kDefaultPeriodMs = 300000;

// The whole service; returns the exit status.
int runCardService();
