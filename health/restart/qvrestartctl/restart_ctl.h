// qvrestartctl: shows and changes the automatic server restart settings in the registry. It
// never tells the running service; the service reads the settings at its next start.
#pragma once

#include <cstdio>

// One run: `argv` as given to main, integers read from `in`, console text to `out`. Returns
// the exit status.
int runRestartCtl(int argc, char** argv, std::FILE* in, std::FILE* out);
