// Writing to both logs and reading back by id, by position and from the end, over the SEL
// states a server meets: empty, older entries, read-back refused, erased outside, ids that
// restart, full, device busy.
#include "eventlog_fixture.h"

#include <cerrno>
#include <functional>

namespace qv::eventlog::test {
namespace {

using Lines = std::vector<std::string>;
const nlohmann::json kBase = {{"clock", 946684800}, {"selEraseTime", 0}};

nlohmann::json with(nlohmann::json bmc, const nlohmann::json& extra)
{
    bmc.update(extra);
    return bmc;
}

class WriteScenarios : public EventLogTest {
public:
    using EventLogTest::clearSelOutside;
    using EventLogTest::sim_;
};

TEST_F(WriteScenarios, WriteThenSoftLogHoldsTheRightLines)
{
    struct Case {
        const char* name;
        nlohmann::json bmc;
        std::function<void(WriteScenarios&)> before;
        int result;
        // The soft log expected after the write, from the SEL as it then is.
        std::function<Lines(const std::vector<qv::sim::SelEntry>&, const Sel& written)> lines;
    };
    const Case cases[] = {
        {"empty SEL", kBase, [](WriteScenarios&) {}, 0,
         [](auto& sel, const Sel&) { return Lines{lineOf(sel[0], 1, "disk!C:")}; }},
        {"older entries first, the first under id 0", with(kBase, {{"sel", selOf(2)}}), [](WriteScenarios&) {}, 0,
         [](auto& sel, const Sel&) { return Lines{lineOf(sel[0], 0), lineOf(sel[1], 2), lineOf(sel[2], 3, "disk!C:")}; }},
        {"read-back answered 0xC9", kBase,
         [](WriteScenarios& t) { t.sim_.injectCompletionCode(0x0A, 0x43, 0xC9, 1); }, 0,
         [](auto&, const Sel& w) {
             Sel expected = makeEvent(0x0C, 7, 0x6F, 0x00, 2);
             expected.recordId = 1;
             expected.timestamp = w.timestamp;
             return Lines{lineOf(expected, "disk!C:")};
         }},
        {"read-back failing otherwise", kBase,
         [](WriteScenarios& t) { t.sim_.injectCompletionCode(0x0A, 0x43, 0xC0, 1); }, QVEL_ERR_SEL_READ,
         [](auto&, const Sel&) { return Lines{}; }},
        {"SEL erased outside", with(kBase, {{"sel", selOf(2)}}),
         [](WriteScenarios& t) {
             ASSERT_EQ(QVEL_SyncEventLog(), 0);
             t.sim_.advanceClock(5000);
             t.clearSelOutside();
         },
         0, [](auto& sel, const Sel&) { return Lines{lineOf(sel[0], 3, "disk!C:")}; }},
        {"ids restarting after a clear", with(kBase, {{"sel", selOf(2)}, {"selIdsRestartAfterClear", true}}),
         [](WriteScenarios& t) {
             ASSERT_EQ(QVEL_SyncEventLog(), 0);
             t.sim_.advanceClock(5000);
             t.clearSelOutside();
         },
         0, [](auto& sel, const Sel&) { return Lines{lineOf(sel[0], 1, "disk!C:")}; }},
        {"SEL full", with(kBase, {{"sel", selOf(2)}, {"selCapacity", 2}}), [](WriteScenarios&) {}, QVEL_ERR_SEL_ADD,
         [](auto&, const Sel&) { return Lines{}; }},
        {"device busy for a while", kBase, [](WriteScenarios& t) { t.sim_.failNextOpens(3, EBUSY); }, 0,
         [](auto& sel, const Sel&) { return Lines{lineOf(sel[0], 1, "disk!C:")}; }},
        {"no device", kBase, [](WriteScenarios& t) { t.sim_.failNextOpens(5, ENODEV); }, QVEL_ERR_DEVICE_OPEN,
         [](auto&, const Sel&) { return Lines{}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(root_.at("/usr/qvserver/etc/evtlog.dat").c_str());
        std::remove(root_.at("/usr/qvserver/etc/qveventlog.cfg").c_str());
        load(c.bmc);
        c.before(*this);
        Sel record = makeEvent(0x0C, 7, 0x6F, 0x00, 0);
        char add[] = "disk!C:";
        ASSERT_EQ(QVEL_WriteEvent(&record, add), c.result);
        sim_.clearFaults();
        if (c.result == 0) {
            EXPECT_EQ(record.eventVersion, 2);   // revision 0 is stored as 2
            EXPECT_EQ(record.recordId, sim_.selEntries().back().id);
        }
        const Lines expected = c.lines(sim_.selEntries(), record);
        if (c.result == 0) {
            EXPECT_EQ(softLines(), expected);
        } else {
            EXPECT_EQ(softLines(), Lines{});
        }
    }
}

TEST_F(WriteScenarios, ReadByIdIndexAndFromTheEnd)
{
    load(with(kBase, {{"sel", selOf(3)}, {"selEraseTime", "0xFFFFFFFF"}}));
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    const Sel written = write(9, "last");   // id 4
    EvtStruct event{};
    int next = 0;
    ASSERT_EQ(QVEL_ReadEvent(2, &next, &event), 0);
    EXPECT_EQ(event.selEntry.recordId, 2);
    EXPECT_EQ(next, 3);
    ASSERT_EQ(QVEL_ReadEvent(0, &next, &event), 0);   // the start of the log
    EXPECT_EQ(event.selEntry.sensorNumber, 1);
    EXPECT_EQ(next, 2);
    ASSERT_EQ(QVEL_ReadEvent(0xFFFF, &next, &event), 0);
    EXPECT_EQ(event.selEntry.recordId, written.recordId);
    EXPECT_STREQ(event.szAddString, "last");
    EXPECT_EQ(next, 0xFFFF);
    EXPECT_EQ(QVEL_ReadEvent(77, &next, &event), QVEL_ERR_NOT_FOUND);
    EXPECT_EQ(QVEL_ReadSoftEvent(77, &event), QVEL_NO_EVENT);

    int last = 0;
    ASSERT_EQ(QVEL_ReadLastSoftEvent(&last, &event), 0);
    EXPECT_EQ(last, written.recordId);
    int count = 0;
    ASSERT_EQ(QVEL_GetNumberOfEvents(&count), 0);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(QVEL_ReadEventLogEntry(3, &event), 0);
    EXPECT_STREQ(event.szAddString, "last");
    EXPECT_EQ(QVEL_ReadEventLogEntry(4, &event), QVEL_NO_EVENT);

    int freeBytes = 0;
    ASSERT_EQ(QVEL_GetFreeSpace(&freeBytes), 0);
    EXPECT_EQ(freeBytes, 16 * (512 - 4));
    unsigned long eraseTime = 0;
    ASSERT_EQ(QVEL_GetEraseTime(&eraseTime), 0);
    EXPECT_EQ(eraseTime, 0xFFFFFFFFul);   // kept raw
}

// Readers walking the log go on from where their last read ended, but only in the log they read:
// a log rewritten under them is read from its start again.
TEST_F(WriteScenarios, WalksGoOnOnlyInTheLogTheyRead)
{
    std::vector<std::string> lines;
    for (uint8_t i = 1; i <= 4; ++i) {
        Sel r = makeEvent(0x0C, static_cast<uint8_t>(10 + i));
        r.recordId = i;
        lines.push_back(lineOf(r, i == 2 ? "a longer add string for the second record" : ""));
    }
    const auto text = [](const std::vector<std::string>& ls) {
        std::string t;
        for (const auto& l : ls) t += l + "\n";
        return t;
    };
    writeSoftLog(text(lines));
    EvtStruct event{};
    int next = 0;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(QVEL_ReadEventLogEntry(i, &event), 0);
    EXPECT_EQ(event.selEntry.sensorNumber, 13);
    ASSERT_EQ(QVEL_ReadEvent(1, &next, &event), 0);
    ASSERT_EQ(next, 2);

    // The same first line, the others moved: neither walk may land on the old places.
    writeSoftLog(text({lines[0], lines[2], "short damaged line", lines[1], lines[3]}));
    ASSERT_EQ(QVEL_ReadEventLogEntry(3, &event), 0);
    EXPECT_EQ(event.selEntry.sensorNumber, 12);
    ASSERT_EQ(QVEL_ReadEvent(2, &next, &event), 0);
    EXPECT_EQ(event.selEntry.sensorNumber, 12);
    EXPECT_EQ(next, 4);
    ASSERT_EQ(QVEL_ReadEvent(next, &next, &event), 0);
    EXPECT_EQ(event.selEntry.sensorNumber, 14);

    // Appends keep the places: the walk goes on into the new lines.
    Sel r = makeEvent(0x0C, 15);
    r.recordId = 5;
    writeSoftLog(text({lines[0], lines[2], "short damaged line", lines[1], lines[3], lineOf(r)}));
    ASSERT_EQ(QVEL_ReadEventLogEntry(4, &event), 0);
    ASSERT_EQ(QVEL_ReadEventLogEntry(5, &event), 0);
    EXPECT_EQ(event.selEntry.sensorNumber, 15);
}

TEST_F(WriteScenarios, MissingSoftLogAndNullArguments)
{
    int count = 5;
    EXPECT_EQ(QVEL_GetNumberOfEvents(&count), QVEL_ERR_NO_LOG);
    EXPECT_EQ(count, 0);
    EvtStruct event{};
    int next = 0;
    EXPECT_EQ(QVEL_ReadEvent(3, &next, &event), QVEL_ERR_INVALID);
    EXPECT_EQ(QVEL_ReadSoftEvent(3, &event), QVEL_ERR_NO_LOG);
    EXPECT_EQ(QVEL_WriteEvent(nullptr, nullptr), QVEL_ERR_INVALID);
    EXPECT_EQ(QVEL_WriteSoftEvent(nullptr, nullptr), QVEL_ERR_INVALID);
    EXPECT_EQ(QVEL_GetNumberOfEvents(nullptr), QVEL_ERR_INVALID);
    Sel record = makeEvent(1, 1);
    EXPECT_EQ(QVEL_WriteEvent(&record, nullptr), 0);   // no add string at all
    EXPECT_EQ(softLines(), Lines{lineOf(record)});
}

// The first mends: a write after a clear is mirrored once; an add string cannot split its line.
TEST_F(WriteScenarios, WriteAfterClearLeavesOneLineDeliveredOncePerCursor)
{
    load(with(kBase, {{"sel", selOf(2)}}));
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    sim_.advanceClock(5000);
    ASSERT_EQ(QVEL_ClearEventLog(), 0);
    EXPECT_EQ(softLines(), Lines{});
    EXPECT_EQ(setting("qveventlog.cfg", "LastReadEvent"), "65535");
    const Sel written = write(5, "after");
    ASSERT_EQ(softLines().size(), 1u);
    EXPECT_EQ(softLines()[0], lineOf(written, "after"));
    for (const char* cursor : {"one.cfg", "two.cfg"}) {
        EvtStruct event{};
        ASSERT_EQ(QVEL_ReadNextUnseenEvent(&event, cursor), 0) << cursor;
        EXPECT_EQ(event.selEntry.recordId, written.recordId);
        EXPECT_STREQ(event.szAddString, "after");
        EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, cursor), QVEL_NO_EVENT) << cursor;
    }
}

TEST_F(WriteScenarios, AddStringWithLineFeedAndHexStaysOneLine)
{
    std::string add = "vol\n01 00 02 00 00 00 00 21 00 03 20 01 6f 00 ff ff";
    Sel record = makeEvent(0x12, 1);
    ASSERT_EQ(QVEL_WriteEvent(&record, add.data()), 0);
    ASSERT_EQ(softLines().size(), 1u);
    int count = 0;
    ASSERT_EQ(QVEL_GetNumberOfEvents(&count), 0);
    EXPECT_EQ(count, 1);
    EvtStruct event{};
    ASSERT_EQ(QVEL_ReadEventLogEntry(0, &event), 0);
    EXPECT_EQ(event.selEntry.sensorType, 0x12);
    std::string longAdd(300, 'y');
    ASSERT_EQ(QVEL_WriteEvent(&record, longAdd.data()), 0);
    EXPECT_EQ(longAdd.c_str(), std::string(206, 'y'));   // shortened in place
}

// A line cut by a crash is not there yet for readers, and the next write starts a new line. A
// settings file that lags behind the log copies nothing twice.
TEST_F(WriteScenarios, CutLinesAndStaleSettings)
{
    load(with(kBase, {{"sel", selOf(2)}}));
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    const Lines synced = softLines();
    root_.writeFile("/usr/qvserver/etc/evtlog.dat", softLog() + "03 00 02 80 43");
    root_.writeFile("/usr/qvserver/etc/qveventlog.cfg", "[qvevtlog]\nLastEraseTime=0\nLastReadEvent=0\n");
    int count = 0;
    ASSERT_EQ(QVEL_GetNumberOfEvents(&count), 0);
    EXPECT_EQ(count, 2);
    int last = 0;
    ASSERT_EQ(QVEL_ReadLastSoftEvent(&last, nullptr), 0);
    EXPECT_EQ(last, 2);
    const Sel written = write(3, "new");
    Lines expected = synced;
    expected.push_back("03 00 02 80 43");
    expected.push_back(lineOf(written, "new"));
    EXPECT_EQ(softLines(), expected);
}

} // namespace
} // namespace qv::eventlog::test
