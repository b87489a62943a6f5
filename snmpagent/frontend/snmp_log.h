// The agents' and services' syslog wrapper: one formatted line, daemon facility.
#pragma once

#include <syslog.h>

// Formats at most 255 characters and logs them with `type` | LOG_DAEMON.
void log(int type, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
