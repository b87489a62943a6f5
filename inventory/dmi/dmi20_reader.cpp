#include "smbios_family_reader.h"

using qv::dmi::SegmentMapping;
using qv::dmi::SegmentView;

namespace {

constexpr unsigned short kTableSegment = 0xF000;
constexpr std::size_t kLastAnchorOffset = 65524;
constexpr std::size_t kIndexAfterAnchor = 13;
constexpr std::size_t kIndexEntrySize = 8;

} // namespace

bool CQVDMIBIOS20::ScanForTable()
{
    SegmentMapping mapping(m_pDriver, kTableSegment);
    const SegmentView& view = mapping.view();
    if (!view.valid()) return false;
    auto anchor = view.find("_DMI20_NT_", 10, 0, kLastAnchorOffset);
    if (!anchor) return false;
    m_wTableSeg = kTableSegment;
    m_wTableOff = uint16_t(*anchor + kIndexAfterAnchor);
    m_bDMIBIOSVersion = 20;
    return true;
}

void CQVDMIBIOS20::Walk(const SegmentView& view, const std::function<bool(std::size_t)>& visit)
{
    for (std::size_t entry = m_wTableOff; view.contains(entry, 2); entry += kIndexEntrySize) {
        const std::size_t structure = view.wordOr0(entry);
        if (structure == 0 || !view.contains(structure, 2)) return;
        if (visit(structure)) return;
    }
}

std::optional<std::size_t> CQVDMIBIOS20::StringOffset(const SegmentView& view, std::size_t offset, UC number)
{
    auto text = view.field(offset + view.byteOr0(offset + 1) + 2u * (number - 1u), 2);
    if (!text || !view.contains(*text, 1)) return std::nullopt;
    return std::size_t(*text);
}
