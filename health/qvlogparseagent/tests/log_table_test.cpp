// The parse-log table built from a soft log: which records each criterion selects, their
// positions, add strings and severities, and logs the reading must not loop on.
#include "log_table.h"
#include "soft_log_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using logparse::BuildLogTable;
using logparse::LogEntry;
using namespace logparse::test;

std::vector<int> recordIds(const std::vector<LogEntry>& table)
{
    std::vector<int> ids;
    for (const LogEntry& e : table) ids.push_back(e.logEntrySEL.recordId);
    return ids;
}

TEST(LogTable, CriteriaSelectRecords)
{
    const struct {
        const char* settings;   // nullptr: no settings file
        std::vector<int> ids;
    } cases[] = {
        {"sensor=0\ntrigger=0\noffset=0\n", {1, 2, 3, 4, 5}},
        {"sensor=12\ntrigger=0\noffset=0\n", {1, 3, 5}},
        {"sensor=0\ntrigger=111\noffset=0\n", {1, 3, 5}},
        {"sensor=12\ntrigger=111\noffset=1\n", {3}},
        {"sensor=0\ntrigger=0\noffset=19\n", {5}},          // only the low nibble counts
        {"sensor=268\ntrigger=0\noffset=0\n", {1, 3, 5}},   // kept as one byte: 12
        {"sensor=0\n", {4}},                                 // absent keys are 255
        {"sensor=255\ntrigger=0\noffset=0\n", {}},
        {"", {}},
        {nullptr, {}},
    };
    for (const auto& c : cases) {
        qv::test::TempRoot root;
        writeFixture(root);
        if (c.settings) writeCriterion(root, c.settings);
        EXPECT_EQ(recordIds(BuildLogTable()), c.ids) << (c.settings ? c.settings : "no file");
    }
}

TEST(LogTable, RowsCarryRecordPositionTextAndSeverity)
{
    qv::test::TempRoot root;
    writeFixture(root);
    writeCriterion(root, "sensor=12\ntrigger=0\noffset=0\n");
    const std::vector<LogEntry> table = BuildLogTable();
    ASSERT_EQ(table.size(), 3u);
    const auto& records = fixtureRecords();
    const struct {
        size_t fixture;
        unsigned line;
        const char* severity;
    } want[] = {{0, 0, "Warning"}, {2, 2, " Critical"}, {4, 4, ""}};
    // A value keeps its leading blank; the ';' ends it.
    for (size_t i = 0; i < table.size(); ++i) {
        const Sel& expected = records[want[i].fixture].sel;
        EXPECT_EQ(std::memcmp(&table[i].logEntrySEL, &expected, sizeof expected), 0) << i;
        EXPECT_EQ(table[i].logEntryLineNum, want[i].line);
        EXPECT_STREQ(table[i].logEntryText, records[want[i].fixture].addString);
        EXPECT_STREQ(table[i].logEntrySeverity, want[i].severity);
    }

    // Without the description file the rows stay, with empty severities.
    std::remove(root.at("/usr/qvserver/etc/evtspec.cfg").c_str());
    const std::vector<LogEntry> bare = BuildLogTable();
    ASSERT_EQ(recordIds(bare), (std::vector<int>{1, 3, 5}));
    for (const LogEntry& e : bare) EXPECT_STREQ(e.logEntrySeverity, "");
}

// A log whose record ids lead back to a record read before (ids repeated by hand or after a
// restart of the controller's numbering) ends at the repeat instead of being read forever.
TEST(LogTable, RepeatedRecordIdsEndTheReading)
{
    qv::test::TempRoot root;
    std::vector<FixtureRecord> records = fixtureRecords();
    records[3].sel.recordId = 2;   // 1, 2, 3, 2, 5: reading 3 leads back to the first 2
    writeFixture(root, records);
    writeCriterion(root, "sensor=0\ntrigger=0\noffset=0\n");
    EXPECT_EQ(recordIds(BuildLogTable()), (std::vector<int>{1, 2, 3}));
}

} // namespace
