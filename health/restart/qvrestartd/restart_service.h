// qvrestartd: arms the controller's operating-system watchdog with the restart settings and
// kicks it every poll period; the restart agent changes the settings on its socket.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1   stay in the foreground (no fork, no setsid, descriptors kept)
//   QV_LOG_FILE=FILE  log lines to FILE instead of syslog
//   QV_RESTARTD_SECOND_MS  length in ms of one second of the wait between kicks (default 1000)
#pragma once

inline constexpr char kRestartSecondMsEnv[] = "QV_RESTARTD_SECOND_MS";

// Watchdog fields the service sets.
inline constexpr int kOsTimerUse = 4;
inline constexpr int kOsExpirationFlag = 0x10;
inline constexpr int kStoppedCountdownTenths = 6000;

// One controller step each, opening and closing the driver around it; true on success.
bool InitMMCAsrTimer(int hwTimeout, int maxConsAsr, int curConsAsr, int& action);
bool KickMMCAsrTimer(int hwTimeout, int action);
bool StopMMCAsrTimer(int action);

// Kicks every `polltime` seconds, but at least twice per armed countdown, and applies the restart
// agent's messages until a stop signal or a poll time of 0; the watchdog is left armed and running.
void asrKickTimer(int polltime, int hwtimeout, int action);

// The whole service; returns the exit status.
int runRestartService();
