#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "bios_versions.h"
#include "host_inventory.h"
#include "host_objects.h"

namespace {

class BiosVersionsTest : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void open(const qv::sim::BiosInventory& inv)
    {
        writeImage(qv::sim::renderBiosImage(inv, qv::sim::DmiFormat::Smbios21));
        SetHostDmiObjects(nullptr, nullptr);
        bios_ = std::make_unique<qv::test::OpenBios>();
        SetHostDmiObjects(&bios_->driver, &bios_->bios);
    }
    void TearDown() override { SetHostDmiObjects(nullptr, nullptr); }

    std::unique_ptr<qv::test::OpenBios> bios_;
};

TEST(Trim, CutsTrailingBlanksOnly)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"V1.0  ", "V1.0"}, {" V1.0 \t", " V1.0"}, {"   ", ""}, {"", ""}, {"A B", "A B"},
    };
    for (const auto& c : cases) {
        std::string text = c.in;
        EXPECT_STREQ(Trim(text.data()), c.out) << '"' << c.in << '"';
    }
    EXPECT_EQ(Trim(nullptr), nullptr);
}

// Texts around the buffer length: the terminator must never land past the buffer (ASan).
TEST_F(BiosVersionsTest, TextsOfAnyLengthFitTheReturnedBuffer)
{
    constexpr int kLen = 60;
    for (const size_t length : {size_t{1}, size_t{59}, size_t{60}, size_t{61}, size_t{63}}) {
        qv::sim::BiosInventory inv;
        inv.biosInfo->version = std::string(length, 'V');
        inv.structures = {qv::test::extraBios(1, std::string(length, 'S') + "  ")};
        open(inv);
        char* buffer = static_cast<char*>(std::malloc(kLen));
        char* text = DLL_GetSystemBIOSVersion(buffer, kLen);
        ASSERT_NE(text, nullptr) << length;
        EXPECT_EQ(std::string(text), std::string(length, 'V'));
        text = DLL_GetSCSIBIOSVersion(buffer = text, kLen);
        ASSERT_NE(text, nullptr) << length;
        EXPECT_EQ(std::string(text), std::string(length, 'S'));
        std::free(text);
    }
}

TEST_F(BiosVersionsTest, NoBiosDataOrNoBufferGivesNull)
{
    EXPECT_EQ(DLL_GetVideoBIOSVersion(nullptr, 60), nullptr);
    writeImage(qv::test::blankBiosImage());
    SetHostDmiObjects(nullptr, nullptr);
    bios_ = std::make_unique<qv::test::OpenBios>();
    SetHostDmiObjects(&bios_->driver, &bios_->bios);
    char* buffer = static_cast<char*>(std::malloc(60));
    EXPECT_EQ(DLL_GetSystemBIOSVersion(buffer, 60), nullptr);
    std::free(buffer);
}

} // namespace
