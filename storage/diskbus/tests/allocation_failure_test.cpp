// Memory running out inside the library: an inventory call ends with its status, never with an
// exception (which would abort a caller with another C++ runtime, or none), and what it cut short
// is not kept: the next full discovery sees the whole machine again.
#include "failing_allocations.h"
#include "scsi_interface_machine.h"

#include <cstring>

namespace diskbus_test {
namespace {

class AllocationFailure : public ScsiInterfaceTest {};

TEST_F(AllocationFailure, InventoryCallsEndWithTheirStatusAndForgetWhatWasCutShort) {
    serveMachine();
    int adapters = 0, drives = 0;
    ASSERT_EQ(ScsiCountAllUnits(&adapters, &drives), 0u);
    DriveInfoType expected[32]{};
    ASSERT_EQ(ScsiGetAllDrives(expected, 32), 0u);
    LibraryShutdown();
    ResetDiskbusStateForTests();
    ResetScsiListsForTests();
    ResetVolumeMapForTests();

    // Every run discovers anew.
    const std::vector<uint32_t> results = qv::test::resultsWhenAllocationsFail([this] {
        clock += 30;
        return ScsiCountAllUnits(nullptr, nullptr);
    });
    EXPECT_FALSE(results.empty());
    for (uint32_t result : results)
        EXPECT_TRUE(result == 0 || result == ERR_RESOURCE_UNAVAILABLE) << std::hex << result;

    clock += 30;
    int adaptersAfter = 0, drivesAfter = 0;
    ASSERT_EQ(ScsiCountAllUnits(&adaptersAfter, &drivesAfter), 0u);
    EXPECT_EQ(adaptersAfter, adapters);
    ASSERT_EQ(drivesAfter, drives);
    DriveInfoType after[32]{};
    ASSERT_EQ(ScsiGetAllDrives(after, 32), 0u);
    for (int i = 0; i < drives; ++i)
        EXPECT_EQ(std::memcmp(&after[i], &expected[i], sizeof after[i]), 0) << "drive " << i;
}

} // namespace
} // namespace diskbus_test
