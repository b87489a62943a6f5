// A link-time stand-in of the IPMI cache client for the unit tests: the system's packages and
// sensor records come from a script, and every request is recorded.
#pragma once

#include "ipmipipe_protocol.h"

#include <vector>

namespace qveventfile::test {

struct ScriptedPackage {
    std::vector<PipeSDR> records;
};

struct ScriptedCache {
    bool answers = true;                    // false: every request fails as without a service
    unsigned announcedSensors = 0;          // nSensors of the system information
    std::vector<ScriptedPackage> packages;
    std::vector<unsigned> requests;         // op codes in order
};

ScriptedCache& scriptedCache();
// Forgets the script and the library's cached records.
void resetScriptedCache();
PipeSDR sensorRecord(unsigned char owner, unsigned char type, unsigned char number, const char* name,
                     unsigned char oem = 0);

} // namespace qveventfile::test
