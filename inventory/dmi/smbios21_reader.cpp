#include <cstring>
#include <string>

#include "smbios_family_reader.h"

using qv::dmi::copyText;
using qv::dmi::SegmentMapping;
using qv::dmi::SegmentView;

namespace {

constexpr unsigned short kEntrySegment = 0xF000;
constexpr std::size_t kLastAnchorOffset = 65530;
constexpr std::size_t kTableAddressField = 0x18;
constexpr std::size_t kStructureCountField = 0x1C;
// Firmware that never had a serial number programmed carries this text.
constexpr const char* kPlaceholderSerial = "1234567890";

} // namespace

bool CQVSMBIOS21::ScanForTable()
{
    SegmentMapping mapping(m_pDriver, kEntrySegment);
    const SegmentView& view = mapping.view();
    if (!view.valid()) return false;
    auto entry = view.find("_SM_", 4, 0, kLastAnchorOffset);
    if (!entry) return false;
    // Fields past the segment read as 0: an entry point at its very end announces an empty table.
    const uint32_t address = view.dwordOr0(*entry + kTableAddressField);
    m_wTableOff = uint16_t(address & 0xFFFF);
    m_wTableSeg = uint16_t((address >> 16) * 0x1000);
    m_wNumStructures = view.wordOr0(*entry + kStructureCountField);
    m_bDMIBIOSVersion = 21;
    return true;
}

void CQVSMBIOS21::Walk(const SegmentView& view, const std::function<bool(std::size_t)>& visit)
{
    std::size_t off = m_wTableOff;
    for (unsigned i = 0; i < m_wNumStructures && view.contains(off, 2); ++i) {
        if (visit(off)) return;
        auto next = view.skipDoubleNul(off + view.byteOr0(off + 1));
        if (!next) return;
        off = *next;
    }
}

std::optional<std::size_t> CQVSMBIOS21::StringOffset(const SegmentView& view, std::size_t offset, UC number)
{
    std::size_t p = offset + view.byteOr0(offset + 1);
    for (unsigned k = 1; k < number; ++k) {
        if (view.byteOr0(p) == 0) return std::nullopt;   // the set ends before that number
        auto next = view.skipString(p);
        if (!next) return std::nullopt;
        p = *next;
    }
    if (!view.contains(p, 1) || view.byteOr0(p) == 0) return std::nullopt;
    return p;
}

int CQVSMBIOS21::GetQVSerialNumber(UC* buffer, UC length)
{
    UC serial[256];
    if (!GetDMIString(1, 1, 7, serial, sizeof serial - 1) ||
        std::strcmp(reinterpret_cast<char*>(serial), kPlaceholderSerial) == 0)
        copyText(buffer, length, "Unknown");
    else
        copyText(buffer, length, reinterpret_cast<char*>(serial));
    return 1;
}

int CQVSMBIOS21::GetSystemModel(UC* buffer, UC length)
{
    UC product[256], version[256];
    if (!GetDMIString(1, 1, 5, product, sizeof product - 1) || !GetDMIString(1, 1, 6, version, sizeof version - 1))
        return 0;
    std::string joined = reinterpret_cast<char*>(product);
    joined += ' ';
    joined += reinterpret_cast<char*>(version);
    copyText(buffer, length, joined.c_str());
    return 1;
}

int CQVSMBIOS21::GetProcessorVersion(int processor, UC* buffer, UC length)
{
    return GetDMIString(4, UC(processor), 16, buffer, length);
}
