#include <gtest/gtest.h>
#include <unistd.h>

#include "bios_fixture.h"

namespace {

using qv::test::blankBiosImage;
using qv::test::writeBinary;

class DriverTest : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void SetUp() override
    {
        auto image = blankBiosImage();
        image[0xE0000] = 0xE0;
        image[0xF0000] = 0xF0;
        image[0xFFFFF] = 0xFF;
        writeImage(image);
    }
};

struct SegmentCase {
    unsigned short segment;
    std::size_t length;
    uint8_t firstByte;
};

TEST_F(DriverTest, MapsSegmentsOnSixtyFourKilobyteBoundaries)
{
    const SegmentCase cases[] = {{0xF000, 0x10000, 0xF0}, {0xF123, 0x10000, 0xF0}, {0xE000, 0x20000, 0xE0}};
    CQVDMIDriver driver;
    ASSERT_EQ(driver.LoadDriver(), 1);
    EXPECT_EQ(driver.InitDriver(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.segment);
        EXPECT_EQ(CQVDMIDriver::SegmentLength(c.segment), c.length);
        const unsigned char* p = driver.GetPtrOnSegment(c.segment);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p[0], c.firstByte);
        EXPECT_EQ(p[c.length - 1], 0xFF);   // both mappings end at 1 MB
        EXPECT_EQ(driver.ReleasePtrOnSegment(), 1);
    }
    // A second mapping without a release replaces the first.
    ASSERT_NE(driver.GetPtrOnSegment(0xE000), nullptr);
    const unsigned char* second = driver.GetPtrOnSegment(0xF000);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second[0], 0xF0);
    driver.CloseDriver();
    EXPECT_EQ(driver.GetPtrOnSegment(0xF000), nullptr);
}

TEST_F(DriverTest, KeepsOneMappingForSegmentsItCoversUntilTheImageShrinks)
{
    CQVDMIDriver driver;
    ASSERT_EQ(driver.LoadDriver(), 1);
    const unsigned char* area = driver.GetPtrOnSegment(0xE000);
    ASSERT_NE(area, nullptr);
    ASSERT_EQ(driver.ReleasePtrOnSegment(), 1);
    const unsigned char* top = driver.GetPtrOnSegment(0xF000);
    EXPECT_EQ(top, area + 0x10000);   // the E mapping already covers the F segment
    EXPECT_EQ(top[0], 0xF0);
    // Mapped F alone, a later E request needs the larger area again.
    CQVDMIDriver second;
    ASSERT_EQ(second.LoadDriver(), 1);
    ASSERT_NE(second.GetPtrOnSegment(0xF000), nullptr);
    const unsigned char* whole = second.GetPtrOnSegment(0xE000);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole[0], 0xE0);
    // An image cut short under a kept mapping must not be read past its end.
    ASSERT_EQ(truncate(root.at("/dev/mem").c_str(), 0xF8000), 0);
    EXPECT_EQ(driver.GetPtrOnSegment(0xF000), nullptr);
    EXPECT_EQ(second.GetPtrOnSegment(0xE000), nullptr);
}

TEST_F(DriverTest, RefusesMappingWithoutDeviceOrPastTheEndOfAShortFile)
{
    CQVDMIDriver unopened;
    EXPECT_EQ(unopened.GetPtrOnSegment(0xF000), nullptr);

    writeBinary(root.at("/dev/mem"), std::vector<uint8_t>(0xF8000, 0));
    CQVDMIDriver shortImage;
    ASSERT_EQ(shortImage.LoadDriver(), 1);
    EXPECT_EQ(shortImage.GetPtrOnSegment(0xF000), nullptr);
    EXPECT_EQ(shortImage.GetPtrOnSegment(0xE000), nullptr);

    std::remove(root.at("/dev/mem").c_str());
    CQVDMIDriver missing;
    EXPECT_EQ(missing.LoadDriver(), 0);
    EXPECT_EQ(missing.GetPtrOnSegment(0xF000), nullptr);
}

TEST_F(DriverTest, ReadsCmosBytesFourteenToSixtyThree)
{
    std::vector<uint8_t> nvram(50);
    for (std::size_t i = 0; i < nvram.size(); ++i) nvram[i] = uint8_t(0xA0 + i);
    writeBinary(root.at("/dev/nvram"), nvram);
    CQVDMIDriver driver;   // CMOS needs no LoadDriver
    const struct { unsigned char index; unsigned char expected; } cases[] = {
        {13, 0}, {14, 0xA0}, {16, 0xA2}, {63, 0xA0 + 49}, {64, 0}, {255, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(driver.ReadCMOS(c.index), c.expected) << int(c.index);

    writeBinary(root.at("/dev/nvram"), {});
    EXPECT_EQ(driver.ReadCMOS(14), 0);   // no byte to read
}

struct DriverlessFacade : CQVDMIDriver {
    DriverlessFacade() : CQVDMIDriver(NoDriver{}) {}
};

TEST(DriverFacade, WithoutDriverObjectAnswersDefaults)
{
    DriverlessFacade facade;
    EXPECT_EQ(facade.InitDriver(), 0);
    EXPECT_EQ(facade.LoadDriver(), 0);
    EXPECT_EQ(facade.GetPtrOnSegment(0xF000), nullptr);
    EXPECT_EQ(facade.ReleasePtrOnSegment(), 0);
    EXPECT_EQ(facade.ReadCMOS(16), 0xFF);
    facade.CloseDriver();
}

} // namespace
