// Memory running out inside the library: a call ends with MMC_NO_MEMORY, never with an exception
// (which would abort a caller that has another C++ runtime, or none), and the next call works.
#include "failing_allocations.h"
#include "mgmtctl_fixture.h"
#include "pause_hook.h"

#include <array>
#include <functional>

namespace qv::mgmtctl::test {
namespace {

class AllocationFailureTest : public ControllerTest {
protected:
    // The fixture's pause recorder allocates; this one does not, so only the library meets refusals.
    void SetUp() override
    {
        ControllerTest::SetUp();
        setPauseHookForTests([](int) {});
    }
};

struct Call {
    const char* name;
    std::function<int()> run;
};

TEST_F(AllocationFailureTest, EveryRefusedAllocationEndsTheCallWithNoMemory)
{
    static std::array<uint8_t, MMC_SEL_RECORD_SIZE> sel{0, 0, 0x02, 1, 2, 3, 4, 0x20, 0, 0x04, 0x01, 0x30, 0x01, 0x51};
    static unsigned short id;
    static unsigned short reservation;
    static unsigned char value;
    const Call calls[] = {
        {"open the device anew", [] { return RetryMMC_OpenDevice(); }},
        {"request with data", [] { return MMC_SetSELTime(0x11223344); }},
        {"answer with data", [] { return MMC_GetSELInfo(nullptr, &id, nullptr, nullptr, nullptr, nullptr); }},
        {"reservation", [] { return RetryMMC_ReserveSEL(&reservation); }},
        {"record added", [] { return MMC_AddSELEntry(reinterpret_cast<SEL*>(sel.data()), &id); }},
        {"driver port", [] { return MMC_ReadPort(3, &value); }},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        const std::vector<int> results = qv::test::resultsWhenAllocationsFail(call.run);
        EXPECT_FALSE(results.empty()) << "the call allocates nothing";
        for (int result : results) EXPECT_EQ(result, MMC_NO_MEMORY);
        EXPECT_EQ(call.run(), 0) << "after the refusals";
        // Another command gets its own answer: no reply was left behind for it.
        unsigned long selTime = 0;
        EXPECT_EQ(MMC_GetSELTime(&selTime), 0);
    }
}

} // namespace
} // namespace qv::mgmtctl::test
