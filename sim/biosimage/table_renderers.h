// One renderer per table generation; each writes its anchor and tables into the image.
#pragma once

#include "bios_image.h"
#include "physical_image.h"

namespace qv::sim {

void renderSmbios21(const BiosInventory& inventory, PhysicalImage& image);
void renderDmi20(const BiosInventory& inventory, PhysicalImage& image);
void renderDmi10(const BiosInventory& inventory, PhysicalImage& image);

// Throws std::length_error unless [address, address + size) ends at or before `limit`.
void checkFits(uint32_t address, std::size_t size, uint32_t limit);

} // namespace qv::sim
