#include "drive_id.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// INQUIRY data of kInquiryBytes with texts at their offsets.
std::vector<uint8_t> inquiry(const std::string& vendorProduct, const std::string& revision,
                             const std::string& from36 = "") {
    std::vector<uint8_t> d(kInquiryBytes, 0);
    d[2] = d[3] = 2;
    std::memcpy(&d[8], vendorProduct.data(), std::min<size_t>(24, vendorProduct.size()));
    std::memcpy(&d[32], revision.data(), std::min<size_t>(4, revision.size()));
    std::memcpy(&d[36], from36.data(), from36.size());
    return d;
}

struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool identified;
    int id;
    uint32_t features;
    const char* fw;
};

class DriveIdTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDriveTablesForTests(); }
    void TearDown() override { ResetDriveTablesForTests(); }
};

TEST_F(DriveIdTest, IdentifiesByTableRowMakerLabelPatternNameAndDefault) {
    const std::vector<Case> cases = {
        {"drive table row", inquiry("IBM     DDYS-T18350N    ", "S94C"), true, 3, 0x613, "S94C"},
        {"last row", inquiry("WDC     WD100           ", "24.3"), true, 5, 0x600, "24.3"},
        {"maker-labelled Seagate", inquiry("QV      ST39204LC       ", "QV05", "1234SEAGATE"), true, 2, 0x810D, "QV05"},
        {"maker-labelled unknown", inquiry("qv      DISK            ", "qv01", "nobody"), true, 7, 0x800D, "qv01"},
        {"pattern F5??", inquiry("XYZ     DISK            ", "F5AB"), true, 4, 0x90D, "F5AB"},
        {"pattern ?84D", inquiry("XYZ     DISK            ", "A84D"), true, 3, 0x613, "A84D"},
        {"name in data", inquiry("ACME    DISK            ", "ZZZZ", "made by fujitsu"), true, 4, 0x50D, "ZZZZ"},
        {"name as vendor", inquiry("SEAGATE ST39204LC       ", "9999"), true, 2, 0x00D, "9999"},
        {"default row", inquiry("ACME    DISK            ", "ZZZZ"), false, 0, 0x205, "ZZZZ"},
        {"blank revision", inquiry("ACME    ST39103LC       ", "    "), false, 0, 0x205, "03LC"},
    };
    for (const Case& c : cases) {
        DiskInfoType row{};
        EXPECT_EQ(DetermineDiskInfo(c.data.data(), c.data.size(), &row), c.identified) << c.name;
        EXPECT_EQ(row.idMfg, c.id) << c.name;
        EXPECT_EQ(row.features, c.features) << c.name;
        EXPECT_EQ(std::string(row.pszFW, 4), c.fw) << c.name;
    }
}

TEST_F(DriveIdTest, NameBeyondTheFetchedBytesIsNotSeen) {
    // A maker's name only in bytes that were not fetched must not pick the row.
    std::vector<uint8_t> d = inquiry("ACME    DISK            ", "ZZZZ");
    const std::string name = "IBM";
    d.resize(kInquiryBytes + 10, 0);
    std::memcpy(&d[kInquiryBytes + 2], name.data(), name.size());
    DiskInfoType row{};
    EXPECT_FALSE(DetermineDiskInfo(d.data(), kInquiryBytes, &row));
    d[kInquiryBytes - 3] = 'I';
    d[kInquiryBytes - 2] = 'B';
    d[kInquiryBytes - 1] = 'M';
    EXPECT_TRUE(DetermineDiskInfo(d.data(), kInquiryBytes, &row));
}

TEST_F(DriveIdTest, DefinitionsLinesChangeRowsAndPatterns) {
    EXPECT_TRUE(ApplyExternalDefLine("S136 0x613\n"));
    EXPECT_TRUE(ApplyExternalDefLine("F3XY\t0x5"));
    EXPECT_FALSE(ApplyExternalDefLine(" S136 0x1"));
    EXPECT_FALSE(ApplyExternalDefLine("QQQQ 0x1"));
    DiskInfoType row{};
    auto s136 = inquiry("IBM     X               ", "S136");
    DetermineDiskInfo(s136.data(), s136.size(), &row);
    EXPECT_EQ(row.features, 0x613u);
    auto f3 = inquiry("X       X               ", "F3AA");
    DetermineDiskInfo(f3.data(), f3.size(), &row);
    EXPECT_EQ(row.features, 0x5u);
    EXPECT_TRUE(ApplyExternalDefLine("S136 017"));   // octal
    DetermineDiskInfo(s136.data(), s136.size(), &row);
    EXPECT_EQ(row.features, 15u);
}

TEST_F(DriveIdTest, SerialLengthsAndDefaultRows) {
    const uint8_t data[64] = {};
    for (auto [id, length] : std::vector<std::pair<int, uint32_t>>{{2, 8}, {3, 10}, {0, 12}, {1, 12}, {5, 12}, {7, 12}}) {
        sdType serial{};
        LocateSerialNumber(data, id, &serial);
        EXPECT_EQ(serial.pb, data + 36);
        EXPECT_EQ(serial.cb, length) << id;
    }
    DiskInfoType row{};
    EXPECT_TRUE(GetDfltMfgInfo(4, &row));
    EXPECT_EQ(row.features, 0x50Du);
    EXPECT_FALSE(GetDfltMfgInfo(9, &row));
    EXPECT_EQ(row.features, 0x205u);
}

} // namespace
