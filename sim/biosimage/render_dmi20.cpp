#include <cstring>

#include "smbios_structures.h"
#include "table_records.h"
#include "table_renderers.h"

namespace qv::sim {
namespace {

uint16_t segmentOffset(uint32_t address) { return static_cast<uint16_t>(address - kBiosSegmentBase); }

// Formatted area, then one word per string holding the string's offset in the segment, then
// the strings themselves. Returns the address right behind it.
uint32_t placeStructure(const SmbiosStyleStructure& s, uint32_t at, PhysicalImage& image)
{
    std::vector<uint8_t> bytes(s.formatted);
    const std::size_t wordTable = bytes.size();
    bytes.resize(wordTable + 2 * s.strings.size(), 0);
    for (std::size_t i = 0; i < s.strings.size(); ++i) {
        const uint16_t offset = segmentOffset(at + static_cast<uint32_t>(bytes.size()));
        putLittleEndian(bytes, wordTable + 2 * i, offset, 2);
        bytes.insert(bytes.end(), s.strings[i].begin(), s.strings[i].end());
        bytes.push_back(0);
    }
    checkFits(at, bytes.size(), kSegmentTableLimit);
    image.put(at, bytes);
    return at + static_cast<uint32_t>(bytes.size());
}

} // namespace

void renderDmi20(const BiosInventory& inventory, PhysicalImage& image)
{
    const auto structures = buildSmbiosStructures(inventory);
    const uint32_t indexAt = kDmi20AnchorAddress + sizeof(Dmi20Anchor);
    const std::size_t indexSize = sizeof(Dmi20IndexEntry) * (structures.size() + 1);
    checkFits(indexAt, indexSize, kSegmentTableLimit);

    Dmi20Anchor anchor{};
    std::memcpy(anchor.anchor, "_DMI20_NT_", sizeof anchor.anchor);
    anchor.version = 0x20;
    anchor.length = static_cast<uint16_t>(sizeof anchor + indexSize);
    image.putRecord(kDmi20AnchorAddress, anchor);

    uint32_t cursor = (indexAt + static_cast<uint32_t>(indexSize) + 15) & ~15u;
    for (std::size_t i = 0; i < structures.size(); ++i) {
        Dmi20IndexEntry entry{};
        entry.structureOffset = segmentOffset(cursor);
        image.putRecord(indexAt + static_cast<uint32_t>(i * sizeof entry), entry);
        cursor = placeStructure(structures[i], cursor, image);
    }
    // The terminating entry stays zero, as the image starts zeroed.
}

} // namespace qv::sim
