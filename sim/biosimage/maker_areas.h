// BIOS areas outside the DMI tables: the "$PIR" routing table and the maker's "ELOG" area, both
// in segment F000h whatever the table generation, and the port and flags texts they share with
// the OEM strings.
#pragma once

#include <cstdint>
#include <string>

#include "bios_image.h"
#include "physical_image.h"

namespace qv::sim {

inline constexpr uint32_t kPirAddress = 0xF1000;
inline constexpr uint32_t kElogAreaAddress = 0xF1800;   // "ELOG" stands 4 bytes further
inline constexpr uint32_t kMakerAreasLimit = 0xF2000;   // where the DMI 2.0 anchor starts

// "Serial---Port1" followed by the IRQ digit and three digits of base address.
std::string portOemString(PortKind kind, unsigned number, const PortInfo& port);
std::string flagsOemString(uint8_t flags);

// The ports of one kind, in inventory order.
std::vector<PortInfo> portsOfKind(const BiosInventory& inventory, PortKind kind);

// Connector and port type bytes of a type 8 structure, the kind's usual ones unless given.
uint8_t connectorTypeOf(const PortInfo& port);
uint8_t portTypeOf(const PortInfo& port);

void renderPirTable(const PirTable& table, PhysicalImage& image);
void renderElogArea(const BiosInventory& inventory, PhysicalImage& image);

} // namespace qv::sim
