// Detaching a management-controller service from its terminal, shared by qvbmccached and
// qvmgmtcardd.
#pragma once

inline constexpr char kForegroundEnv[] = "QV_FOREGROUND";

// True when QV_FOREGROUND=1 asks the service to stay attached (tests and the demo).
bool foregroundRequested();

// fork (the parent exits 0), setsid, chdir("/"), a umask that leaves nothing world-writable,
// descriptors 0 to 99 closed and 0 to 2 reopened on /dev/null so nothing the service opens later
// becomes its standard output. False when fork fails (the process is then unchanged).
bool detachFromTerminal();
