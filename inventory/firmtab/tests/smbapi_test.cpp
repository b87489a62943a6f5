#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "bios_image.h"
#include "dmi_globals.h"
#include "smbapi.h"

namespace {

std::vector<uint8_t> structure(std::size_t length, std::initializer_list<std::pair<std::size_t, uint8_t>> bytes)
{
    std::vector<uint8_t> data(length - 4);
    for (auto [offset, value] : bytes) data.at(offset - 4) = value;
    return data;
}

class SmbapiTest : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void SetUp() override
    {
        qv::sim::BiosInventory inv;
        inv.modelCode = 66;
        inv.structures = {
            {4, structure(26, {{16, 1}, {22, 0x90}, {23, 1}, {24, 0x41}}), {"   "}},
            {4, structure(26, {{24, 0x03}}), {}},
            {5, structure(15, {{8, 10}, {9, 60}, {14, 2}}), {}},
            {6, structure(12, {{4, 1}, {5, 0x01}, {6, 60}, {9, 7}, {10, 7}}), {"DIMM0"}},
            {6, structure(12, {{5, 0x2F}, {9, 0x7F}, {10, 0x7F}}), {}},
            {6, structure(12, {{9, 0x7C}, {10, 0x40}}), {}},   // sizes no 64-bit count holds
            {24, structure(5, {{4, 0x52}}), {}},
        };
        writeImage(qv::sim::renderBiosImage(inv, qv::sim::DmiFormat::Smbios21));
        bios_ = std::make_unique<qv::test::OpenBios>();
        SetDmiObjects(&bios_->driver, &bios_->bios);
    }
    void TearDown() override { SetDmiObjects(nullptr, nullptr); }

    std::unique_ptr<qv::test::OpenBios> bios_;
};

struct Call {
    const char* name;
    std::function<int(char*, int)> call;
    int length;
    int result;
    const char* text;   // expected buffer; nullptr: left alone
};

TEST_F(SmbapiTest, CopiesByTheTruncatingAndWholeRules)
{
    const Call calls[] = {
        {"max module size, short", SMBAPI_GetMaxModSize, 7, ERR_BUFFER_TOO_SMALL, "1024 M"},
        {"max module size", SMBAPI_GetMaxModSize, 8, 0, "1024 MB"},
        {"memory speed, short", SMBAPI_GetMemSpeed, 2, ERR_BUFFER_TOO_SMALL, nullptr},
        {"memory speed", SMBAPI_GetMemSpeed, 3, 0, "60"},
        {"length 1000 acts as 255", SMBAPI_GetMemNumSlots, 1000, 0, "2"},
        {"length 0 writes nothing", SMBAPI_GetComputerName, 0, ERR_BUFFER_TOO_SMALL, nullptr},
        {"serial", SMBAPI_GetSerialNumber, 64, 0, "QV99120047"},
        {"system version", SMBAPI_GetSystemVersion, 64, 0, nullptr},
        {"processor speed", [](char* b, int l) { return SMBAPI_GetProcessorSpeed(0, b, l); }, 8, 0, "400"},
        {"blank processor version",
         [](char* b, int l) { return SMBAPI_GetProcessorVersion(0, b, l); }, 32, 0, "Pentium class"},
        {"module 1 socket", [](char* b, int l) { return SMBAPI_GetMemModSocket(0, b, l); }, 16, 0, "DIMM0"},
        {"module 1 bank", [](char* b, int l) { return SMBAPI_GetModBankConnect(0, b, l); }, 32, 0, "RAS# 0 & RAS# 1 "},
        {"module 1 size", [](char* b, int l) { return SMBAPI_GetModInstalledSize(0, b, l); }, 8, 0, "128 MB\t"},
        {"module 1 size, short",
         [](char* b, int l) { return SMBAPI_GetModInstalledSize(0, b, l); }, 7, ERR_DMI_NOT_PRESENT, nullptr},
        {"empty slot bank", [](char* b, int l) { return SMBAPI_GetModBankConnect(1, b, l); }, 8, 0, "-"},
        {"empty slot speed", [](char* b, int l) { return SMBAPI_GetModSpeed(1, b, l); }, 8, 0, "0"},
        {"empty slot size", [](char* b, int l) { return SMBAPI_GetModInstalledSize(1, b, l); }, 8, 0, "0"},
        {"size past 64 bits", [](char* b, int l) { return SMBAPI_GetModInstalledSize(2, b, l); }, 64,
         ERR_DMI_NOT_PRESENT, nullptr},
        {"module past the count", [](char* b, int l) { return SMBAPI_GetModSpeed(3, b, l); }, 8,
         ERR_INDEX_OUT_OF_RANGE, nullptr},
        {"module -1", [](char* b, int l) { return SMBAPI_GetModSpeed(-1, b, l); }, 8, ERR_INDEX_OUT_OF_RANGE, nullptr},
        {"total memory", SMBAPI_GetTotalMemSize, 16, 0, "128 MB"},
        {"total memory, short", SMBAPI_GetTotalMemSize, 4, 0, "0"},
        {"power-on password from security byte", SMBAPI_GetSysPwrOnPass, 4, 0, "1"},
        {"keyboard password from security byte", SMBAPI_GetkbPassStatus, 4, 0, "1"},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(c.name);
        char buffer[300];
        std::memset(buffer, '#', sizeof buffer);
        buffer[sizeof buffer - 1] = 0;
        const std::string before = buffer;
        EXPECT_EQ(c.call(buffer, c.length), c.result);
        EXPECT_EQ(std::string(buffer), c.text ? std::string(c.text) : before);
    }
    EXPECT_EQ(SMBAPI_GetNumberOfMemMod(), 3);
    EXPECT_EQ(SMBAPI_GetTotalNumberOfProcessors(), 1);
    EXPECT_EQ(SMBAPI_GetComputerName(nullptr, 10), ERR_INVALID_PARAMETER);
}

TEST(SmbapiWithoutTables, EveryCheckedCallReportsNoTable)
{
    qv::test::TempRoot root;   // no /dev/mem at all
    char buffer[16] = "keep";
    EXPECT_EQ(SMBAPI_GetComputerName(buffer, sizeof buffer), ERR_DMI_NOT_PRESENT);
    EXPECT_EQ(SMBAPI_GetModSpeed(0, buffer, sizeof buffer), ERR_DMI_NOT_PRESENT);
    EXPECT_EQ(SMBAPI_GetNumberOfMemMod(), 0);
    EXPECT_EQ(SMBAPI_GetTotalNumberOfProcessors(), 0);
    CloseDll();       // before InitializeDll: nothing
    InitializeDll();  // the library's own objects, still no table
    InitializeDll();
    EXPECT_EQ(SMBAPI_GetBiosVersion(buffer, sizeof buffer), ERR_DMI_NOT_PRESENT);
    EXPECT_STREQ(buffer, "keep");
    CloseDll();
}

} // namespace
