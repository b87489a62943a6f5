#include "pci_slot_info.h"

#include <cstring>

#include "dmi_driver.h"

std::vector<PCI_SLOT_INFO> parsePirTable(const uint8_t* segment, size_t length)
{
    std::vector<PCI_SLOT_INFO> slots;
    constexpr size_t kLastOffset = 65530;
    for (size_t at = 0; at <= kLastOffset && at + sizeof(PirHeader) <= length; ++at) {
        if (std::memcmp(segment + at, "$PIR", 4) != 0) continue;
        PirHeader header;
        std::memcpy(&header, segment + at, sizeof header);
        const size_t size = header.tableSize;
        // The signature text can occur in BIOS code or strings: a candidate that is not a whole,
        // valid table (shorter than its header, past the segment, bad sum) does not end the search.
        if (size < sizeof(PirHeader) || size > length - at) continue;
        uint8_t sum = 0;
        for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + segment[at + i]);
        if (sum != 0) continue;
        for (size_t e = sizeof(PirHeader); e + sizeof(PirSlotEntry) <= size; e += sizeof(PirSlotEntry)) {
            PirSlotEntry entry;
            std::memcpy(&entry, segment + at + e, sizeof entry);
            slots.push_back({entry.bus, entry.devFn >> 3, static_cast<int8_t>(entry.slot)});
        }
        return slots;
    }
    return slots;
}

PCISlotInfo::PCISlotInfo()
{
    CQVDMIDriver G_DmiDriver;
    if (!G_DmiDriver.LoadDriver()) return;
    const unsigned short segment = 0xF000;
    if (const unsigned char* base = G_DmiDriver.GetPtrOnSegment(segment)) {
        slot_info = parsePirTable(base, CQVDMIDriver::SegmentLength(segment));
        G_DmiDriver.ReleasePtrOnSegment();
    }
}

int PCISlotInfo::slotNumber(int bus, int device) const
{
    for (const PCI_SLOT_INFO& s : slot_info)
        if (s.BusNum == bus && s.DeviceNum == device) return s.SlotNum;
    return 0;
}
