// Times two programs against each other: PAIRS runs of each, alternating, every exit status
// checked. Prints "A_us B_us RATIO A_MAXRSS_KB" (medians; RATIO is the median of the pair
// ratios A/B), or "FAILED PROGRAM" with exit status 1 when any run did not exit with 0.
//
// Usage: pair_times PAIRS PROGRAM [ARG...] --vs PROGRAM [ARG...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "process_timing.h"

int main(int argc, char** argv)
{
    using namespace qv::bench;
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PAIRS PROGRAM [ARG...] --vs PROGRAM [ARG...]\n", argv[0]);
        return 2;
    }
    const int pairs = std::max(1, std::atoi(argv[1]));
    Command a, b;
    Command* side = &a;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--vs" && side == &a) side = &b;
        else if (side->path.empty()) side->path = arg;
        else side->args.push_back(arg);
    }
    if (a.path.empty() || b.path.empty()) return 2;
    const PairFigures f = timePairs(a, b, pairs);
    if (f.failures > 0) {
        std::printf("FAILED %s\n", f.firstFailure.c_str());
        return 1;
    }
    std::printf("%.1f %.1f %.3f %ld\n", f.medianA, f.medianB, f.medianRatio, f.maxRssKbA);
    return 0;
}
