#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "bios_image.h"
#include "table_view.h"
#include "temp_root.h"

namespace qv::sim {
namespace {

using test::Image;

struct TextField {
    uint8_t type;
    uint8_t offset;
};

// Where each generation keeps the same facts.
struct FormatCase {
    DmiFormat format;
    const char* name;
    uint8_t makerTagAt;   // 'Q','V' here, the model code right behind
    TextField vendor, biosVersion, releaseDate, manufacturer, product, serial;
};

const FormatCase kFormats[] = {
    {DmiFormat::Smbios21, "Smbios21", 4, {0, 4}, {0, 5}, {0, 8}, {1, 4}, {1, 5}, {1, 7}},
    {DmiFormat::Dmi20, "Dmi20", 4, {0, 4}, {0, 5}, {0, 8}, {1, 4}, {1, 5}, {1, 7}},
    {DmiFormat::Dmi10, "Dmi10", 2, {1, 2}, {132, 8}, {1, 12}, {2, 2}, {2, 4}, {2, 8}},
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

std::size_t countOf(const Image& img, const std::string& needle)
{
    std::size_t n = 0;
    for (auto it = img.begin();
         (it = std::search(it, img.end(), needle.begin(), needle.end())) != img.end(); ++it)
        ++n;
    return n;
}

class EachFormat : public ::testing::TestWithParam<FormatCase> {
protected:
    Image render(const BiosInventory& inv) { return renderBiosImage(inv, GetParam().format); }
};

TEST_P(EachFormat, MakerRecordCarriesModelCode)
{
    BiosInventory inv;
    inv.modelCode = 67;
    const Image img = render(inv);
    ASSERT_EQ(img.size(), kBiosImageSize);
    const auto view = test::viewFor(GetParam().format, img);
    const auto maker = view->find(128);
    ASSERT_TRUE(maker);
    const uint8_t at = GetParam().makerTagAt;
    EXPECT_EQ(img[maker->address + at], 'Q');
    EXPECT_EQ(img[maker->address + at + 1], 'V');
    EXPECT_EQ(img[maker->address + at + 2], 67);
    EXPECT_GT(maker->length, at + 2);
    if (GetParam().format == DmiFormat::Dmi10) {
        // Identification reads only the record the header points at.
        EXPECT_EQ(maker->address, test::Dmi10View(img).area());
    }
}

TEST_P(EachFormat, NoMakerRecordWithoutModelCode)
{
    const Image img = render(BiosInventory{});
    const auto view = test::viewFor(GetParam().format, img);
    EXPECT_FALSE(view->find(128));
    EXPECT_TRUE(view->find(GetParam().vendor.type)) << "the rest of the inventory is still there";
    if (GetParam().format == DmiFormat::Dmi10) {
        const std::size_t first = test::Dmi10View(img).area();
        EXPECT_FALSE(img[first + 2] == 'Q' && img[first + 3] == 'V');
    }
}

TEST_P(EachFormat, ExactlyItsOwnAnchor)
{
    // Identification takes the lowest anchor of any generation, so no stray ones may exist.
    BiosInventory inv;
    inv.modelCode = 55;
    const Image img = render(inv);
    const bool smbios = GetParam().format == DmiFormat::Smbios21;
    const bool dmi20 = GetParam().format == DmiFormat::Dmi20;
    EXPECT_EQ(countOf(img, "_SM_"), smbios ? 1u : 0u);
    EXPECT_EQ(countOf(img, "_DMI20_NT_"), dmi20 ? 1u : 0u);
    EXPECT_EQ(countOf(img, "$DMI"), !smbios && !dmi20 ? 1u : 0u);
}

TEST_P(EachFormat, BiosAndSystemTexts)
{
    BiosInventory inv;
    inv.biosInfo = BiosInfo{"Acme BIOS Works", "QV.12.34", "12/31/2001", 0x1AB0};
    inv.systemInfo = SystemInfo{"Maker Inc", "Model 7", "", "SN-000123"};
    const Image img = render(inv);
    const auto view = test::viewFor(GetParam().format, img);
    const FormatCase& c = GetParam();
    EXPECT_EQ(view->textOf(c.vendor.type, c.vendor.offset), "Acme BIOS Works");
    EXPECT_EQ(view->textOf(c.biosVersion.type, c.biosVersion.offset), "QV.12.34");
    EXPECT_EQ(view->textOf(c.releaseDate.type, c.releaseDate.offset), "12/31/2001");
    EXPECT_EQ(view->textOf(c.manufacturer.type, c.manufacturer.offset), "Maker Inc");
    EXPECT_EQ(view->textOf(c.product.type, c.product.offset), "Model 7");
    // An empty version is "no string" and must not shift the numbering of the serial.
    EXPECT_EQ(view->textOf(c.serial.type, c.serial.offset), "SN-000123");
    if (c.format != DmiFormat::Dmi10) {
        const auto bios = view->find(0);
        ASSERT_TRUE(bios);
        EXPECT_EQ(img[bios->address + 16], 0) << "BIOS kind byte: system BIOS";
        EXPECT_EQ(test::dword(img, bios->address + 10), 0x1AB0u);
        EXPECT_EQ(view->textOf(1, 6), "");
    }
}

TEST_P(EachFormat, GenericStructuresFollowInOrder)
{
    BiosInventory inv;
    inv.modelCode = 80;
    inv.structures = {{133, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {"PXE", "RPL"}},
                      {133, {0xAA, 0xBB}, {}}};
    const Image img = render(inv);
    const auto view = test::viewFor(GetParam().format, img);
    const std::size_t header = GetParam().format == DmiFormat::Dmi10 ? 2 : 4;
    const auto first = view->find(133, 1);
    const auto second = view->find(133, 2);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(view->find(133, 3));
    EXPECT_EQ(first->length, header + 6);
    EXPECT_EQ(img[first->address + header + 5], 0x55);
    EXPECT_EQ(second->length, header + 2);
    EXPECT_EQ(img[second->address + header + 1], 0xBB);
    if (GetParam().format != DmiFormat::Dmi10) {
        // String numbers live in the data: make the second string's number visible.
        inv.structures[0].data[0] = 2;
        const Image again = render(inv);
        const auto v2 = test::viewFor(GetParam().format, again);
        EXPECT_EQ(v2->text(*v2->find(133), header), "RPL");
    }
}

TEST_P(EachFormat, RejectsStructuresTheFormatCannotCarry)
{
    const bool dmi10 = GetParam().format == DmiFormat::Dmi10;
    BiosInventory tooLong;
    tooLong.structures = {{200, std::vector<uint8_t>(dmi10 ? 254 : 252, 0), {}}};
    EXPECT_THROW(render(tooLong), std::invalid_argument);

    BiosInventory nulInText;
    nulInText.systemInfo->serial = std::string("AB\0CD", 5);
    EXPECT_THROW(render(nulInText), std::invalid_argument);

    BiosInventory tooMany;
    tooMany.structures.assign(400, DmiStructure{200, std::vector<uint8_t>(240, 1), {}});
    EXPECT_THROW(render(tooMany), std::length_error);

    BiosInventory longest;   // the largest structure still fits
    longest.structures = {{200, std::vector<uint8_t>(dmi10 ? 253 : 251, 7), {}}};
    const Image img = render(longest);
    const auto found = test::viewFor(GetParam().format, img)->find(200);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->length, 255);
}

INSTANTIATE_TEST_SUITE_P(BiosImage, EachFormat, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BiosImageSmbios, EmptyGenericStringRejected)
{
    BiosInventory inv;
    inv.structures = {{133, {1}, {""}}};
    EXPECT_THROW(renderBiosImage(inv, DmiFormat::Smbios21), std::invalid_argument);
    EXPECT_THROW(renderBiosImage(inv, DmiFormat::Dmi20), std::invalid_argument);
}

TEST(BiosImageDmi10, TypeZeroRecordRejected)
{
    BiosInventory inv;
    inv.structures = {{0, {1, 2}, {}}};
    EXPECT_THROW(renderBiosImage(inv, DmiFormat::Dmi10), std::invalid_argument);
}

TEST(BiosImageSmbios, EntryPointChecksumsAndPlacement)
{
    BiosInventory inv;
    inv.modelCode = 61;
    inv.structures = {{133, std::vector<uint8_t>(40, 9), {"a long enough string"}}};
    const Image img = renderBiosImage(inv, DmiFormat::Smbios21);
    const test::SmbiosView view(img);
    const std::size_t ep = view.entry();
    ASSERT_GE(ep, 0xF0000u);
    EXPECT_EQ(ep % 16, 0u);
    EXPECT_EQ(img[ep + 5], 0x1F);
    EXPECT_EQ(test::byteSum(img, ep, 0x1F), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&img[ep + 16]), 5), "_DMI_");
    EXPECT_EQ(test::byteSum(img, ep + 16, 15), 0);
    EXPECT_EQ(img[ep + 6], 2);
    EXPECT_EQ(img[ep + 7], 1);

