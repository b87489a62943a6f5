#include <algorithm>
#include <cstddef>
#include <cstring>

#include "smbios_structures.h"
#include "table_records.h"
#include "table_renderers.h"

namespace qv::sim {
namespace {

constexpr uint8_t kEndOfTableType = 127;

// Formatted area, then the string set ended by an extra NUL (two NULs when there are no strings).
std::vector<uint8_t> serialize(const SmbiosStyleStructure& s)
{
    std::vector<uint8_t> out(s.formatted);
    for (const auto& text : s.strings) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    if (s.strings.empty()) out.push_back(0);
    out.push_back(0);
    return out;
}

} // namespace

void renderSmbios21(const BiosInventory& inventory, PhysicalImage& image)
{
    auto structures = buildSmbiosStructures(inventory);
    const auto endHandle = static_cast<uint16_t>(structures.size());
    structures.push_back({{kEndOfTableType, 4, static_cast<uint8_t>(endHandle),
                           static_cast<uint8_t>(endHandle >> 8)}, {}});

    std::vector<uint8_t> table;
    std::size_t largest = 0;
    for (const auto& s : structures) {
        const auto bytes = serialize(s);
        largest = std::max(largest, bytes.size());
        table.insert(table.end(), bytes.begin(), bytes.end());
    }
    checkFits(kSmbiosTableAddress, table.size(), kSmbiosTableLimit);
    image.put(kSmbiosTableAddress, table);

    SmbiosEntryPoint entry{};
    std::memcpy(entry.anchor, "_SM_", 4);
    entry.length = sizeof entry;
    entry.majorVersion = 2;
    entry.minorVersion = 1;
    entry.maxStructureSize = static_cast<uint16_t>(largest);
    std::memcpy(entry.intermediateAnchor, "_DMI_", 5);
    entry.tableLength = static_cast<uint16_t>(table.size());
    entry.tableAddress = kSmbiosTableAddress;
    entry.structureCount = static_cast<uint16_t>(structures.size());
    entry.bcdRevision = 0x21;
    const auto intermediateAt = offsetof(SmbiosEntryPoint, intermediateAnchor);
    entry.intermediateChecksum =
        checksumByte(recordBytes(entry).subspan(intermediateAt, sizeof entry - intermediateAt));
    entry.checksum = checksumByte(recordBytes(entry));
    image.putRecord(kSmbiosEntryAddress, entry);
}

} // namespace qv::sim
