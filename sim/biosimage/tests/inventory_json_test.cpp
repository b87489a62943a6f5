#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bios_image.h"

namespace qv::sim {
namespace {

using nlohmann::json;

TEST(BiosInventoryJson, ReadsEveryKey)
{
    const auto inv = parseBiosInventory(json::parse(R"({
        "format": "dmi20", "modelCode": 83,
        "biosInfo": {"vendor": "V", "version": "1.2", "releaseDate": "01/02/2003",
                     "characteristics": 4096},
        "systemInfo": {"manufacturer": "M", "product": "P", "version": "3", "serial": "S9"},
        "structures": [{"type": 133, "data": [1, 2, 255], "strings": ["x", "y"]},
                       {"type": 136}]
    })"));
    EXPECT_EQ(inv.format, DmiFormat::Dmi20);
    EXPECT_EQ(inv.modelCode, 83);
    ASSERT_TRUE(inv.biosInfo && inv.systemInfo);
    EXPECT_EQ(inv.biosInfo->vendor, "V");
    EXPECT_EQ(inv.biosInfo->version, "1.2");
    EXPECT_EQ(inv.biosInfo->releaseDate, "01/02/2003");
    EXPECT_EQ(inv.biosInfo->characteristics, 4096u);
    EXPECT_EQ(inv.systemInfo->manufacturer, "M");
    EXPECT_EQ(inv.systemInfo->product, "P");
    EXPECT_EQ(inv.systemInfo->version, "3");
    EXPECT_EQ(inv.systemInfo->serial, "S9");
    ASSERT_EQ(inv.structures.size(), 2u);
    EXPECT_EQ(inv.structures[0].type, 133);
    EXPECT_EQ(inv.structures[0].data, (std::vector<uint8_t>{1, 2, 255}));
    EXPECT_EQ(inv.structures[0].strings, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(inv.structures[1].data.empty());
}

TEST(BiosInventoryJson, MissingKeysKeepDefaultsAndNullDropsStructures)
{
    const auto defaults = parseBiosInventory(json::object());
    EXPECT_EQ(defaults.format, DmiFormat::Smbios21);
    EXPECT_FALSE(defaults.modelCode);
    ASSERT_TRUE(defaults.biosInfo && defaults.systemInfo);
    EXPECT_EQ(defaults.systemInfo->serial, SystemInfo{}.serial);

    const auto partial = parseBiosInventory(
        json::parse(R"({"modelCode": null, "biosInfo": null, "systemInfo": {"serial": "X1"}})"));
    EXPECT_FALSE(partial.modelCode);
    EXPECT_FALSE(partial.biosInfo);
    ASSERT_TRUE(partial.systemInfo);
    EXPECT_EQ(partial.systemInfo->serial, "X1");
    EXPECT_EQ(partial.systemInfo->product, SystemInfo{}.product);
}

TEST(BiosInventoryJson, RejectsBadValues)
{
    const char* bad[] = {
        R"([])",
        R"({"format": "smbios30"})",
        R"({"format": 21})",
        R"({"modelCode": 256})",
        R"({"modelCode": -1})",
        R"({"modelCode": "67"})",
        R"({"modelCode": 6.5})",
        R"({"biosInfo": "x"})",
        R"({"biosInfo": {"vendor": 5}})",
        R"({"biosInfo": {"characteristics": -3}})",
        R"({"systemInfo": {"serial": null}})",
        R"({"structures": {}})",
        R"({"structures": [{"data": [1]}]})",
        R"({"structures": [{"type": 300}]})",
        R"({"structures": [{"type": 1, "data": [1, 256]}]})",
        R"({"structures": [{"type": 1, "data": "0102"}]})",
        R"({"structures": [{"type": 1, "strings": [1]}]})",
    };
    for (const char* text : bad)
        EXPECT_THROW(parseBiosInventory(json::parse(text)), std::invalid_argument) << text;
}

} // namespace
} // namespace qv::sim