    // Segment bits and offset give the same address as the 32-bit field.
    const uint32_t address = test::dword(img, ep + 0x18);
    const uint32_t bySegment = ((test::word(img, ep + 0x1A) & 0xF) << 16) + test::word(img, ep + 0x18);
    EXPECT_EQ(address, bySegment);
    EXPECT_GE(address, 0xE0000u);

    const auto all = view.structures();
    ASSERT_EQ(all.size(), test::word(img, ep + 0x1C));
    EXPECT_EQ(img[all.back().address], 127) << "end-of-table structure";
    std::size_t largest = 0;
    std::size_t end = address;
    for (const auto& s : all) {
        std::size_t at = s.address + s.length;
        while (img[at] != 0 || img[at + 1] != 0) ++at;
        largest = std::max(largest, at + 2 - s.address);
        end = at + 2;
    }
    EXPECT_EQ(end - address, test::word(img, ep + 0x16)) << "table length";
    EXPECT_EQ(largest, test::word(img, ep + 8)) << "maximum structure size";
    // A 128 KB window at the table's segment stays inside the image.
    EXPECT_LE(((address >> 16) << 16) + 0x20000u, kBiosImageSize);
}

TEST(BiosImageDmi10, HeaderChecksumsAndPlacement)
{
    BiosInventory inv;
    inv.modelCode = 75;
    const Image img = renderBiosImage(inv, DmiFormat::Dmi10);
    const test::Dmi10View view(img);
    const std::size_t h = view.header();
    ASSERT_GE(h, 0xF0000u);
    EXPECT_EQ(h % 16, 0u);
    ASSERT_EQ(img[h + 5], 14);
    EXPECT_EQ(test::byteSum(img, h, 13), static_cast<uint8_t>(-img[h + 13]));
    EXPECT_EQ(test::word(img, h + 8), 0xF000);
    const uint16_t areaLength = test::word(img, h + 10);
    EXPECT_EQ(test::byteSum(img, view.area(), areaLength), static_cast<uint8_t>(-img[h + 12]));
    // Records and their strings lie inside the checksummed area.
    const auto all = view.structures();
    ASSERT_FALSE(all.empty());
    EXPECT_LE(all.back().address + all.back().length + 2, view.area() + areaLength);
    EXPECT_LE(view.area() + areaLength, 0xFFF80u);
}

