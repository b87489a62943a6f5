// The soft-log line: what the writer prints is what the reader takes back, and damaged lines
// never become records they are not.
#include "eventlog_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace qv::eventlog {
namespace {

Sel sample()
{
    Sel r{};
    r.recordId = 0x0102;
    r.recordType = 2;
    r.timestamp = 0x386D4380;
    r.generatorId = 0x20;
    r.eventVersion = 3;
    r.sensorType = 0x0C;
    r.sensorNumber = 0x60;
    r.eventTrigger = 0x6F;
    r.eventData1 = 0xA0;
    r.eventData2 = 0x00;
    r.eventData3 = 0x01;
    return r;
}

TEST(SoftLogLine, WriterPrintsBytesThenAddString)
{
    char add[] = "DIMM1!bank 0";
    EXPECT_EQ(formatRecordLine(sample(), add),
              "02 01 02 80 43 6d 38 20 00 03 0c 60 6f a0 00 01 DIMM1!bank 0\n");
    EXPECT_EQ(formatRecordLine(sample(), nullptr).size(), kRecordTextLength + 1);
}

TEST(SoftLogLine, AddStringIsCutAndCannotForgeLines)
{
    std::string longText(300, 'x');
    cutAddString(longText.data());
    EXPECT_EQ(std::strlen(longText.c_str()), 206u);

    // A trap could carry a whole record line after a line feed: it stays part of this line.
    const std::string forged = "vol\n" + std::string("01 00 02 00 00 00 00 21 00 03 20 01 6f 00 ff ff") + "\rX";
    const std::string line = formatRecordLine(sample(), forged.c_str());
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    Sel back{};
    char addOut[256];
    ASSERT_TRUE(parseRecordLine(line.substr(0, line.size() - 1), back, addOut));
    const Sel expected = sample();
    EXPECT_EQ(std::memcmp(&back, &expected, sizeof back), 0);
    EXPECT_EQ(std::string(addOut), "vol 01 00 02 00 00 00 00 21 00 03 20 01 6f 00 ff ff X");
}

TEST(SoftLogLine, ReaderTable)
{
    struct Case {
        const char* line;
        int result;
        uint16_t id;          // when a record was read
        const char* addString;
    };
    const Case cases[] = {
        {"02 01 02 80 43 6d 38 20 00 03 0c 60 6f a0 00 01 \t  text!two\n", 0, 0x0102, "text!two"},
        {"02 01 02 80 43 6d 38 20 00 03 0c 60 6f a0 00 01 ", 0, 0x0102, ""},
        {"0A 0B 02 80 43 6D 38 20 00 03 0C 60 6F A0 00 01 upper", 0, 0x0B0A, "upper"},
        {"zz zz 02 80 43 6d 38 20 00 03 0c 60 6f a0 00 01 x", 0, 0, "x"},        // no digits: 0
        {"fffffffff 80 43 6d 38 20 00 03 0c 60 6f a0 00 01 xxxxx", 0, 0xFFFF, "xxxxx"},   // long runs
        {"  short line", 0, 0x7777, "short line"},     // leaves the record alone
        {"", QVEL_ERR_INVALID, 0x7777, ""},
    };
    for (const Case& c : cases) {
        Sel record{};
        record.recordId = 0x7777;
        char addOut[256] = "";
        EXPECT_EQ(MakeSELFromString(&record, addOut, c.line), c.result) << c.line;
        EXPECT_EQ(record.recordId, c.id) << c.line;
        EXPECT_STREQ(addOut, c.addString) << c.line;
    }
    Sel record{};
    char addOut[256];
    EXPECT_EQ(MakeSELFromString(nullptr, addOut, "x"), QVEL_ERR_INVALID);
    EXPECT_EQ(MakeSELFromString(&record, nullptr, "x"), QVEL_ERR_INVALID);
    EXPECT_EQ(MakeSELFromString(&record, addOut, nullptr), QVEL_ERR_INVALID);
    // A short line carries no record: scanning readers skip it instead of seeing the last one again.
    EXPECT_FALSE(parseRecordId("  short line"));
}

TEST(SoftLogLine, OverlongDamagedLineIsBounded)
{
    const std::string line = std::string(48, '1') + std::string(5000, 'a');
    Sel record{};
    char addOut[256];
    ASSERT_EQ(MakeSELFromString(&record, addOut, line.c_str()), 0);
    EXPECT_EQ(std::strlen(addOut), 255u);
}

TEST(SoftLogHelpers, RemoveWhiteSpaceAndItoa)
{
    char text[] = " \t x y";
    char* cursor = text;
    EXPECT_EQ(RemoveWhiteSpace(&cursor), 'x');
    EXPECT_EQ(cursor, text + 3);
    char buf[16];
    EXPECT_STREQ(itoa(-42, buf, 10), "-42");
    EXPECT_STREQ(itoa(255, buf, 16), "FF");
    EXPECT_EXIT(itoa(1, buf, 8), ::testing::ExitedWithCode(1), "itoa\\(\\): unknown base: 8");
}

} // namespace
} // namespace qv::eventlog
