// A server's BIOS inventory for the system information tests: two running processors and one
// that is not, memory modules, slots of each kind, ports and flags in the OEM strings.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "bios_image.h"

namespace qv::test {

// The formatted area after the 4-byte header; offsets as the standard counts them.
inline std::vector<uint8_t> structureBytes(std::size_t length, std::initializer_list<std::pair<std::size_t, uint8_t>> bytes)
{
    std::vector<uint8_t> data(length - 4);
    for (auto [offset, value] : bytes) data.at(offset - 4) = value;
    return data;
}

// Keyword at 0, IRQ digit at 14, three address digits at 15-17.
inline std::string portOemString(const std::string& keyword, char irq, const std::string& address)
{
    std::string s = keyword;
    s.resize(14, ' ');
    return s + irq + address;
}

inline sim::DmiStructure processor(const std::string& version, uint8_t status, uint16_t mhz, uint8_t family)
{
    return {4, structureBytes(26, {{6, family}, {16, 1}, {22, uint8_t(mhz)}, {23, uint8_t(mhz >> 8)}, {24, status}}), {version}};
}

inline sim::DmiStructure memoryModule(uint8_t sizeByte, uint8_t speed)
{
    return {6, structureBytes(12, {{6, speed}, {9, sizeByte}, {10, sizeByte}}), {}};
}

inline sim::DmiStructure slot(uint8_t type) { return {9, structureBytes(12, {{5, type}}), {}}; }

inline sim::DmiStructure oemStrings(const std::vector<std::string>& strings)
{
    return {11, structureBytes(5, {{4, uint8_t(strings.size())}}), strings};
}

inline sim::DmiStructure extraBios(uint8_t kind, const std::string& version)
{
    return {0, structureBytes(18, {{5, 1}, {16, kind}}), {version}};
}

inline sim::BiosInventory hostInventory()
{
    sim::BiosInventory inv;
    inv.modelCode = 66;
    inv.structures = {
        extraBios(1, "SCSI 2.01"),
        extraBios(2, "VIDEO 3.10"),
        processor("Pentium III Xeon", 0x41, 550, 0xB0),
        processor("Pentium II", 0x00, 300, 0x11),
        processor("Pentium III", 0x41, 600, 0xB1),
        memoryModule(0x06, 60),
        memoryModule(0x06, 70),
        memoryModule(0x7F, 0),
        slot(3), slot(6), slot(18), slot(4),
        oemStrings({portOemString("Serial", '4', "3F8"), portOemString("Serial", '3', "2F8"),
                    portOemString("Parallel", '7', "378"), portOemString("Flags", '1', "3")}),
    };
    return inv;
}

} // namespace qv::test
