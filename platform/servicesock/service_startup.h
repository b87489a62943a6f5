// The start-up every identified service runs before its own work: identification with its two
// messages, going to the background, the log under the program's name, the stop handlers.
#pragma once

// Returns -1 when the service goes on, else the exit status it must end with.
int startIdentifiedService(const char* szProgramName);
