// Slot numbers from the BIOS's PCI interrupt routing table ("$PIR") in segment F000h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PCI_SLOT_INFO {
    int BusNum;
    int DeviceNum;
    int SlotNum;
};

// The routing table's layout as the BIOS stores it.
#pragma pack(push, 1)
struct PirHeader {
    char signature[4];        // "$PIR"
    uint16_t version;
    uint16_t tableSize;       // whole table, header included
    uint8_t routerBus;
    uint8_t routerDevFn;
    uint16_t exclusiveIrqs;
    uint32_t compatibleRouter;
    uint32_t miniportData;
    uint8_t reserved[11];
    uint8_t checksum;
};
struct PirSlotEntry {
    uint8_t bus;
    uint8_t devFn;            // device number in bits 3 to 7
    uint8_t links[12];        // INTA# to INTD#: link value and IRQ bitmap each
    uint8_t slot;
    uint8_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(PirHeader) == 32);
static_assert(sizeof(PirSlotEntry) == 16);

// Entries of the first "$PIR" table in `segment` (searched at offsets 0 to 65530) whose bytes
// sum to 0; empty when there is none. A candidate shorter than its header, running past the
// segment or not summing to 0 is skipped and the search goes on.
std::vector<PCI_SLOT_INFO> parsePirTable(const uint8_t* segment, size_t length);

class PCISlotInfo {
public:
    // Maps segment F000h through the DMI driver and reads the table; no table without /dev/mem.
    PCISlotInfo();

    // The slot of the first entry for that bus and device, as a signed byte; 0 when none.
    int slotNumber(int bus, int device) const;
    const std::vector<PCI_SLOT_INFO>& entries() const { return slot_info; }

private:
    std::vector<PCI_SLOT_INFO> slot_info;
};
