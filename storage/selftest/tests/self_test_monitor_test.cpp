// The self-test monitor against in-memory drives and the outside disk library's stand-in: the
// start and abort rules, following progress to the end, giving up, and the stored records.
#include "self_test_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "drive_inventory.h"
#include "dst_records.h"
#include "fake_drive_areas.h"
#include "temp_root.h"

namespace {

using selftesttest::Drive;
using tagtest::Answer;
using tagtest::drives;

const tagtest::Address kDrive0{1, 0, 3};
const tagtest::Address kDrive1{1, 0, 5};

// Waits (a few seconds at most) until `done` holds.
bool eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 5000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// Record ids of an area in their order.
std::vector<Byte> recordIds(const tagtest::Area& area)
{
    std::vector<Byte> ids;
    for (size_t at = 0; at + 1 < area.size() && area[at] != 0; at += area[at]) ids.push_back(area[at + 1]);
    return ids;
}

class SelfTestMonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tagtest::resetDrives();
        selftesttest::writeInventory(root_, {Drive{1, 0, 3}, Drive{1, 0, 5}});
    }
    void TearDown() override { monitors_.clear(); }

    void build()
    {
        monitors_.push_back(std::make_unique<SelfTestMonitor>(0, 1, 0, 3));
        monitors_.push_back(std::make_unique<SelfTestMonitor>(1, 1, 0, 5));
    }
    tagtest::DstScript& script(const tagtest::Address& a)
    {
        std::lock_guard<std::mutex> g(drives().lock);
        return drives().dst[a];
    }
    // Runs `edit` on a drive's script under the fake's lock (the monitor thread reads it).
    void scriptDrive(const tagtest::Address& a, const std::function<void(tagtest::DstScript&)>& edit)
    {
        std::lock_guard<std::mutex> g(drives().lock);
        edit(drives().dst[a]);
    }
    std::vector<unsigned> starts(const tagtest::Address& a)
    {
        std::lock_guard<std::mutex> g(drives().lock);
        return drives().dst[a].starts;
    }
    tagtest::Area area(const tagtest::Address& a)
    {
        std::lock_guard<std::mutex> g(drives().lock);
        return drives().areas[a];
    }
    int writes()
    {
        std::lock_guard<std::mutex> g(drives().lock);
        return drives().writes;
    }
    SelfTestMonitor& monitor(int i) { return *monitors_[i]; }
    bool ended(int i) { return monitor(i).Info().dst_in_progress == 0; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv fast_{kSelfTestWaitDivisorEnv, "1000"};
    std::vector<std::unique_ptr<SelfTestMonitor>> monitors_;
};

// A test that runs on without progress the monitor can see (status 5 ends each turn at once).
void keepRunning(tagtest::DstScript& s) { s.lastProgress = Answer{5, 0}; }

TEST_F(SelfTestMonitorTest, StartAndAbortRules)
{
    scriptDrive(kDrive0, keepRunning);
    build();
    EXPECT_EQ(monitor(0).SetOperation(kDstAbort), 0) << "abort of a row not followed";
    EXPECT_TRUE(starts(kDrive0).empty());

    EXPECT_EQ(monitor(0).SetOperation(kDstShort), 0);
    dst_info_t row = monitor(0).Info();
    EXPECT_EQ(row.dst_in_progress, 1);
    EXPECT_EQ(row.dst_percent, 1);
    EXPECT_EQ(row.dst_result, 255);
    EXPECT_NE(row.dst_start_time, 0);
    EXPECT_EQ(recordIds(area(kDrive0)), (std::vector<Byte>{'k', 'j'}));

    EXPECT_EQ(monitor(0).SetOperation(kDstExtended), 0) << "start of a followed row";
    EXPECT_EQ(starts(kDrive0), (std::vector<unsigned>{1}));
    EXPECT_EQ(monitor(0).SetOperation(kDstAbort), 0);
    EXPECT_EQ(starts(kDrive0), (std::vector<unsigned>{1, 4}));
    EXPECT_EQ(monitor(0).Info().dst_in_progress, 1) << "an abort leaves the row followed";
}

TEST_F(SelfTestMonitorTest, RefusedStart)
{
    struct Case {
        const char* name;
        Answer logEntry;   // newest self-test log entry when the start is refused
        int reply;
        int followed;
    };
    for (const Case& c : {Case{"a test runs already", {0, 15}, 0, 1}, Case{"finished entry", {0, 0}, 1, 0},
                          Case{"log unreadable", {0x82, 15}, 1, 0}}) {
        SCOPED_TRACE(c.name);
        monitors_.clear();
        tagtest::resetDrives();
        scriptDrive(kDrive0, [&](tagtest::DstScript& s) {
            keepRunning(s);
            s.startStatus = 4;
            s.lastResult = c.logEntry;
        });
        build();
        EXPECT_EQ(monitor(0).SetOperation(kDstShort), c.reply);
        EXPECT_EQ(monitor(0).Info().dst_in_progress, c.followed);
        EXPECT_EQ(writes(), c.followed) << "only an accepted start writes its record";
    }
}

