// Corrupt tables read as absent fields; no reader ever touches memory past its mapping.
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "bios_image.h"

namespace {

using qv::sim::DmiFormat;
using qv::test::putBytes;
using UC = unsigned char;
using US = unsigned short;

// Touches every kind of query once; the sanitizers report any stray access.
void exerciseReaders(CQVDMIBIOS& b)
{
    UC buffer[256];
    UC length = 100;
    UC byte = 0, other = 0;
    US word = 0;
    unsigned long long qword = 0;
    for (UC type : {0, 1, 4, 6, 11, 128, 133, 255}) {
        b.GetSubstructureOccurence(type);
        length = 100;
        b.GetDMISubStructure(type, 1, buffer, length);
        for (UC number = 1; number < 6; ++number) b.GetDMIString(type, 1, buffer, 255, number);
        b.GetDMIString(type, 1, 4, buffer, 255);
    }
    length = 100;
    for (int rc = b.GetFirstDMISubStructure(buffer, length), n = 0; rc != 0 && n < 300; ++n)
        rc = b.GetNextDMISubStructure(buffer, length = 100);
    b.GetComputerIdentification(byte);
    b.GetComputerName(buffer, 255);
    b.GetBiosVersion(buffer, 255);
    b.GetBiosManufacturer(buffer, 255);
    b.GetQVSerialNumber(buffer, 255);
    b.GetSystemModel(buffer, 255);
    b.GetTheMacAddress(buffer, 255);
    b.GetCommunicationPortNumber(byte, other);
    b.GetProcessorID(1, qword);
    b.GetProcessorVersion(1, buffer, 255);
    b.GetNameOfBootromProtocol(0, buffer, 255);
    b.GetPostErrorCode(255, word);
    for (UC n = 1; n <= 7; ++n) b.GetStringOfOEMStringOccurence(1, n, buffer, 255);
    b.GetFamillyOfProcessorOccurence(1);
    b.GetDesignationOfConnectorOccurence(1, buffer, 255);
}

class DamagedTableTest : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void readAll(const std::vector<uint8_t>& image)
    {
        writeImage(image);
        qv::test::OpenBios o;
        exerciseReaders(o.bios);
    }
};

void putWord(std::vector<uint8_t>& image, uint32_t at, uint16_t v)
{
    image[at] = uint8_t(v);
    image[at + 1] = uint8_t(v >> 8);
}

TEST_F(DamagedTableTest, EntryPointAtSegmentEndAnnouncesAnEmptyTable)
{
    auto image = qv::test::blankBiosImage();
    putBytes(image, 0xFFFF0, "_SM_");
    std::memset(&image[0xFFFF4], 0xFF, 12);
    writeImage(image);
    qv::test::OpenBios o;
    EXPECT_EQ(o.bios.GetDMIBIOSVersion(), 21);
    UC buffer[100], length = 100;
    EXPECT_EQ(o.bios.GetFirstDMISubStructure(buffer, length), 0);
    EXPECT_EQ(o.bios.GetSubstructureOccurence(1), 0);
    exerciseReaders(o.bios);
}

TEST_F(DamagedTableTest, SmbiosWalkStopsAtTheMappingEnd)
{
    // A huge count, a table near the end, strings without an end, a string number past the set.
    auto image = qv::test::blankBiosImage();
    putBytes(image, 0xF0000, "_SM_");
    putWord(image, 0xF0000 + 0x18, 0xFF00);
    putWord(image, 0xF0000 + 0x1A, 0x000F);
    putWord(image, 0xF0000 + 0x1C, 0xFFFF);
    const uint8_t system[] = {1, 8, 0, 0, 1, 9, 3, 9};
    std::memcpy(&image[0xFFF00], system, sizeof system);
    putBytes(image, 0xFFF08, "Quorvane");
    image[0xFFF10] = 0;
    std::memset(&image[0xFFF11], 'x', 0xFFFFF - 0xFFF11 + 1);
    writeImage(image);
    qv::test::OpenBios o;
    UC serial[32] = {};
    EXPECT_EQ(o.bios.GetQVSerialNumber(serial, sizeof serial), 1);
    EXPECT_STREQ(reinterpret_cast<char*>(serial), "Unknown");
    exerciseReaders(o.bios);
}

