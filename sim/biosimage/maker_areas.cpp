#include "maker_areas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "smbios_structures.h"
#include "table_renderers.h"

namespace qv::sim {
namespace {

constexpr std::size_t kPirHeaderSize = 32;
constexpr std::size_t kPirEntrySize = 16;
constexpr std::size_t kPirChecksumAt = 31;

// Offsets within the ELOG area, whose first 4 bytes precede the anchor.
constexpr std::size_t kElogSize = 128;
constexpr std::size_t kElogVideoVersionAt = 74;
constexpr std::size_t kElogScsiVersionAt = 82;
constexpr std::size_t kElogVersionWidth = 8;
constexpr std::size_t kElogFlagsAt = 91;
constexpr std::size_t kElogSerial1At = 112;
constexpr std::size_t kElogSerial2At = 114;
constexpr std::size_t kElogParallel1At = 116;

void checkPort(const PortInfo& port)
{
    if (port.irq > 0xF) throw std::invalid_argument("port IRQ above 15");
    if (port.baseAddress > 0xFFF) throw std::invalid_argument("port base address above 0xFFF");
}

// Low byte of the base, then the IRQ in the high four bits beside the base's top four.
void putPortWord(std::vector<uint8_t>& area, std::size_t at, const PortInfo& port)
{
    checkPort(port);
    area.at(at) = static_cast<uint8_t>(port.baseAddress & 0xFF);
    area.at(at + 1) = static_cast<uint8_t>(port.irq << 4 | (port.baseAddress >> 8));
}

void putVersion(std::vector<uint8_t>& area, std::size_t at, const BiosInventory& inventory, AddOnBiosKind kind)
{
    for (const auto& bios : inventory.addOnBioses) {
        if (bios.kind != kind) continue;
        checkTableString(bios.version);
        const std::size_t n = std::min(bios.version.size(), kElogVersionWidth);
        std::memcpy(area.data() + at, bios.version.data(), n);
        return;
    }
}

} // namespace

std::string portOemString(PortKind kind, unsigned number, const PortInfo& port)
{
    checkPort(port);
    char text[32];
    std::snprintf(text, sizeof text, "%s%u%.1x%.3x", kind == PortKind::Serial ? "Serial---Port" : "Parallel-Port",
                  number % 10, unsigned(port.irq), unsigned(port.baseAddress));
    return text;
}

std::string flagsOemString(uint8_t flags)
{
    char text[24];
    std::snprintf(text, sizeof text, "Flags---Status%.2x", unsigned(flags));
    return text;
}

std::vector<PortInfo> portsOfKind(const BiosInventory& inventory, PortKind kind)
{
    std::vector<PortInfo> out;
    for (const auto& port : inventory.ports)
        if (port.kind == kind) out.push_back(port);
    return out;
}

uint8_t connectorTypeOf(const PortInfo& port)
{
    if (port.connectorType != 0) return port.connectorType;
    return port.kind == PortKind::Serial ? 0x08 : 0x05;   // DB-9 male, DB-25 female
}

uint8_t portTypeOf(const PortInfo& port)
{
    if (port.portType != 0) return port.portType;
    return port.kind == PortKind::Serial ? 0x09 : 0x05;   // 16550A, ECP/EPP
}

std::vector<std::string> composeOemStrings(const BiosInventory& inventory)
{
    std::vector<std::string> out;
    if (inventory.oem && inventory.oem->flags) out.push_back(flagsOemString(*inventory.oem->flags));
    for (PortKind kind : {PortKind::Serial, PortKind::Parallel}) {
        unsigned number = 0;
        for (const auto& port : portsOfKind(inventory, kind)) out.push_back(portOemString(kind, ++number, port));
    }
    if (inventory.oem)
        out.insert(out.end(), inventory.oem->extraStrings.begin(), inventory.oem->extraStrings.end());
    return out;
}

void renderPirTable(const PirTable& table, PhysicalImage& image)
{
    const std::size_t size = kPirHeaderSize + kPirEntrySize * table.entries.size();
    checkFits(kPirAddress, size, kElogAreaAddress);
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), "$PIR", 4);
    putLittleEndian(bytes, 4, 0x0100, 2);   // version 1.0
    putLittleEndian(bytes, 6, size, 2);
    bytes[8] = table.routerBus;
    bytes[9] = table.routerDevFn;
    putLittleEndian(bytes, 10, table.exclusiveIrqs, 2);
    putLittleEndian(bytes, 12, table.compatibleRouter, 4);
    for (std::size_t i = 0; i < table.entries.size(); ++i) {
        const PirEntry& e = table.entries[i];
        if (e.device > 31) throw std::invalid_argument("$PIR entry device number above 31");
        const std::size_t at = kPirHeaderSize + kPirEntrySize * i;
        bytes[at] = e.bus;
        bytes[at + 1] = static_cast<uint8_t>(e.device << 3);
        for (std::size_t pin = 0; pin < 4; ++pin) {
            bytes[at + 2 + 3 * pin] = e.links[pin];
            putLittleEndian(bytes, at + 3 + 3 * pin, e.links[pin] ? e.irqBitmap : 0, 2);
        }
        bytes[at + 14] = e.slot;
    }
    bytes[kPirChecksumAt] = checksumByte(bytes);
    image.put(kPirAddress, bytes);
}

void renderElogArea(const BiosInventory& inventory, PhysicalImage& image)
{
    std::vector<uint8_t> area(kElogSize, 0);
    std::memcpy(area.data() + 4, "ELOG", 4);
    putVersion(area, kElogVideoVersionAt, inventory, AddOnBiosKind::Video);
    putVersion(area, kElogScsiVersionAt, inventory, AddOnBiosKind::Scsi);
    if (inventory.oem && inventory.oem->flags) area[kElogFlagsAt] = *inventory.oem->flags;
    // The area has room for two serial ports and one parallel port; absent ones stay zero.
    const auto serial = portsOfKind(inventory, PortKind::Serial);
    const auto parallel = portsOfKind(inventory, PortKind::Parallel);
    if (serial.size() > 0) putPortWord(area, kElogSerial1At, serial[0]);
    if (serial.size() > 1) putPortWord(area, kElogSerial2At, serial[1]);
    if (!parallel.empty()) putPortWord(area, kElogParallel1At, parallel[0]);
    checkFits(kElogAreaAddress, area.size(), kMakerAreasLimit);
    image.put(kElogAreaAddress, area);
}

} // namespace qv::sim
