// Plausibility, ranking and the registry/SMBIOS paths of the server serial number.
#include <gtest/gtest.h>

#include <cstring>

#include "serial_number.h"
#include "temp_root.h"

namespace {

TEST(SerialNumber, Plausibility)
{
    const struct {
        const char* text;
        int valid;
    } cases[] = {{"USE2345678", 1}, {"SGH0123ABC", 1}, {"1357", 1},  {"AB", 1},
                 {"2345678901", 0}, {"0000000000", 0}, {"9876", 0},  {"A1", 0},
                 {"A0", 0},         {"unknown", 0},    {"", 0}};
    for (const auto& c : cases) EXPECT_EQ(IsValidSerial(const_cast<char*>(c.text)), c.valid) << c.text;
    EXPECT_EQ(IsValidSerial(nullptr), 0);
}

TEST(SerialNumber, RanksFavourLowerRanksAndTheFirstOfEqualOnes)
{
    CIpmiSNRank ranker;
    EXPECT_EQ(ranker.GetRank(0x22, SN_PRODUCT), 1);
    EXPECT_EQ(ranker.GetRank(0x06, SN_BOARD), 25);
    EXPECT_EQ(ranker.GetRank(0x30, SN_PRODUCT), SN_NO_RANK);
    char board[] = "BOARD0001X", chassis[] = "CHASSIS01X", other[] = "OTHER0001X", bad[] = "9876";
    EXPECT_EQ(ranker.RegisterSN(board, 0x22, SN_BOARD, 0), 1);
    EXPECT_EQ(ranker.RegisterSN(chassis, 0x24, SN_CHASSIS, 0), 1);
    EXPECT_STREQ(ranker.szSerialNo, "CHASSIS01X");
    EXPECT_EQ(ranker.RegisterSN(other, 0x06, SN_CHASSIS, 0), 0);   // equal rank: first stays
    EXPECT_EQ(ranker.RegisterSN(bad, 0x22, SN_PRODUCT, 0), 0);
    EXPECT_EQ(ranker.RegisterSN(other, 0x22, SN_PRODUCT, 1), 1);   // degraded: rank 2
    EXPECT_EQ(ranker.rank, 2);
}

TEST(SerialNumber, CacheIsTakenAsItIsAndNoSourceLeavesTheBufferUntouched)
{
    qv::test::TempRoot root;
    char out[16];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(GetQVSerialNumber(out, sizeof out), ERR_SERIAL_NOT_FOUND);   // no tables, no system
    EXPECT_EQ(out[0], 'z');
    const char cached[] = "9876";   // no longer plausible, still returned
    ASSERT_EQ(SetRegData(szRegSerial, cached, sizeof cached), 0u);
    EXPECT_EQ(GetQVSerialNumber(out, sizeof out), 0);
    EXPECT_STREQ(out, "9876");
    char small[3];
    EXPECT_EQ(GetQVSerialNumber(small, sizeof small), 0);
    EXPECT_STREQ(small, "98");
}

} // namespace