TEST_F(DamagedTableTest, Dmi20IndexAndStringPointersNearTheSegmentEnd)
{
    auto image = qv::test::blankBiosImage();
    putBytes(image, 0xFFFF0, "_DMI20_NT_");
    putWord(image, 0xFFFFD, 0xFFF8);   // entry whose structure sits in the last bytes
    const uint8_t structure[] = {1, 6, 0, 0, 1, 1};
    std::memcpy(&image[0xFFFF8], structure, sizeof structure);
    putWord(image, 0xFFFFE, 0xFFFF);   // string offset: the very last byte, no NUL after it
    image[0xFFFFF] = 'Q';
    readAll(image);
}

TEST_F(DamagedTableTest, Dmi10HeaderAndAreaAreChecked)
{
    struct Case { const char* name; uint32_t header; uint16_t area; uint16_t areaLength; bool breakChecksum; };
    const Case cases[] = {
        {"header cut by the segment end", 0xFFFF8, 0x3010, 4, false},
        {"wrong header checksum", 0xF3000, 0x3010, 4, true},
        {"area past the segment end", 0xF3000, 0xFFF0, 0x100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = qv::test::blankBiosImage();
        uint8_t header[14] = {'$', 'D', 'M', 'I', 0x10, 14};
        header[6] = uint8_t(c.area);
        header[7] = uint8_t(c.area >> 8);
        header[9] = 0xF0;
        header[10] = uint8_t(c.areaLength);
        header[11] = uint8_t(c.areaLength >> 8);
        uint8_t sum = 0;
        for (int i = 0; i < 13; ++i) sum = uint8_t(sum + header[i]);
        header[13] = uint8_t(0x100 - sum + (c.breakChecksum ? 1 : 0));
        const std::size_t room = std::min<std::size_t>(sizeof header, 0x100000 - c.header);
        std::memcpy(&image[c.header], header, room);
        writeImage(image);
        qv::test::OpenBios o;
        EXPECT_EQ(o.bios.IsDMIBIOSPresent(), 0);
        EXPECT_EQ(o.bios.GetDMIBIOSVersion(), 0);
    }
}

TEST_F(DamagedTableTest, ElogAreasCutByEitherSegmentEndAreIgnored)
{
    // The OEM string table is process-wide; each ctest case runs in its own process.
    auto image = qv::sim::renderBiosImage(qv::sim::BiosInventory{}, DmiFormat::Dmi10);
    putBytes(image, 0xF0000, "ELOG");
    putBytes(image, 0xFFFC0, "ELOG");
    writeImage(image);
    qv::test::OpenBios o;
    ASSERT_EQ(o.bios.GetDMIBIOSVersion(), 10);
    UC s[20];
    EXPECT_EQ(o.bios.GetStringOfOEMStringOccurence(1, 3, s, sizeof s), 0);
    exerciseReaders(o.bios);
}

TEST_F(DamagedTableTest, RandomCorruptionOfRenderedTablesNeverCrashes)
{
    qv::sim::BiosInventory inventory;
    inventory.modelCode = 66;
    inventory.structures = {{6, std::vector<uint8_t>(8, 1), {"DIMM0"}}, {11, {2}, {"Flags---Status05", "x"}}};
    std::mt19937 random(20240611);
    const struct { DmiFormat format; uint32_t from, to; } areas[] = {
        {DmiFormat::Smbios21, 0xE1000, 0xE1100}, {DmiFormat::Dmi20, 0xF2000, 0xF2200},
        {DmiFormat::Dmi10, 0xF3000, 0xF3100},
    };
    for (const auto& area : areas) {
        const auto clean = qv::sim::renderBiosImage(inventory, area.format);
        for (int round = 0; round < 40; ++round) {
            auto image = clean;
            for (int flips = 0; flips < 8; ++flips)
                image[area.from + random() % (area.to - area.from)] = uint8_t(random());
            readAll(image);
        }
    }
}

} // namespace
