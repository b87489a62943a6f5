// Whole-process timing shared by the benchmark tools: two programs run in alternation, the
// median of the pair ratios, every exit status checked.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::bench {

// A program and its arguments, run with stderr on /dev/null.
struct Command {
    std::string path;
    std::vector<std::string> args;
};

// One run: wall time from fork to reaped exit, the child's peak resident memory, and whether it
// exited with status 0.
struct RunResult {
    double micros = 0;
    long maxRssKb = 0;
    bool ok = false;
};

// Starts `command` with its stdout on `stdoutFd` (/dev/null when negative). The child's pid, or -1.
pid_t spawn(const Command& command, int stdoutFd = -1);

// Runs `command` once to its end, output discarded.
RunResult runOnce(const Command& command);

// A and B run `pairs` times each, alternating (A first in even pairs, B first in odd ones, so
// neither always follows the other), after a few warm-up runs of both.
struct PairFigures {
    double medianA = 0;        // us
    double medianB = 0;        // us
    double medianRatio = 0;    // median of A/B over the pairs
    long maxRssKbA = 0;
    int failures = 0;          // runs of either side that did not exit with status 0
    std::string firstFailure;  // which command failed first
};
PairFigures timePairs(const Command& a, const Command& b, int pairs);

double median(std::vector<double> values);

} // namespace qv::bench
