// The asset-tag area: validation of area images, the record editor, and the self-test records
// written to and read from drives.
#include "dst_records.h"
#include "fake_drive_areas.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using tagtest::Area;
using tagtest::areaOf;
using tagtest::drives;

std::vector<Byte> concat(std::initializer_list<std::vector<Byte>> parts)
{
    std::vector<Byte> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<Byte> timeRec(Byte id, uint32_t t)
{
    return {6, id, Byte(t >> 24), Byte(t >> 16), Byte(t >> 8), Byte(t)};
}

const std::vector<Byte> kText{6, 0x81, 'Q', 'V', '-', '1'};

struct AreaCase {
    const char* name;
    std::vector<Byte> bytes;
    Index records;   // 0: the area counts as holding none
};

// Three text records filling bytes 0 to 598: a record byte at 599 has no room for its header.
std::vector<Byte> fillTo599()
{
    std::vector<Byte> big{255, 0x81};
    big.insert(big.end(), 253, 'a');
    std::vector<Byte> more{255, 0x82};
    more.insert(more.end(), 253, 'b');
    std::vector<Byte> rest{89, 0x83};
    rest.insert(rest.end(), 87, 'c');
    return concat({big, more, rest});
}

TEST(TagAreaValidation, EachImageIsKeptWholeOrCountsAsEmpty)
{
    const std::vector<AreaCase> cases = {
        {"all zero", {}, 0},
        {"earliest time", timeRec(0x6A, 915148800u), 1},
        {"a second before it", concat({kText, timeRec(0x6A, 915148799u)}), 0},
        {"text with 0x7F", {4, 0x81, 'a', 0x7F}, 0},
        {"length past the used area", {6, 0x81, 'a', 'b'}, 0},
        {"field 10 belongs to 0x6A", {3, 0x8A, 'a'}, 0},
        {"unknown byte field", {3, 0x30, 0xFF}, 1},
        {"32-bit value with 5 bytes", {7, 0x54, 1, 2, 3, 4, 5}, 0},
        {"repeated 32-bit values, 8 bytes", {10, 0xD4, 1, 2, 3, 4, 5, 6, 7, 8}, 1},
        {"repeated 32-bit values, 6 bytes", {8, 0xD4, 1, 2, 3, 4, 5, 6}, 0},
        {"length byte 1", {1, 0x81}, 0},
        {"one byte record without repeat flag holding two", {4, 0x25, 1, 2}, 0},
        {"field number 0 ends the list", concat({kText, {3, 0x20, 9}, kText}), 1},
        {"records up to byte 598", fillTo599(), 3},
        {"a record starting at byte 599", fillTo599(), 0},
        {"the DST records", concat({timeRec('k', 0x40000000), timeRec('j', 0x40000000), {3, '-', 0}}), 3},
    };
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(c.name);
        Area area = areaOf(c.bytes);
        if (std::string(c.name) == "a record starting at byte 599") area[599] = 7;
        CFieldPacker packer(kTagAreaSize);
        EXPECT_EQ(packer.SetInitialFields(sdType{area.data(), kTagAreaSize}), c.records > 0);
        Index n = 0;
        while (packer.GetField(n).pb) ++n;
        EXPECT_EQ(n, c.records);
        // What would be written back: the kept records, nothing after them.
        const sdType used = packer.GetFieldArea();
        for (Index i = used.cb; i < kTagAreaSize; ++i) ASSERT_EQ(used.pb[i], 0) << i;
        if (c.records == 0) {
            EXPECT_EQ(used.cb, 0u);
        }
    }
}

TEST(TagAreaEditor, AddReplaceDeleteAndCapacity)
{
    CFieldPacker packer(kTagAreaSize);
    Byte one[3] = {3, 0x25, 1};
    Byte two[3] = {3, 0x25, 2};
    ASSERT_TRUE(packer.AddField(kText.empty() ? nullptr : const_cast<Byte*>(kText.data()), false));
    ASSERT_TRUE(packer.AddField(one, false));
    EXPECT_TRUE(packer.AddField(two, false));   // kept as it was
    sdType found{};
    ASSERT_TRUE(packer.FindField(0x25, &found));
    EXPECT_EQ(found.pb[2], 1);
    ASSERT_TRUE(packer.AddField(two, true));
    ASSERT_TRUE(packer.FindField(0x25, &found));
    EXPECT_EQ(found.pb[2], 2);
    EXPECT_EQ(packer.GetField(1).pb[1], 0x25);   // replaced records move to the end
    EXPECT_TRUE(packer.DeleteField(0x81));
    EXPECT_FALSE(packer.DeleteField(0x81));
    EXPECT_EQ(packer.GetFieldArea().cb, 3u);
    EXPECT_EQ(packer.GetField(1).pb, nullptr);

    CFieldPacker small(8);
    ASSERT_TRUE(small.AddField(one, false));
    Byte text[6] = {6, 0x81, 'a', 'b', 'c', 'd'};
    EXPECT_FALSE(small.AddField(text, false));
    EXPECT_EQ(small.GetFieldArea().cb, 3u);
}

