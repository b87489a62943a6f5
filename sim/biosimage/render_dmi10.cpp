#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "maker_areas.h"
#include "smbios_structures.h"
#include "table_records.h"
#include "table_renderers.h"

namespace qv::sim {
namespace {

constexpr std::size_t kHeaderSize = 2;   // type, length

enum class Pointer { Near, Far };

// Records follow one another by their length bytes, a type 0 ends them, and their strings sit
// behind that end, reached by near (offset) or far (offset, segment) pointers patched at the end.
class Dmi10Area {
public:
    std::vector<uint8_t>& record(uint8_t type, std::size_t length)
    {
        records_.push_back(std::vector<uint8_t>(length, 0));
        records_.back()[0] = type;
        records_.back()[1] = static_cast<uint8_t>(length);
        return records_.back();
    }

    void pointTo(std::size_t fieldOffset, const std::string& text, Pointer kind)
    {
        checkTableString(text);
        if (!text.empty()) fixups_.push_back({records_.size() - 1, fieldOffset, text, kind});
    }

    std::vector<uint8_t> build(uint32_t areaAddress)
    {
        std::vector<std::size_t> recordStart;
        std::vector<uint8_t> area;
        for (const auto& r : records_) {
            recordStart.push_back(area.size());
            area.insert(area.end(), r.begin(), r.end());
        }
        area.push_back(0);   // type 0 ends the records
        area.push_back(0);
        for (const auto& f : fixups_) {
            const auto address = static_cast<uint32_t>(areaAddress + area.size());
            const auto offset = static_cast<uint16_t>(address - kBiosSegmentBase);
            const std::size_t at = recordStart[f.record] + f.fieldOffset;
            if (f.kind == Pointer::Far)
                putLittleEndian(area, at, uint32_t(kBiosSegment) << 16 | offset, 4);
            else
                putLittleEndian(area, at, offset, 2);
            area.insert(area.end(), f.text.begin(), f.text.end());
            area.push_back(0);
        }
        return area;
    }

private:
    struct Fixup {
        std::size_t record;
        std::size_t fieldOffset;
        std::string text;
        Pointer kind;
    };
    std::deque<std::vector<uint8_t>> records_;   // references to records stay valid
    std::vector<Fixup> fixups_;
};

void addMakerRecord(Dmi10Area& area, uint8_t modelCode)
{
    auto& r = area.record(kMakerRecordType, 6);
    r[2] = 'Q';
    r[3] = 'V';
    r[4] = modelCode;   // r[5]: capabilities, none
}

void addBiosRecords(Dmi10Area& area, const BiosInfo& info)
{
    auto& bios = area.record(1, 22);
    area.pointTo(2, info.vendor, Pointer::Far);
    area.pointTo(6, info.version, Pointer::Far);
    putLittleEndian(bios, 10, 0xE000, 2);   // starting address segment
    area.pointTo(12, info.releaseDate, Pointer::Far);
    putLittleEndian(bios, 16, info.characteristics, 5);
    bios[21] = 1;   // ROM size

    // The maker's BIOS version lives in its system information record.
    auto& system = area.record(132, 22);
    putLittleEndian(system, 4, 640, 2);   // base memory, KB
    area.pointTo(8, info.version, Pointer::Far);
}

void addSystemRecord(Dmi10Area& area, const SystemInfo& info)
{
    area.record(2, 10);
    area.pointTo(2, info.manufacturer, Pointer::Near);
    area.pointTo(4, info.product, Pointer::Near);
    area.pointTo(6, info.version, Pointer::Near);
    area.pointTo(8, info.serial, Pointer::Near);
}

void addProcessorRecord(Dmi10Area& area, const ProcessorInfo& info)
{
    auto& r = area.record(3, 11);
    r[2] = info.type;
    r[3] = info.family;
    area.pointTo(4, info.manufacturer, Pointer::Near);
    area.pointTo(6, info.version, Pointer::Near);
    putLittleEndian(r, 8, info.currentSpeed, 2);
    r[10] = info.upgrade;
}

void addMemoryModuleRecord(Dmi10Area& area, const MemoryModuleInfo& info)
{
    auto& r = area.record(4, 10);
    area.pointTo(2, info.socket, Pointer::Near);
    r[4] = info.bankConnections;
    r[5] = info.installedSize;
    r[6] = info.enabledSize;
    r[7] = info.speedNs;
    putLittleEndian(r, 8, info.type, 2);
}

void addConnectorRecord(Dmi10Area& area, const PortInfo& info)
{
    auto& r = area.record(6, 6);
    r[2] = connectorTypeOf(info);
    r[3] = portTypeOf(info);
    area.pointTo(4, info.designation, Pointer::Near);
}

void addSlotRecord(Dmi10Area& area, const SystemSlotInfo& info)
{
    auto& r = area.record(7, 7);
    area.pointTo(2, info.designation, Pointer::Near);
    r[4] = info.type;
    r[5] = info.width;
    r[6] = info.usage;
}

// Parallel ports in the low four bits, serial ports in the high four.
void addConfigurationRecord(Dmi10Area& area, const BiosInventory& inventory)
{
    const std::size_t serial = portsOfKind(inventory, PortKind::Serial).size();
    const std::size_t parallel = portsOfKind(inventory, PortKind::Parallel).size();
    if (serial > 0xF || parallel > 0xF) throw std::invalid_argument("more than 15 ports of one kind");
    auto& r = area.record(129, 3);
    r[2] = static_cast<uint8_t>(serial << 4 | parallel);
}

void addInventoryRecords(Dmi10Area& area, const BiosInventory& inventory)
{
    for (const auto& cpu : inventory.processors) addProcessorRecord(area, cpu);
    for (const auto& module : inventory.memoryModules) addMemoryModuleRecord(area, module);
    for (const auto& port : inventory.ports) addConnectorRecord(area, port);
    for (const auto& slot : inventory.slots) addSlotRecord(area, slot);
    if (!inventory.ports.empty()) addConfigurationRecord(area, inventory);
}

void addGenericRecord(Dmi10Area& area, const DmiStructure& raw)
{
    if (raw.type == 0) throw std::invalid_argument("a DMI 1.0 record of type 0 would end the table");
    if (raw.data.size() > 0xFF - kHeaderSize)
        throw std::invalid_argument("record of type " + std::to_string(raw.type) +
                                    " is longer than 255 bytes");
    auto& r = area.record(raw.type, kHeaderSize + raw.data.size());
    std::copy(raw.data.begin(), raw.data.end(), r.begin() + kHeaderSize);
}

} // namespace

void renderDmi10(const BiosInventory& inventory, PhysicalImage& image)
{
    Dmi10Area area;
    // The maker's identification reads the record at the header's pointer: it must come first.
    if (inventory.modelCode) addMakerRecord(area, *inventory.modelCode);
    if (inventory.biosInfo) addBiosRecords(area, *inventory.biosInfo);
    if (inventory.systemInfo) addSystemRecord(area, *inventory.systemInfo);
    addInventoryRecords(area, inventory);
    for (const auto& raw : inventory.structures) addGenericRecord(area, raw);

    const auto bytes = area.build(kDmi10AreaAddress);
    checkFits(kDmi10AreaAddress, bytes.size(), kSegmentTableLimit);
    image.put(kDmi10AreaAddress, bytes);

    Dmi10Header header{};
    std::memcpy(header.anchor, "$DMI", 4);
    header.version = 0x10;
    header.length = sizeof header;
    header.structureOffset = static_cast<uint16_t>(kDmi10AreaAddress - kBiosSegmentBase);
    header.structureSegment = kBiosSegment;
    header.areaLength = static_cast<uint16_t>(bytes.size());
    header.areaChecksum = checksumByte(bytes);
    header.headerChecksum = checksumByte(recordBytes(header, sizeof header - 1));
    image.putRecord(kDmi10HeaderAddress, header);
}

} // namespace qv::sim
