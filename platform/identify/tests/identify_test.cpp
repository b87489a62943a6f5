#include "bios_image_craft.h"
#include "identify.h"
#include "registry.h"
#include "temp_root.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace qv::test;

namespace {

// Tables live in the E0000h segment, anchors in the F0000h segment, as on the servers.
constexpr size_t kSmbiosAnchor = 0xF0010;
constexpr uint16_t kSegmentE = 0x000E;

BiosImage smbiosImage(uint8_t code)
{
    BiosImage image = blankBiosImage();
    putSmbiosEntry(image, kSmbiosAnchor, kSegmentE, 0x1000, 4);
    size_t pos = putStructure(image, 0xE1000, 0, 0x14, {"Maker", "1.02"});
    pos = putStructure(image, pos, 1, 0x19, {"Maker", "Server"});
    putOemStructure(image, pos, code);
    return image;
}

BiosImage dmi20Image(uint8_t code)
{
    BiosImage image = blankBiosImage();
    putDmi20Anchor(image, 0xF5000, {0x2000, 0x3000});
    putStructure(image, 0xF2000, 1, 8, {"Server"});
    putOemStructure(image, 0xF3000, code);
    return image;
}

BiosImage dmi10Image(uint8_t code, size_t segment)
{
    BiosImage image = blankBiosImage();
    putDmi10Header(image, segment + 0x8000, 0x9000);
    putDmi10Record(image, segment + 0x9000, code);
    return image;
}

class IdentifyTest : public ::testing::Test {
protected:
    unsigned long identify(const BiosImage& image)
    {
        writeMemDevice(root, image);
        unsigned long code = 0xDEAD;
        EXPECT_EQ(IdentifyVelkarn(&code), 0);
        return code;
    }

    TempRoot root;
};

TEST_F(IdentifyTest, ReadsCodeFromEachTableFormat)
{
    EXPECT_EQ(identify(smbiosImage(64)), 64u);   // OEM record is the third structure
    EXPECT_EQ(identify(dmi20Image(60)), 60u);
    EXPECT_EQ(identify(dmi10Image(71, 0xF0000)), 71u);
    EXPECT_EQ(identify(dmi10Image(72, 0xE0000)), 72u);
    EXPECT_EQ(identify(blankBiosImage()), 0u);
}

TEST_F(IdentifyTest, LowerAnchorWinsWhenBothArePresent)
{
    struct Case { size_t smbiosAt, dmi20At; unsigned long expected; };
    for (const Case& c : {Case{0xF0010, 0xF5000, 64}, Case{0xF6000, 0xF5000, 60}}) {
        BiosImage image = dmi20Image(60);
        putSmbiosEntry(image, c.smbiosAt, kSegmentE, 0x1000, 1);
        putOemStructure(image, 0xE1000, 64);
        EXPECT_EQ(identify(image), c.expected) << std::hex << c.smbiosAt;
    }
}

TEST_F(IdentifyTest, Dmi10HeaderOnlyOnParagraphBoundary)
{
    BiosImage image = blankBiosImage();
    putDmi10Header(image, 0xF8008, 0x9000);
    putDmi10Record(image, 0xF9000, 71);
    EXPECT_EQ(identify(image), 0u);
}

TEST_F(IdentifyTest, OemRecordWithoutMarkerIsNoCode)
{
    BiosImage image = smbiosImage(64);
    image[0xE1000 + 0x14 + 12 + 0x19 + 14 + 4] = 'X';  // the OEM record's 'Q'
    EXPECT_EQ(identify(image), 0u);
}

TEST_F(IdentifyTest, StringSetRunningOffTheMappingEndsTheWalk)
{
    BiosImage image = blankBiosImage();
    putSmbiosEntry(image, kSmbiosAnchor, kSegmentE, 0xFFF0, 5);
    putStructure(image, 0xEFFF0, 1, 4, {});
    for (size_t i = 0xEFFF4; i < kBiosImageSize; ++i) image[i] = 'A';
    EXPECT_EQ(identify(image), 0u);
}

TEST_F(IdentifyTest, Dmi20EntryPastTheScanAreaEndsTheList)
{
    BiosImage image = blankBiosImage();
    putDmi20Anchor(image, 0xF5000, {0xFF90, 0x3000});
    putOemStructure(image, 0xF3000, 60);
    EXPECT_EQ(identify(image), 0u);
}

TEST_F(IdentifyTest, ShortRegularFileIsRefused)
{
    BiosImage image = smbiosImage(64);
    image.resize(0xF8000);
    writeMemDevice(root, image);
    unsigned long code = 0xDEAD;
    EXPECT_EQ(IdentifyVelkarn(&code), 1);
    EXPECT_EQ(MmMapIoSpace({0xE0000}, 0x20000, 0), nullptr);
    EXPECT_EQ(IsVelkarnId(), 0);
}

TEST_F(IdentifyTest, MissingMemoryDeviceFails)
{
    unsigned long code = 0;
    EXPECT_EQ(IdentifyVelkarn(&code), 1);
}

TEST_F(IdentifyTest, MapsUnalignedPhysicalAddress)
{
    BiosImage image = blankBiosImage();
    pokeText(image, 0xF0123, "QV!");
    writeMemDevice(root, image);
    auto* bytes = static_cast<const char*>(MmMapIoSpace({0xF0123}, 3, 0));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(bytes, 3), "QV!");
    MmUnmapIoSpace(const_cast<char*>(bytes), 3);
}

TEST_F(IdentifyTest, IsVelkarnIdUsesLibrarySet)
{
    struct Case { uint8_t code; int expected; };
    for (const Case& c : {Case{55, 1}, Case{79, 0}, Case{80, 0}, Case{89, 1}, Case{90, 0}}) {
        writeMemDevice(root, smbiosImage(c.code));
        EXPECT_EQ(IsVelkarnId(), c.expected) << int(c.code);
    }
}

TEST(ModelCodeSets, ProgramAndLibrarySets)
{
    int programCount = 0, libraryCount = 0;
    for (unsigned long code = 0; code < 256; ++code) {
        programCount += IsProgramModelCode(code);
        libraryCount += IsLibraryModelCode(code);
    }
    EXPECT_EQ(programCount, 26);
    EXPECT_EQ(libraryCount, 24);
    struct Case { unsigned long code; bool program, library; };
    for (const Case& c : {Case{54, false, false}, Case{55, true, true}, Case{58, false, false},
                          Case{59, true, true}, Case{69, true, true}, Case{70, false, false},
                          Case{73, true, true}, Case{74, false, false}, Case{75, true, true},
                          Case{76, false, false}, Case{79, true, false}, Case{80, true, false},
                          Case{81, false, false}, Case{82, true, true}, Case{89, true, true},
                          Case{90, false, false}, Case{55 + 0x100000000UL, false, false}}) {
        EXPECT_EQ(IsProgramModelCode(c.code), c.program) << c.code;
        EXPECT_EQ(IsLibraryModelCode(c.code), c.library) << c.code;
    }
}

TEST(IdentifyVelkarnRegTest, ReadsStoredCodeIntoWholeValue)
{
    TempRoot root;
    unsigned long code = ~0UL;
    EXPECT_EQ(IdentifyVelkarnReg(&code), 1);
    uint32_t stored = 79;
    ASSERT_EQ(SetRegData(kRegKeySpuNum, &stored, sizeof stored), 0u);
    code = ~0UL;
    EXPECT_EQ(IdentifyVelkarnReg(&code), 0);
    EXPECT_EQ(code, 79u);
}

} // namespace
