// The structured inventory in every table generation, the maker's BIOS areas and the CMOS image.
#include <fstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bios_image.h"
#include "table_view.h"

namespace qv::sim {
namespace {

using test::Image;

BiosInventory defaultScenarioInventory()
{
    std::ifstream in(QV_DEFAULT_SCENARIO);
    return parseBiosInventory(nlohmann::json::parse(in).at("bios"));
}

TEST(FullInventory, DefaultScenarioDescribesTheWholeServer)
{
    const BiosInventory inv = defaultScenarioInventory();
    EXPECT_EQ(inv.processors.size(), 2u);
    EXPECT_EQ(inv.memoryModules.size(), 4u);
    EXPECT_FALSE(inv.slots.empty());
    EXPECT_FALSE(inv.ports.empty());
    ASSERT_TRUE(inv.oem && inv.oem->flags);
    ASSERT_TRUE(inv.pir);
    EXPECT_FALSE(inv.pir->entries.empty());
    ASSERT_TRUE(inv.cmos);
    EXPECT_EQ(inv.cmos->floppy0Type, 4);
    EXPECT_EQ(inv.processors[0].id, 0x0383F9FF00000683u);
    for (DmiFormat format : {DmiFormat::Smbios21, DmiFormat::Dmi20, DmiFormat::Dmi10})
        EXPECT_NO_THROW(renderBiosImage(inv, format));
}

// Each generation keeps processors, modules, slots and ports in its own record types.
struct Placement {
    DmiFormat format;
    uint8_t processor, module, slot, connector;
    uint8_t speedAt, moduleSizeAt, moduleSpeedAt, slotTypeAt, portTypeAt;
    uint8_t processorVersionAt, socketAt;
};

TEST(FullInventory, EveryGenerationCarriesTheSameFacts)
{
    const BiosInventory inv = defaultScenarioInventory();
    const Placement placements[] = {
        {DmiFormat::Smbios21, 4, 6, 9, 8, 22, 9, 6, 5, 8, 16, 4},
        {DmiFormat::Dmi20, 4, 6, 9, 8, 22, 9, 6, 5, 8, 16, 4},
        {DmiFormat::Dmi10, 3, 4, 7, 6, 8, 5, 7, 4, 3, 6, 2},
    };
    for (const auto& p : placements) {
        const Image img = renderBiosImage(inv, p.format);
        const auto view = test::viewFor(p.format, img);
        SCOPED_TRACE(static_cast<int>(p.format));
        for (std::size_t i = 0; i < inv.processors.size(); ++i) {
            const auto cpu = view->find(p.processor, int(i) + 1);
            ASSERT_TRUE(cpu);
            EXPECT_EQ(test::word(img, cpu->address + p.speedAt), inv.processors[i].currentSpeed);
            EXPECT_EQ(view->text(*cpu, p.processorVersionAt), inv.processors[i].version);
        }
        for (std::size_t i = 0; i < inv.memoryModules.size(); ++i) {
            const auto module = view->find(p.module, int(i) + 1);
            ASSERT_TRUE(module);
            EXPECT_EQ(img.at(module->address + p.moduleSizeAt), inv.memoryModules[i].installedSize);
            EXPECT_EQ(img.at(module->address + p.moduleSpeedAt), inv.memoryModules[i].speedNs);
            EXPECT_EQ(view->text(*module, p.socketAt), inv.memoryModules[i].socket);
        }
        const auto slot = view->find(p.slot, int(inv.slots.size()));
        ASSERT_TRUE(slot);
        EXPECT_EQ(img.at(slot->address + p.slotTypeAt), inv.slots.back().type);
        const auto port = view->find(p.connector, 1);
        ASSERT_TRUE(port);
        EXPECT_EQ(img.at(port->address + p.portTypeAt), 0x09);   // 16550A serial port
        EXPECT_FALSE(view->find(p.processor, int(inv.processors.size()) + 1));
    }
}

TEST(FullInventory, OemStringsComposePortsAndFlags)
{
    BiosInventory inv;
    inv.oem = OemInfo{0x13, {"Extra"}};
    inv.ports = {{PortKind::Parallel, "LPT1", 0, 0, 7, 0x378},
                 {PortKind::Serial, "COM1", 0, 0, 4, 0x3F8},
                 {PortKind::Serial, "COM2", 0, 0, 0, 0x2F8}};
    const std::vector<std::string> expected = {"Flags---Status13", "Serial---Port143f8", "Serial---Port202f8",
                                               "Parallel-Port17378", "Extra"};
    EXPECT_EQ(composeOemStrings(inv), expected);
    // Keyword at 0, IRQ at 14, base at 15 to 17, where the system library reads them.
    EXPECT_EQ(expected[1].substr(14, 1), "4");
    EXPECT_EQ(expected[1].substr(15, 3), "3f8");

    const Image img = renderBiosImage(inv, DmiFormat::Smbios21);
    const test::SmbiosView view(img);
    const auto oem = view.find(11);
    ASSERT_TRUE(oem);
    EXPECT_EQ(img.at(oem->address + 4), expected.size());

    for (auto bad : {PortInfo{PortKind::Serial, "COM9", 0, 0, 16, 0x3F8},
                     PortInfo{PortKind::Serial, "COM9", 0, 0, 4, 0x1000}}) {
        inv.ports = {bad};
        EXPECT_THROW(renderBiosImage(inv, DmiFormat::Smbios21), std::invalid_argument);
    }
}

TEST(FullInventory, ElogAreaHoldsVersionsFlagsAndPorts)
{
    BiosInventory inv;
    inv.addOnBioses = {{AddOnBiosKind::Scsi, "V", "SCSI2.01", "x"}, {AddOnBiosKind::Video, "V", "VGA 3.10 long", "x"}};
    inv.oem = OemInfo{0x05, {}};
    inv.ports = {{PortKind::Serial, "COM1", 0, 0, 1, 0x3F8}, {PortKind::Parallel, "LPT1", 0, 0, 7, 0x378}};
    const Image img = renderBiosImage(inv, DmiFormat::Dmi10);
    const auto anchor = test::findAnchor(img, "ELOG", 0xF0000, 0x100000, 1);
    ASSERT_TRUE(anchor);
    const std::size_t area = *anchor - 4;
    auto bytes = [&](std::size_t at, std::size_t n) { return std::string(img.begin() + area + at, img.begin() + area + at + n); };
    EXPECT_EQ(bytes(74, 8), "VGA 3.10");   // cut to the field's 8 bytes
    EXPECT_EQ(bytes(82, 8), std::string("SCSI2.01"));
    EXPECT_EQ(img.at(area + 91), 0x05);
    EXPECT_EQ(img.at(area + 112), 0xF8);   // "Serial---Port" "1" "1" "3f8"
    EXPECT_EQ(img.at(area + 113), 0x13);
    EXPECT_EQ(img.at(area + 114), 0);      // no second serial port
    EXPECT_EQ(img.at(area + 116), 0x78);
    EXPECT_EQ(img.at(area + 117), 0x73);
    // DMI 1.0 counts the ports: parallel in the low four bits, serial in the high four.
    const test::Dmi10View view(img);
    const auto config = view.find(129);
    ASSERT_TRUE(config);
    EXPECT_EQ(img.at(config->address + 2), 0x11);
    EXPECT_EQ(view.header(), 0xF3000u);   // the tables keep their place beside the areas
}

TEST(FullInventory, PirTableIsFoundAlignedAndSumsToZero)
{
    BiosInventory inv;
    PirTable pir;
    pir.entries = {{0, 15, 1, {0x60, 0x61, 0x62, 0x63}, 0xDEB8}, {1, 3, 4, {0x61, 0, 0, 0}, 0x0C00}};
    inv.pir = pir;
    for (DmiFormat format : {DmiFormat::Smbios21, DmiFormat::Dmi20, DmiFormat::Dmi10}) {
        const Image img = renderBiosImage(inv, format);
        const auto at = test::findAnchor(img, "$PIR", 0xF0000, 0x100000, 16);
        ASSERT_TRUE(at);
        const std::size_t length = test::word(img, *at + 6);
        ASSERT_EQ(length, 32u + 16 * 2);
        EXPECT_EQ(test::byteSum(img, *at, length), 0);
        const std::size_t second = *at + 32 + 16;
        EXPECT_EQ(img.at(second), 1);             // bus
        EXPECT_EQ(img.at(second + 1) >> 3, 3);    // device
        EXPECT_EQ(img.at(second + 14), 4);        // slot
        EXPECT_EQ(test::word(img, second + 3), 0x0C00);
        EXPECT_EQ(test::word(img, second + 6), 0);   // an unrouted pin has no IRQs
    }
    inv.pir->entries[0].device = 32;
    EXPECT_THROW(renderBiosImage(inv, DmiFormat::Smbios21), std::invalid_argument);
    inv.pir->entries.assign(200, PirEntry{});   // more than the area beside the tables holds
    EXPECT_THROW(renderBiosImage(inv, DmiFormat::Smbios21), std::length_error);
}

TEST(FullInventory, NvramHoldsFloppyTypesAndChecksum)
{
    BiosInventory inv;
    EXPECT_FALSE(renderNvramImage(inv));
    inv.cmos = CmosInfo{4, 2};
    const auto nvram = renderNvramImage(inv);
    ASSERT_TRUE(nvram);
    ASSERT_EQ(nvram->size(), kNvramSize);
    EXPECT_EQ(nvram->at(16 - kNvramFirstIndex), 0x42);   // drive 0 in the high four bits
    EXPECT_EQ(nvram->at(0x2E - kNvramFirstIndex), 0x00);
    EXPECT_EQ(nvram->at(0x2F - kNvramFirstIndex), 0x42);
    inv.cmos->floppy1Type = 16;
    EXPECT_THROW(renderNvramImage(inv), std::invalid_argument);
}

TEST(FullInventory, JsonRejectsBadInventoryValues)
{
    const char* const bad[] = {
        R"({"ports": [{"designation": "COM1"}]})",
        R"({"ports": [{"kind": "usb"}]})",
        R"({"ports": [{"kind": "serial", "irq": 16}]})",
        R"({"processors": [{"currentSpeed": 70000}]})",
        R"({"processors": [{"id": "0x1g"}]})",
        R"({"processors": {"socket": "CPU1"}})",
        R"({"memoryModules": [{"installedSize": -1}]})",
        R"({"pir": {"entries": [{"device": 32}]}})",
        R"({"pir": {"entries": [{"links": [1, 2, 3]}]}})",
        R"({"cmos": {"floppy0Type": 16}})",
        R"({"oem": {"extraStrings": [""]}})",
    };
    for (const char* text : bad)
        EXPECT_THROW(parseBiosInventory(nlohmann::json::parse(text)), std::invalid_argument) << text;
}

} // namespace
} // namespace qv::sim
