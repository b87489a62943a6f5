#include "smbios_structures.h"

#include <stdexcept>

#include "maker_areas.h"
#include "physical_image.h"
#include "table_records.h"

namespace qv::sim {
namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kMaxStrings = 255;   // string numbers are bytes

std::vector<uint8_t> header(uint8_t type, std::size_t length, uint16_t handle)
{
    std::vector<uint8_t> out(length, 0);
    out[0] = type;
    out[1] = static_cast<uint8_t>(length);
    putLittleEndian(out, 2, handle, 2);
    return out;
}

SmbiosStyleStructure biosStructure(const BiosInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(0, 0x12, handle), {}};
    StringNumbering strings;
    s.formatted[4] = strings.add(info.vendor);
    s.formatted[5] = strings.add(info.version);
    putLittleEndian(s.formatted, 6, 0xE000, 2);   // starting address segment
    s.formatted[8] = strings.add(info.releaseDate);
    s.formatted[9] = 1;   // 128 KB ROM
    putLittleEndian(s.formatted, 10, info.characteristics, 8);
    s.strings = strings.take();
    return s;
}

SmbiosStyleStructure addOnBiosStructure(const AddOnBios& info, uint16_t handle)
{
    BiosInfo base{info.vendor, info.version, info.releaseDate, 0};
    SmbiosStyleStructure s = biosStructure(base, handle);
    s.formatted[16] = static_cast<uint8_t>(info.kind);   // characteristics byte 6: the BIOS kind
    return s;
}

SmbiosStyleStructure processorStructure(const ProcessorInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(4, 0x1A, handle), {}};
    StringNumbering strings;
    s.formatted[4] = strings.add(info.socket);
    s.formatted[5] = info.type;
    s.formatted[6] = info.family;
    s.formatted[7] = strings.add(info.manufacturer);
    putLittleEndian(s.formatted, 8, info.id, 8);
    s.formatted[16] = strings.add(info.version);
    s.formatted[17] = info.voltage;
    putLittleEndian(s.formatted, 18, info.externalClock, 2);
    putLittleEndian(s.formatted, 20, info.maxSpeed, 2);
    putLittleEndian(s.formatted, 22, info.currentSpeed, 2);
    s.formatted[24] = info.status;
    s.formatted[25] = info.upgrade;
    s.strings = strings.take();
    return s;
}

// The module structures follow the controller, so their handles are the next ones.
SmbiosStyleStructure memoryControllerStructure(const MemoryControllerInfo& info, std::size_t modules,
                                               uint16_t handle)
{
    if (modules > 0x7F) throw std::invalid_argument("more than 127 memory modules for one controller");
    SmbiosStyleStructure s{header(5, 0x10 + 2 * modules, handle), {}};
    s.formatted[4] = info.errorDetection;
    s.formatted[5] = info.eccCapabilities;
    s.formatted[6] = info.supportedInterleave;
    s.formatted[7] = info.currentInterleave;
    s.formatted[8] = info.maxModuleSizeExponent;
    putLittleEndian(s.formatted, 9, info.supportedSpeeds, 2);
    putLittleEndian(s.formatted, 11, info.supportedTypes, 2);
    s.formatted[13] = info.voltages;
    s.formatted[14] = static_cast<uint8_t>(modules);
    for (std::size_t i = 0; i < modules; ++i) putLittleEndian(s.formatted, 15 + 2 * i, handle + 1 + i, 2);
    s.formatted[15 + 2 * modules] = info.enabledEcc;
    return s;
}

SmbiosStyleStructure memoryModuleStructure(const MemoryModuleInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(6, 0x0C, handle), {}};
    StringNumbering strings;
    s.formatted[4] = strings.add(info.socket);
    s.formatted[5] = info.bankConnections;
    s.formatted[6] = info.speedNs;
    putLittleEndian(s.formatted, 7, info.type, 2);
    s.formatted[9] = info.installedSize;
    s.formatted[10] = info.enabledSize;
    s.formatted[11] = info.errorStatus;
    s.strings = strings.take();
    return s;
}

SmbiosStyleStructure slotStructure(const SystemSlotInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(9, 0x0D, handle), {}};
    StringNumbering strings;
    s.formatted[4] = strings.add(info.designation);
    s.formatted[5] = info.type;
    s.formatted[6] = info.width;
    s.formatted[7] = info.usage;
    s.formatted[8] = info.length;
    putLittleEndian(s.formatted, 9, info.id, 2);
    s.formatted[11] = 0x04;   // 3.3 V
    s.strings = strings.take();
    return s;
}