TEST_F(SelfTestMonitorTest, FollowsProgressToTheEndAndStoresTheRecords)
{
    scriptDrive(kDrive0, [](tagtest::DstScript& s) {
        s.progress = {{0, 25}};
        s.lastProgress = {0, 25};
        s.lastResult = {0, 0};
    });
    build();
    ASSERT_EQ(monitor(0).SetOperation(kDstShort), 0);
    ASSERT_TRUE(eventually([&] { return monitor(0).Info().dst_percent == 25; }));
    scriptDrive(kDrive0, [](tagtest::DstScript& s) { s.lastProgress = {0, 100}; });
    ASSERT_TRUE(eventually([&] { return ended(0); }));
    const dst_info_t row = monitor(0).Info();
    EXPECT_EQ(row.dst_percent, 100);
    EXPECT_EQ(row.dst_result, 0);
    EXPECT_GE(row.dst_end_time, row.dst_start_time);
    EXPECT_EQ(recordIds(area(kDrive0)), (std::vector<Byte>{'k', 'l', 'j', '-'}));
    EXPECT_EQ(ReadDstTattooResult(1, 0, 3), 0);
    EXPECT_EQ(ReadDstEndTime(1, 0, 3), row.dst_end_time);
}

TEST_F(SelfTestMonitorTest, EndingRules)
{
    struct Case {
        const char* name;
        Answer progress;
        Answer result;
        int percent;
        int storedResult;
        int resultQueries;
        std::vector<Byte> records;
    };
    const Case cases[] = {
        {"no progress, log shows the test ended", {0, 0}, {0, 3}, 100, 3, 2, {'k', 'l', 'j', '-'}},
        {"11 failed progress queries", {4, 0}, {0, 0}, 104, 255, 0, {'k', 'j'}},
        {"results unreadable after 4 tries", {0, 100}, {0x82, 0}, 100, 255, 4, {'k', 'l', 'j', '-'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        monitors_.clear();
        tagtest::resetDrives();
        scriptDrive(kDrive0, [&](tagtest::DstScript& s) {
            s.lastProgress = c.progress;
            s.lastResult = c.result;
        });
        build();
        ASSERT_EQ(monitor(0).SetOperation(kDstExtended), 0);
        ASSERT_TRUE(eventually([&] { return ended(0); }));
        const dst_info_t row = monitor(0).Info();
        EXPECT_EQ(row.dst_percent, c.percent);
        EXPECT_EQ(row.dst_result, c.storedResult);
        EXPECT_EQ(script(kDrive0).resultQueries, c.resultQueries);
        EXPECT_EQ(recordIds(area(kDrive0)), c.records);
        if (c.percent > 100) {
            EXPECT_EQ(script(kDrive0).progressQueries, 11);
        }
    }
}

TEST_F(SelfTestMonitorTest, TwoDrivesEachGetTheirOwnEnd)
{
    scriptDrive(kDrive0, [](tagtest::DstScript& s) { s.lastProgress = {0, 100};
        s.lastResult = {0, 1}; });
    scriptDrive(kDrive1, [](tagtest::DstScript& s) { s.lastProgress = {0, 100};
        s.lastResult = {0, 2}; });
    build();
    ASSERT_EQ(monitor(0).SetOperation(kDstShort), 0);
    ASSERT_EQ(monitor(1).SetOperation(kDstShort), 0);
    ASSERT_TRUE(eventually([&] { return ended(0) && ended(1); }));
    EXPECT_EQ(monitor(0).Info().dst_result, 1);
    EXPECT_EQ(monitor(1).Info().dst_result, 2);
    EXPECT_EQ(ReadDstTattooResult(1, 0, 3), 1);
    EXPECT_EQ(ReadDstTattooResult(1, 0, 5), 2);
    EXPECT_EQ(drives().overlaps, 0) << "library calls overlapped";
}

TEST_F(SelfTestMonitorTest, RowsStartFromTheStoredRecordsAndTheDrivesSupport)
{
    {
        std::lock_guard<std::mutex> g(drives().lock);
        drives().areas[kDrive0] = tagtest::areaOf({6, 'k', 0x40, 0, 0, 0, 6, 'l', 0x40, 0, 1, 0, 3, '-', 2});
        drives().dst[kDrive0].completion = {0, 1800};
        drives().dst[kDrive1].availStatus = 55555;
    }
    build();
    const dst_info_t row = monitor(0).Info();
    EXPECT_EQ(row.dst_result, 2);
    EXPECT_EQ(row.dst_percent, 100);
    EXPECT_EQ(row.dst_start_time, 0x40000000);
    EXPECT_EQ(row.dst_end_time, 0x40000100);
    EXPECT_TRUE(row.dst_is_avail);
    EXPECT_EQ(row.dst_completion_time, 1800);
    const dst_info_t other = monitor(1).Info();
    EXPECT_FALSE(other.dst_is_avail);
    EXPECT_EQ(other.dst_result, 255);
    EXPECT_EQ(other.dst_percent, 0);
}

TEST_F(SelfTestMonitorTest, TableGrowsWithTheInventoryAndIsFreedSafely)
{
    scriptDrive(kDrive0, keepRunning);
    build();
    ASSERT_EQ(monitor(0).SetOperation(kDstShort), 0);
    // A refresh brings a third drive: its monitor is made while the old ones still exist.
    selftesttest::writeInventory(root_, {Drive{1, 0, 3}, Drive{1, 0, 5}, Drive{1, 0, 9}});
    monitors_.push_back(std::make_unique<SelfTestMonitor>(2, 1, 0, 9));
    EXPECT_EQ(monitor(2).Info().dst_target, 9);
    EXPECT_EQ(monitor(0).Info().dst_in_progress, 1) << "growth keeps the rows that exist";
    EXPECT_EQ(monitor(2).SetOperation(kDstShort), 0);
    EXPECT_EQ(starts({1, 0, 9}), (std::vector<unsigned>{1}));
    // The last monitor going frees the table while the thread follows two tests.
    monitors_.clear();
    SelfTestMonitor again(0, 1, 0, 3);
    EXPECT_EQ(again.Info().dst_in_progress, 0) << "a rebuilt table starts from the drives";
}

} // namespace
