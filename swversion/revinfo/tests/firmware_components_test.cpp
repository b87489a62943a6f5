// The firmware list with fakes behind the IPMI cache client and the SCSI library seam.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "firmware_components.h"
#include "fake_adapters.h"

namespace {

using namespace revinfo;

struct FakeSystem {
    bool answers = true;
    uint8_t version = 0x10;
    std::vector<PkgInfoType> packages;
    unsigned packageBytes = sizeof(PkgInfoType);
};
FakeSystem g_fake;

unsigned fakeIpmi(unsigned op, unsigned package, unsigned, ParamsType*, sdType data, unsigned* got)
{
    if (!g_fake.answers) return 1;
    if (op == IPMI_REQ_SYSTEM) {
        IpmiInfoType info {};
        info.bVersion = g_fake.version;
        info.nPackages = static_cast<uint32_t>(g_fake.packages.size());
        std::memcpy(data.pb, &info, sizeof info);
        *got = sizeof info;
        return 0;
    }
    std::memcpy(data.pb, &g_fake.packages.at(package), g_fake.packageBytes);
    *got = g_fake.packageBytes;
    return 0;
}

PkgInfoType package(uint8_t address, const char* version)
{
    PkgInfoType p {};
    std::strncpy(p.szFWVersion, version, sizeof p.szFWVersion);
    p.bAddr = address;
    return p;
}

FakeAdapter adapter(int idClass, int board, const char* bios) { return {idClass, board, bios}; }

class FirmwareListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeSystem{};
        ipmiGetData() = fakeIpmi;
    }
    void TearDown() override
    {
        ipmiGetData() = QvIpmiGetData;
        restoreScsiUnits();
    }
    std::vector<SFWInfo> load()
    {
        CFWInfo list;
        std::vector<SFWInfo> out;
        unsigned count = 0;
        status = list.GetComponentCount(&count);
        for (unsigned i = 0; i < count; ++i) {
            out.emplace_back();
            EXPECT_EQ(list.GetComponentInfo(i, &out.back()), 0);
        }
        discovered = list.discovered();
        return out;
    }
    int status = -1;
    bool discovered = false;
};

TEST_F(FirmwareListTest, ControllersTakeTheirIdFromAddressAndVersionByte)
{
    const struct { uint8_t version; uint8_t address; unsigned id; const char* product; FIRMWARE_TYPE type; } cases[] = {
        {0x10, 0x20, 0x20, "MMC Management Controller", FW_MMC},
        {0x09, 0x9C, 0x9C, "Hot Swap Cage 2", FW_MIRRAFIN2},
        {0x10, 0x9C, 0x9D, "Hot Swap Cage 3", FW_MIRRAFIN3},
        {0x51, 0x9E, 0x9F, "Hot Swap Cage 3", FW_MIRRAFIN3},
        {0x10, 0x42, 0x42, "IPMI controller", FW_UNKNOWN},
    };
    for (const auto& c : cases) {
        g_fake.version = c.version;
        g_fake.packages = {package(c.address, "1.23")};
        installFakeAdapters({});
        const auto list = load();
        ASSERT_EQ(list.size(), 1u) << int(c.address);
        EXPECT_EQ(list[0].id, c.id);
        EXPECT_STREQ(list[0].szProdID, c.product);
        EXPECT_STREQ(list[0].szMfg, "QV");
        EXPECT_STREQ(list[0].szVersion, "1.23");
        EXPECT_EQ(MapFWComponentType(list[0].id), c.type);
    }
}

TEST_F(FirmwareListTest, AdaptersAreNumberedByClassAndBoard)
{
    installFakeAdapters({adapter(1, 0x45, "R1"), adapter(1, 0x99, "R2"), adapter(5, 0, "I1"),
                         adapter(7, 0, "X1"), adapter(0, 0, "S1"), adapter(2, 0, "")});
    const auto list = load();
    const struct { unsigned id; FIRMWARE_TYPE type; } expected[] = {
        {1003, FW_STRATAVOL_EMBEDDED_KVXXXX_SERIES}, {1000, FW_STRATAVOL}, {5000, FW_HBA_IDE},
        {7000, FW_UNKNOWN}, {999, FW_HBA_SCSI},
    };
    ASSERT_EQ(list.size(), std::size(expected));
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].id, expected[i].id);
        EXPECT_EQ(MapFWComponentType(list[i].id), expected[i].type);
    }
    EXPECT_STREQ(list[0].szMfg, "Brand");
    EXPECT_STREQ(list[0].szProdID, "Product");
}

TEST_F(FirmwareListTest, FailuresAndOddRecords)
{
    installFakeAdapters({});
    g_fake.answers = false;
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(discovered);

    // A version of all 20 bytes has no terminator: it is cut there.
    g_fake = FakeSystem{};
    PkgInfoType full = package(0x20, "");
    std::memset(full.szFWVersion, '7', sizeof full.szFWVersion);
    g_fake.packages = {full, package(0x22, "")};
    auto list = load();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::string(list[0].szVersion), std::string(20, '7'));

    // A package count no bus can hold is taken as no answer.
    g_fake.packages.resize(300, package(0x20, "1.0"));
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(status, 0);
    g_fake.packages.resize(2);

    // A short package answer drops the whole list.
    installFakeAdapters({adapter(1, 0x41, "R1")});
    g_fake.packageBytes = 28;
    EXPECT_TRUE(load().empty());
    EXPECT_EQ(status, 0x100012);
    EXPECT_FALSE(discovered);
}

TEST(FirmwareIds, TextsAreHexWhenTwoCharacters)
{
    const struct { const char* text; FIRMWARE_TYPE type; FW_FAMILY_TYPE family; } cases[] = {
        {"1F", FW_UNKNOWN, FAM_UNKNOWN}, {"20", FW_MMC, FAM_SYSTEM}, {"7F", FW_ETV, FAM_MGMT},
        {"127", FW_ETV, FAM_MGMT}, {"1004", FW_STRATAVOL_1Si, FAM_STORAGE}, {"06", FW_CMC, FAM_SYSTEM},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapFWComponentType(c.text), c.type) << c.text;
        EXPECT_EQ(MapFWComponentFamily(c.text), c.family) << c.text;
    }
}

} // namespace
