#include "bios_image.h"

#include <stdexcept>

#include "maker_areas.h"
#include "physical_image.h"
#include "table_renderers.h"

namespace qv::sim {

std::optional<DmiFormat> dmiFormatFromName(std::string_view name)
{
    if (name == "smbios21") return DmiFormat::Smbios21;
    if (name == "dmi20") return DmiFormat::Dmi20;
    if (name == "dmi10") return DmiFormat::Dmi10;
    return std::nullopt;
}

void checkFits(uint32_t address, std::size_t size, uint32_t limit)
{
    if (address > limit || size > limit - address)
        throw std::length_error("BIOS tables outgrow their area");
}

std::vector<uint8_t> renderBiosImage(const BiosInventory& inventory, DmiFormat format)
{
    PhysicalImage image;
    switch (format) {
    case DmiFormat::Smbios21: renderSmbios21(inventory, image); break;
    case DmiFormat::Dmi20: renderDmi20(inventory, image); break;
    case DmiFormat::Dmi10: renderDmi10(inventory, image); break;
    }
    if (inventory.pir) renderPirTable(*inventory.pir, image);
    if (inventory.oem || !inventory.ports.empty() || !inventory.addOnBioses.empty())
        renderElogArea(inventory, image);
    return image.release();
}

} // namespace qv::sim
