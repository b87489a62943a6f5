// Cost of one pass request: wall time from exec to exit of the test agent answering a GET,
// divided by that of a minimal C program printing the same three lines. Reports, never fails.
//
// Usage: agent_cost [RUNS]   (the two programs are found beside this one)
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "process_timing.h"

int main(int argc, char** argv)
{
    using namespace qv::bench;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::string root = makeSandboxRoot();
    if (root.empty()) return 0;

    const std::string agent = besideMe(argv[0], "../snmpagent/tests/qvtestagent");
    const std::string minimal = besideMe(argv[0], "minimal_agent");
    const double agentUs = microsPerRun(agent, {"-g", ".1.3.6.1.4.1.93071.2.99.2.0"}, runs);
    const double minimalUs = microsPerRun(minimal, {}, runs);
    std::printf("runs: %d\nqvtestagent -g: %.1f us per request\nminimal C program: %.1f us\n"
                "ratio: %.2f (goal: at most 1.30)\n",
                runs, agentUs, minimalUs, agentUs / minimalUs);

    removeSandboxRoot(root);
    return 0;
}
