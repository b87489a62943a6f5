// Allocation failures on demand, for tests of what a library does when memory runs out. A test
// program that links qv_test_failing_allocations has its global operator new replaced: while a
// FailingAllocations lives, every allocation of the thread that made it after the first `spared`
// ones is refused (std::bad_alloc, or nullptr from the nothrow forms), as when memory has run
// out. Other threads, such as an in-process simulator's, allocate as usual.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::test {

class FailingAllocations {
public:
    explicit FailingAllocations(unsigned long spared);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    // Whether an allocation was refused.
    bool refused() const;
};

// Descriptors of this process open on files below `directory`: what a call cut short by a refusal
// must not leave behind.
int openFilesBelow(const std::string& directory);

// Runs `call` with its allocations refused from the first on, then from the second on, and so
// on, until a run completes without a refusal. Returns the results of the runs that met one; an
// exception that leaves `call` fails the test.
template <class Call>
auto resultsWhenAllocationsFail(Call call)
{
    using Result = decltype(call());
    std::vector<Result> results;
    constexpr unsigned long kLongestRun = 100000;
    for (unsigned long spared = 0; spared < kLongestRun; ++spared) {
        std::optional<Result> result;
        bool threw = false;
        bool refused = false;
        {
            FailingAllocations failing(spared);
            try {
                result = call();
            } catch (...) {
                threw = true;
            }
            refused = failing.refused();
        }
        if (threw) {
            ADD_FAILURE() << "an exception left the call when allocation " << spared + 1 << " failed";
            break;
        }
        if (!refused) break;
        results.push_back(*result);
    }
    return results;
}

} // namespace qv::test
