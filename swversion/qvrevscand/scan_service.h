// qvrevscand: keeps the revision history of drivers and of the installed agent set. The
// version agent controls it through qvswarh.cfg and signals at the recorded process id:
// SIGHUP re-reads "State" and "Time", SIGUSR1 erases the history and rebuilds the baseline,
// SIGUSR2 asks for a poll. The handlers only set flags; the loop acts on them between passes,
// so a reset never interleaves with a poll or a baseline write.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1          stay in the foreground (no fork, no setsid, descriptors kept)
//   QV_REVSCAND_PAUSE_MS     pause between passes (default 5000 ms)
#pragma once

// The whole service; returns the exit status.
int runScanService();

// Pause between passes in milliseconds.
unsigned scanPauseMs();
