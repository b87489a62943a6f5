// Pieces of the trap sender shared between its units.
#pragma once

#include "trap_sender.h"

#include <string>
#include <vector>

namespace trapsend {

const TrapSenderProfile& profile();

bool validCommunity(const std::string& community);
bool validPort(const std::string& port);

// Runs `path` with `argv` (argv[0] included) by fork + execv and waits at most `timeoutMs`,
// killing and reaping the child after that. The wait status, or -1 when it could not run or
// was killed for taking too long.
int runCommand(const std::string& path, const std::vector<std::string>& argv,
               unsigned timeoutMs);

} // namespace trapsend