class DstRecords : public ::testing::Test {
protected:
    void SetUp() override { tagtest::resetDrives(); }
    Area& area() { return drives().areas[{1, 0, 3}]; }
};

TEST_F(DstRecords, StartOnAnEmptyAreaWritesStartThenLastTime)
{
    const time_t before = std::time(nullptr);
    const time_t now = TattooDstStartTime(1, 0, 3);
    EXPECT_GE(now, before);
    EXPECT_EQ(area(), areaOf(concat({timeRec('k', uint32_t(now)), timeRec('j', uint32_t(now))})));
    EXPECT_EQ(ReadDstStartTime(1, 0, 3), now);
    EXPECT_EQ(ReadDstEndTime(1, 0, 3), 0);
    EXPECT_EQ(ReadDstTattooResult(1, 0, 3), 255);
}

TEST_F(DstRecords, StartKeepsOutsideRecordsAndDropsTheLastTestsEnd)
{
    area() = areaOf(concat({timeRec('k', 0x40000000), timeRec('l', 0x40000001), timeRec('j', 0x40000001),
                            {3, '-', 2}, kText}));
    const time_t now = TattooDstStartTime(1, 0, 3);
    EXPECT_EQ(area(), areaOf(concat({kText, timeRec('k', uint32_t(now)), timeRec('j', uint32_t(now))})));
}

TEST_F(DstRecords, EndAndResultAreWrittenOncePerTest)
{
    area() = areaOf(concat({timeRec('k', 0x40000000), timeRec('j', 0x40000000)}));
    const time_t end = TattooDstEndTime(1, 0, 3);
    TattooDstResult(1, 0, 3, 4);
    EXPECT_EQ(drives().writes, 2);
    const Area done = area();
    EXPECT_EQ(done, areaOf(concat({timeRec('k', 0x40000000), timeRec('l', uint32_t(end)),
                                   timeRec('j', uint32_t(end)), {3, '-', 4}})));
    TattooDstEndTime(1, 0, 3);
    TattooDstResult(1, 0, 3, 9);
    EXPECT_EQ(drives().writes, 2);
    EXPECT_EQ(area(), done);
    EXPECT_EQ(ReadDstTattooResult(1, 0, 3), 4);
}

TEST_F(DstRecords, TimesAreUnsigned32BitValues)
{
    area() = areaOf(timeRec('k', 0xF0000000u));
    EXPECT_EQ(ReadDstStartTime(1, 0, 3), time_t{0xF0000000u});
}

TEST_F(DstRecords, AnUnreadableOrForeignAreaIsNeverWritten)
{
    // Not a valid list, but not empty either: what an outside tool wrote stays.
    const Area foreign = areaOf({4, 0x81, 'a', 0x7F, 6, 0x82, 'x', 'y', 'z', 'w'});
    area() = foreign;
    const time_t before = std::time(nullptr);
    EXPECT_GE(TattooDstStartTime(1, 0, 3), before);
    TattooDstResult(1, 0, 3, 1);
    EXPECT_EQ(drives().writes, 0);
    EXPECT_EQ(area(), foreign);
    EXPECT_EQ(ReadDstStartTime(1, 0, 3), 0);
    EXPECT_EQ(ReadDstTattooResult(1, 0, 3), 255);

    drives().readStatus = 0x82;
    EXPECT_GE(TattooDstStartTime(2, 0, 0), before);
    EXPECT_EQ(drives().writes, 0);
    EXPECT_EQ(ReadDstEndTime(2, 0, 0), 0);
    EXPECT_EQ(ReadDstTattooResult(2, 0, 0), 255);
}

} // namespace
