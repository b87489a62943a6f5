// Each consumer's cursor: every record once, in soft-log order, surviving restarts and erases.
#include "eventlog_fixture.h"

namespace qv::eventlog::test {
namespace {

class Cursor : public EventLogTest {
protected:
    void SetUp() override
    {
        EventLogTest::SetUp();
        load({{"clock", 946684800}, {"selEraseTime", 0}, {"sel", selOf(3)}});
        ASSERT_EQ(QVEL_SyncEventLog(), 0);   // soft-log ids 0, 2, 3
    }
    // The sensor numbers read until nothing is new.
    std::vector<int> drain(const char* cursor = "test.cfg")
    {
        std::vector<int> seen;
        EvtStruct event{};
        for (int guard = 0; guard < 100 && QVEL_ReadNextUnseenEvent(&event, cursor) == 0; ++guard)
            seen.push_back(event.selEntry.sensorNumber);
        return seen;
    }
    std::string cursorValue() const { return setting("test.cfg", "LastReadEvent"); }
};

TEST_F(Cursor, FreshCursorStartsAtTheFirstRecord)
{
    EvtStruct event{};
    ASSERT_EQ(QVEL_ReadNextUnseenEvent(&event, "test.cfg"), 0);
    EXPECT_EQ(event.selEntry.recordId, 0);
    EXPECT_EQ(cursorValue(), "0");
    EXPECT_EQ(drain(), (std::vector<int>{2, 3}));
    EXPECT_EQ(cursorValue(), "3");
}

TEST_F(Cursor, AtTheEndNothingIsWritten)
{
    drain();
    root_.writeFile("/usr/qvserver/etc/test.cfg", "[qvevtlog]\nLastEraseTime=0\nLastReadEvent=3\n");
    const auto before = root_.readFile("/usr/qvserver/etc/test.cfg");
    EvtStruct event{};
    EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, "test.cfg"), QVEL_NO_EVENT);
    EXPECT_EQ(root_.readFile("/usr/qvserver/etc/test.cfg"), before);
    write(9, "later");
    EXPECT_EQ(drain(), (std::vector<int>{9}));
}

TEST_F(Cursor, RecordGoneRestartsFromTheFirst)
{
    root_.writeFile("/usr/qvserver/etc/test.cfg", "[qvevtlog]\nLastEraseTime=0\nLastReadEvent=2\n");
    auto lines = softLines();
    writeSoftLog(lines[0] + "\n" + lines[2] + "\n");   // record 2 is gone
    EvtStruct event{};
    EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, "test.cfg"), QVEL_NO_EVENT);
    EXPECT_EQ(cursorValue(), "65535");
    EXPECT_EQ(drain(), (std::vector<int>{1, 3}));
}

TEST_F(Cursor, EraseSeenStartsOverAndWritesBothKeysTogether)
{
    drain();
    sim_.advanceClock(2000);
    clearSelOutside();
    write(7, "post");
    write(8, "post");
    EXPECT_EQ(drain(), (std::vector<int>{7, 8}));
    EXPECT_EQ(setting("test.cfg", "LastEraseTime"), "946684802");
    // A consumer that was away through the erase sees each new record once as well.
    EXPECT_EQ(drain("other.cfg"), (std::vector<int>{7, 8}));
}

// A cursor that cannot be saved (here: its name is taken by a directory) would return the same
// record at every call; the caller learns it, so it can stop instead of taking it again.
TEST_F(Cursor, UnsavedCursorReturnsItsRecordAsNotSaved)
{
    qv::test::makeDirectories(root_.at("/usr/qvserver/etc/test.cfg"));
    for (int call = 0; call < 2; ++call) {
        EvtStruct event{};
        EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, "test.cfg"), QVEL_ERR_FAILED);
        EXPECT_EQ(event.selEntry.sensorNumber, 1);
    }
}

TEST_F(Cursor, RecordOnlyInHardwareWaitsForAMirror)
{
    drain();
    // Add SEL Entry straight to the controller, as an outside writer would.
    std::vector<uint8_t> add{0x0A << 2, 0x44, 0, 0, 2, 0, 0, 0, 0, 0x20, 0, 3, 1, 42, 1, 0x52, 0x40, 0x30};
    ASSERT_EQ(sim_.handleMessage(add)[2], 0);
    EXPECT_EQ(drain(), std::vector<int>{});
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    EXPECT_EQ(drain(), (std::vector<int>{42}));
}

} // namespace
} // namespace qv::eventlog::test