TEST(BiosImageDmi20, IndexInBiosSegment)
{
    BiosInventory inv;
    inv.modelCode = 82;
    const Image img = renderBiosImage(inv, DmiFormat::Dmi20);
    const auto anchor = test::findAnchor(img, "_DMI20_NT_", 0xE0000, 0x100000, 1);
    ASSERT_TRUE(anchor);
    EXPECT_GE(*anchor, 0xF0000u);
    const auto all = test::Dmi20View(img).structures();
    ASSERT_EQ(all.size(), 3u);   // BIOS, system, maker
    for (const auto& s : all) EXPECT_LT(s.address + s.length, 0xFFF80u);
}

TEST(BiosImageFile, WritesWholeImageAndReplacesIt)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/dev/sub/mem");
    BiosInventory inv;
    inv.modelCode = 67;
    const Image first = renderBiosImage(inv, DmiFormat::Smbios21);
    ASSERT_TRUE(writeBiosImage(path, first));
    inv.modelCode = 68;
    const Image second = renderBiosImage(inv, DmiFormat::Smbios21);
    ASSERT_TRUE(writeBiosImage(path, second));
    const std::string onDisk = qv::test::readWholeFile(path);
    ASSERT_EQ(onDisk.size(), kBiosImageSize);
    EXPECT_TRUE(std::equal(second.begin(), second.end(),
                           reinterpret_cast<const uint8_t*>(onDisk.data())));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    root.writeFile("/plainfile", "x");
    EXPECT_FALSE(writeBiosImage(root.at("/plainfile/mem"), first));
}

} // namespace
} // namespace qv::sim