// The designation is the external reference; there is no internal connector.
SmbiosStyleStructure connectorStructure(const PortInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(8, 0x09, handle), {}};
    StringNumbering strings;
    s.formatted[6] = strings.add(info.designation);
    s.formatted[7] = connectorTypeOf(info);
    s.formatted[8] = portTypeOf(info);
    s.strings = strings.take();
    return s;
}

SmbiosStyleStructure oemStringsStructure(const std::vector<std::string>& texts, uint16_t handle)
{
    SmbiosStyleStructure s{header(11, 5, handle), {}};
    StringNumbering strings;
    for (const auto& text : texts)
        if (strings.add(text) == 0) throw std::invalid_argument("an OEM string is empty");
    s.strings = strings.take();
    s.formatted[4] = static_cast<uint8_t>(s.strings.size());
    return s;
}

SmbiosStyleStructure systemStructure(const SystemInfo& info, uint16_t handle)
{
    SmbiosStyleStructure s{header(1, 0x19, handle), {}};
    StringNumbering strings;
    s.formatted[4] = strings.add(info.manufacturer);
    s.formatted[5] = strings.add(info.product);
    s.formatted[6] = strings.add(info.version);
    s.formatted[7] = strings.add(info.serial);
    s.formatted[24] = 6;   // woken by the power switch
    s.strings = strings.take();
    return s;
}

SmbiosStyleStructure makerStructure(uint8_t modelCode, uint16_t handle)
{
    // 'Q','V', the model code, then the dword at 9 the maker's readers take as the entry pointer.
    SmbiosStyleStructure s{header(kMakerRecordType, 13, handle), {}};
    s.formatted[4] = 'Q';
    s.formatted[5] = 'V';
    s.formatted[6] = modelCode;
    return s;
}

SmbiosStyleStructure genericStructure(const DmiStructure& raw, uint16_t handle)
{
    if (raw.data.size() > 0xFF - kHeaderSize)
        throw std::invalid_argument("structure of type " + std::to_string(raw.type) +
                                    " is longer than 255 bytes");
    if (raw.strings.size() > kMaxStrings)
        throw std::invalid_argument("structure of type " + std::to_string(raw.type) +
                                    " has more than 255 strings");
    for (const auto& text : raw.strings) {
        checkTableString(text);
        if (text.empty())
            throw std::invalid_argument("an empty string would end the string set early");
    }
    SmbiosStyleStructure s{header(raw.type, kHeaderSize + raw.data.size(), handle), raw.strings};
    std::copy(raw.data.begin(), raw.data.end(), s.formatted.begin() + kHeaderSize);
    return s;
}

} // namespace

void checkTableString(const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("table string holds a NUL byte");
}

uint8_t StringNumbering::add(const std::string& text)
{
    checkTableString(text);
    if (text.empty()) return 0;
    if (strings_.size() >= kMaxStrings) throw std::invalid_argument("more than 255 strings");
    strings_.push_back(text);
    return static_cast<uint8_t>(strings_.size());
}

std::vector<SmbiosStyleStructure> buildSmbiosStructures(const BiosInventory& inventory)
{
    std::vector<SmbiosStyleStructure> out;
    auto nextHandle = [&out] { return static_cast<uint16_t>(out.size()); };
    if (inventory.biosInfo) out.push_back(biosStructure(*inventory.biosInfo, nextHandle()));
    for (const auto& bios : inventory.addOnBioses) out.push_back(addOnBiosStructure(bios, nextHandle()));
    if (inventory.systemInfo) out.push_back(systemStructure(*inventory.systemInfo, nextHandle()));
    if (inventory.modelCode) out.push_back(makerStructure(*inventory.modelCode, nextHandle()));
    for (const auto& cpu : inventory.processors) out.push_back(processorStructure(cpu, nextHandle()));
    if (inventory.memoryController)
        out.push_back(memoryControllerStructure(*inventory.memoryController, inventory.memoryModules.size(),
                                                nextHandle()));
    for (const auto& module : inventory.memoryModules) out.push_back(memoryModuleStructure(module, nextHandle()));
    for (const auto& slot : inventory.slots) out.push_back(slotStructure(slot, nextHandle()));
    for (const auto& port : inventory.ports) out.push_back(connectorStructure(port, nextHandle()));
    if (const auto oem = composeOemStrings(inventory); !oem.empty())
        out.push_back(oemStringsStructure(oem, nextHandle()));
    for (const auto& raw : inventory.structures) out.push_back(genericStructure(raw, nextHandle()));
    return out;
}

} // namespace qv::sim
