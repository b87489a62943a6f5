// The suite's one logging wrapper. Messages go to syslog, or, when QV_LOG_FILE names a file
// (tests and the demo), are appended to that file as "ident: message" lines so they can be
// asserted without a syslog daemon.
#pragma once

#include <cstdarg>

namespace qv {

// Remembers the identity and facility; opens syslog unless a log file is configured.
void logOpen(const char* ident, int facility);

// Sends one already formatted message with the given syslog priority (facility may be or'ed in).
void logWrite(int priority, const char* message);

// Formats at most 255 characters and sends them with logWrite. Line ends at the end of the text
// are dropped (the sinks add their own). The suite's log faces, log() and LogPrint, are this.
void logFormatted(int priority, const char* format, va_list args);

} // namespace qv
