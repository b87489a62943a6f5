// Signals from the version agent to the scanning service at the process id it recorded.
// The id may be stale (the service stopped and the number was reused), so a signal is sent
// only to a process the kernel names "qvrevscand".
#pragma once

#include <sys/types.h>

// Sends `signo` to `pid` when it is a positive id of a running qvrevscand; true when sent.
bool signalScanService(pid_t pid, int signo);

// True when `pid` is a process the kernel names "qvrevscand" (read from the real /proc: the
// signal reaches a real process, whatever the sandbox root).
bool processIsScanService(pid_t pid);

// Tests replace the sender; null restores signalScanService.
using ScanServiceSignaller = bool (*)(pid_t pid, int signo);
void setScanServiceSignaller(ScanServiceSignaller signaller);
bool sendToScanService(pid_t pid, int signo);
