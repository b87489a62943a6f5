// Model code from the OEM record (type 128, "QV") of the SMBIOS 2.1, DMI 2.0 or DMI 1.0 tables.
// Every read stays inside its mapping: a damaged or truncated table reads as "no record".
#include "bios_tables.h"
#include "identify.h"

#include <cstring>

namespace {

constexpr uint32_t kLowBiosBase = 0xE0000;
constexpr uint32_t kHighBiosBase = 0xF0000;
constexpr unsigned kTwoSegments = 0x20000;
constexpr unsigned kOneSegment = 0x10000;
constexpr size_t kAnchorScanEnd = 0x1FF80;      // anchors are searched below this offset
constexpr size_t kDmi10Paragraphs = 4095;
constexpr uint8_t kOemType = 0x80;

class PhysicalMapping {
public:
    PhysicalMapping(uint32_t base, unsigned size)
        : size_(size), data_(static_cast<const uint8_t*>(MmMapIoSpace({base}, size, 0)))
    {
    }
    ~PhysicalMapping() { MmUnmapIoSpace(const_cast<uint8_t*>(data_), size_); }
    PhysicalMapping(const PhysicalMapping&) = delete;
    PhysicalMapping& operator=(const PhysicalMapping&) = delete;

    bool ok() const { return data_ != nullptr; }
    size_t size() const { return size_; }
    bool has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
    const uint8_t* at(size_t offset) const { return data_ + offset; }
    bool matches(size_t offset, const char* text) const
    {
        size_t length = std::strlen(text);
        return has(offset, length) && std::memcmp(at(offset), text, length) == 0;
    }
    uint16_t word(size_t offset) const
    {
        uint16_t value = 0;
        if (has(offset, 2)) std::memcpy(&value, at(offset), 2);
        return value;
    }

private:
    unsigned size_;
    const uint8_t* data_;
};

// Type 128 with "QV" at bytes 4 and 5 carries the code in byte 6.
bool oemCode(const PhysicalMapping& map, size_t offset, unsigned long* code)
{
    if (!map.has(offset, 7)) return false;
    const uint8_t* record = map.at(offset);
    if (record[0] != kOemType || record[4] != 'Q' || record[5] != 'V') return false;
    *code = record[6];
    return true;
}

unsigned long DMI_21(const DMI_Header_21& entry)
{
    PhysicalMapping map(static_cast<uint32_t>(entry.StrucTableSel & 0xF) << 16, kTwoSegments);
    if (!map.ok()) return 0;
    size_t pos = entry.StrucTableOff;
    for (unsigned n = 0; n < entry.NumStructures && map.has(pos, 2); ++n) {
        unsigned long code = 0;
        if (oemCode(map, pos, &code)) return code;
        pos += map.at(pos)[1];
        // The string set ends with two zero bytes; one running off the mapping ends the walk.
        while (map.has(pos, 2) && !(map.at(pos)[0] == 0 && map.at(pos)[1] == 0)) ++pos;
        if (!map.has(pos, 2)) return 0;
        pos += 2;
    }
    return 0;
}

unsigned long DMI_20(const PhysicalMapping& map, size_t anchor)
{
    for (size_t entry = anchor + offsetof(DMI_Header_20, structurePtr);
         entry < kAnchorScanEnd; entry += 8) {
        uint16_t offset = map.word(entry);
        size_t structure = kOneSegment + offset;
        if (offset == 0 || structure >= kAnchorScanEnd) break;
        unsigned long code = 0;
        if (oemCode(map, structure, &code)) return code;
    }
    return 0;
}

// 1 when the area cannot be mapped, else 0 with the code of the first anchor found.
int GetDMISpu_2x(unsigned long* code)
{
    *code = 0;
    PhysicalMapping map(kLowBiosBase, kTwoSegments);
    if (!map.ok()) return 1;
    for (size_t offset = 0; offset < kAnchorScanEnd; ++offset) {
        if (map.matches(offset, "_SM_") && map.has(offset, sizeof(DMI_Header_21))) {
            DMI_Header_21 entry;
            std::memcpy(&entry, map.at(offset), sizeof entry);
            *code = DMI_21(entry);
            return 0;
        }
        if (map.matches(offset, "_DMI20_NT_")) {
            *code = DMI_20(map, offset);
            return 0;
        }
    }
    return 0;
}

unsigned long GetDMISpu_10(const PhysicalMapping& segment)
{
    for (size_t paragraph = 0; paragraph < kDmi10Paragraphs; ++paragraph) {
        size_t offset = paragraph * 16;
        if (!segment.matches(offset, "$DMI") || !segment.has(offset, sizeof(DMI_Header))) continue;
        DMI_Header header;
        std::memcpy(&header, segment.at(offset), sizeof header);
        size_t record = header.structurePtr & 0xFFFF;
        if (!segment.has(record, 5)) return 0;
        const uint8_t* bytes = segment.at(record);
        return (bytes[2] == 'Q' && bytes[3] == 'V') ? bytes[4] : 0;
    }
    return 0;
}

// 1 when the segment cannot be mapped, else 0 with its DMI 1.0 code (0 when none).
int dmi10Segment(uint32_t base, unsigned long* code)
{
    PhysicalMapping segment(base, kOneSegment);
    if (!segment.ok()) return 1;
    *code = GetDMISpu_10(segment);
    return 0;
}

} // namespace

int IdentifyVelkarn(unsigned long* pSpuNum)
{
    unsigned long code = 0;
    *pSpuNum = 0;
    if (GetDMISpu_2x(&code) != 0) return 1;
    if (code == 0 && dmi10Segment(kHighBiosBase, &code) != 0) return 1;
    if (code == 0 && dmi10Segment(kLowBiosBase, &code) != 0) return 1;
    *pSpuNum = code;
    return 0;
}

int IsVelkarnId(void)
{
    unsigned long code = 0;
    return IdentifyVelkarn(&code) == 0 && IsLibraryModelCode(code) ? 1 : 0;
}
