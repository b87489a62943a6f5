// The memory-module MIB .1.3.6.1.4.1.93071.2.23.21: modules from the DMI tables, their error
// figures from qvmemd.
#pragma once

#include <string>

// The agent's own program path, as snmpd started it (its modification time is the agent date).
extern std::string argv0;

bool loadObjects();

// A module size in MB as KB, clamped to what the integer object can carry.
int moduleSizeKb(long long megabytes);
