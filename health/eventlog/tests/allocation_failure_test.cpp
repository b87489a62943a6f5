// Memory running out inside the library: writers and readers end with one of their result codes,
// never with an exception (which would abort a caller with another C++ runtime, or none), and
// leave the logs as the next call needs them.
#include "eventlog_fixture.h"
#include "failing_allocations.h"
#include "mgmtctl.h"

#include <cerrno>
#include <filesystem>
#include <set>

namespace qv::eventlog::test {
namespace {

// Temporary files that a replacement cut short left in `directory`.
int temporariesIn(const std::string& directory)
{
    int count = 0;
    for (const auto& file : std::filesystem::directory_iterator(directory))
        if (file.path().filename().string().find(".tmp.") != std::string::npos) ++count;
    return count;
}

class AllocationFailure : public EventLogTest {
protected:
    void loadSel(int entries) { load({{"clock", 946684800}, {"selEraseTime", 0}, {"sel", selOf(entries)}}); }
};

TEST_F(AllocationFailure, WritesEndWithTheirCodesAndTheSoftLogStillMirrorsTheSel)
{
    loadSel(2);
    const std::set<int> failures{ENOMEM, QVEL_ERR_FAILED, QVEL_ERR_DEVICE_OPEN, QVEL_ERR_SEL_RESERVE,
                                 QVEL_ERR_SEL_ADD, QVEL_ERR_SEL_READ};
    int leftOpen = 0;
    const std::vector<int> results = qv::test::resultsWhenAllocationsFail([&] {
        Sel record = makeEvent(0x0C, 7);
        char addString[] = "disk!C:";
        const int result = QVEL_WriteEvent(&record, addString);
        if (MMC_CloseDevice() != MMC_DRIVER_FAILURE) ++leftOpen;   // it was still open
        return result;
    });
    EXPECT_FALSE(results.empty());
    EXPECT_EQ(leftOpen, 0) << "writes that left the controller device open";
    for (int result : results) {
        if (result != 0) {
            EXPECT_EQ(failures.count(result), 1u) << "result " << result;
        }
    }

    EXPECT_EQ(qv::test::openFilesBelow(root_.path()), 0);
    EXPECT_EQ(temporariesIn(root_.at("/usr/qvserver/etc")), 0);
    write(8);
    // Every SEL entry once, in hardware order, the first under id 0: nothing lost, nothing twice.
    const auto sel = sim_.selEntries();
    const auto lines = softLines();
    ASSERT_EQ(lines.size(), sel.size());
    for (size_t i = 0; i < sel.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, 48), lineOf(sel[i], i == 0 ? 0 : sel[i].id)) << "line " << i;
}

TEST_F(AllocationFailure, ACursorReaderGetsEveryRecordOnceWhateverFailedBetween)
{
    loadSel(3);
    ASSERT_EQ(QVEL_SyncEventLog(), 0);   // the soft log the reader walks
    std::vector<int> delivered;
    delivered.reserve(64);   // no allocation of the test's own while refusals are on
    const auto readNext = [&] {
        EvtStruct event{};
        const int result = QVEL_ReadNextUnseenEvent(&event, "allocation-test.cfg");
        if (result == 0) delivered.push_back(event.selEntry.recordId);
        return result;
    };
    const std::vector<int> results = qv::test::resultsWhenAllocationsFail(readNext);
    EXPECT_FALSE(results.empty());
    while (readNext() == 0 && delivered.size() < 10) {
    }
    EXPECT_EQ(delivered, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(qv::test::openFilesBelow(root_.path()), 0);
    EXPECT_EQ(temporariesIn(root_.at("/usr/qvserver/etc")), 0);
}

} // namespace
} // namespace qv::eventlog::test
