// The services' message function: one line to the suite's log with the daemon facility.
#pragma once

// Formats at most 255 characters and logs them verbatim with priority nLevel | LOG_DAEMON;
// level 2 (LOG_CRIT) then ends the process with status 1.
void LogPrint(int nLevel, const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
