// Whole-process timing shared by the benchmarks: run a program many times, compare with a floor.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::bench {

// Starts `path` with `args`, its stderr on /dev/null and its stdout on `stdoutFd` (/dev/null when
// negative). Returns the child's pid, or -1.
pid_t spawn(const std::string& path, const std::vector<const char*>& args, int stdoutFd = -1);

// Runs `path` once to its end, output discarded.
void runOnce(const std::string& path, const std::vector<const char*>& args);

// Mean wall time of one run in microseconds, after warming the page cache.
double microsPerRun(const std::string& path, const std::vector<const char*>& args, int runs);

// `name` taken relative to the directory of this program (`argv0`).
std::string besideMe(const char* argv0, const std::string& name);

// A fresh sandbox root under /tmp, exported as QV_ROOT, with the suite's directories and a
// supported model code in its registry. Empty when it cannot be made.
std::string makeSandboxRoot();
void removeSandboxRoot(const std::string& root);

} // namespace qv::bench
