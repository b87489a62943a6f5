// qvshutdownd: restarts the host in an orderly way when the controller logs a shutdown request.
#pragma once

#include "qveventlog.h"

#include <ctime>

// The restart command, below the sandbox root; run with "-t 15 -r now", never through a shell.
inline constexpr char kShutdownCommand[] = "/sbin/shutdown";
// The cursor that keeps the service's place in the event log across restarts.
inline constexpr char kShutdownCursor[] = "qvshutdownd.cfg";
// Tests shorten the service's one-second steps (milliseconds per second).
inline constexpr char kShutdownSecondMsEnv[] = "QV_SHUTDOWND_SECOND_MS";

// Sensor type 0xC9, revision 2 with trigger 0xE7 or revision 3 with trigger 0x6F, offset 7 or 8.
bool IsShutdownEvent(const Sel& record);
// The whole service after identification; the exit status.
int runShutdownService();
