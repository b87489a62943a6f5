// Start-up steps every service shares: going to the background and stop signals.
#pragma once

// Detaches from the terminal unless QV_FOREGROUND=1: fork (the parent exits 0), setsid,
// chdir("/"), descriptors 0-2 on /dev/null, a umask that leaves nothing world-writable.
// False when fork fails.
bool detachService();

// SIGTERM and SIGINT clear the flag that serviceRunning() reports; false when a handler could
// not be installed (errno set).
bool installStopHandlers();
bool serviceRunning();
