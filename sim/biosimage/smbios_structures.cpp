#include "smbios_structures.h"

#include <stdexcept>

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
    if (inventory.systemInfo) out.push_back(systemStructure(*inventory.systemInfo, nextHandle()));
    if (inventory.modelCode) out.push_back(makerStructure(*inventory.modelCode, nextHandle()));
    for (const auto& raw : inventory.structures) out.push_back(genericStructure(raw, nextHandle()));
    return out;
}

} // namespace qv::sim
