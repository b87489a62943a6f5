// The suite's one logging wrapper. Messages go to syslog, or, when QV_LOG_FILE names a file
// (tests and the demo), are appended to that file as "ident: message" lines so they can be
// asserted without a syslog daemon.
#pragma once

namespace qv {

// Remembers the identity and facility; opens syslog unless a log file is configured.
void logOpen(const char* ident, int facility);

// Sends one already formatted message with the given syslog priority (facility may be or'ed in).
void logWrite(int priority, const char* message);

} // namespace qv
