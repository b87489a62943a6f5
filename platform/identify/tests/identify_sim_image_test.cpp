// Identification on the simulator's BIOS images: written independently of the readers here.
#include "bios_image.h"
#include "bios_image_craft.h"
#include "identify.h"
#include "temp_root.h"

#include <gtest/gtest.h>

using namespace qv::test;
using qv::sim::DmiFormat;

namespace {

TEST(IdentifySimImage, EveryFormatCarriesTheModelCode)
{
    TempRoot root;
    struct Case { DmiFormat format; std::optional<uint8_t> code; unsigned long expected; int isVelkarn; };
    const Case cases[] = {
        {DmiFormat::Smbios21, 64, 64, 1}, {DmiFormat::Dmi20, 60, 60, 1}, {DmiFormat::Dmi10, 71, 71, 1},
        {DmiFormat::Smbios21, 79, 79, 0}, {DmiFormat::Dmi20, 80, 80, 0}, {DmiFormat::Dmi10, 90, 90, 0},
        {DmiFormat::Smbios21, std::nullopt, 0, 0}, {DmiFormat::Dmi10, std::nullopt, 0, 0},
    };
    for (const Case& c : cases) {
        qv::sim::BiosInventory inventory;
        inventory.modelCode = c.code;
        writeMemDevice(root, qv::sim::renderBiosImage(inventory, c.format));
        unsigned long code = 0xDEAD;
        EXPECT_EQ(IdentifyVelkarn(&code), 0);
        EXPECT_EQ(code, c.expected) << static_cast<int>(c.format);
        EXPECT_EQ(IsVelkarnId(), c.isVelkarn) << static_cast<int>(c.format);
    }
}

} // namespace
