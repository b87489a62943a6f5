// The inventory as SMBIOS-style structures (formatted area with its 4-byte header, numbered
// strings), shared by the SMBIOS 2.1 and DMI 2.0 renderings, which differ only in how strings
// are stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bios_image.h"

namespace qv::sim {

struct SmbiosStyleStructure {
    std::vector<uint8_t> formatted;   // type, length, handle, fields
    std::vector<std::string> strings; // string n is strings[n - 1]
};

// Type 0, type 1, the maker record, then the inventory's own structures; handles from 0.
std::vector<SmbiosStyleStructure> buildSmbiosStructures(const BiosInventory& inventory);

// Numbers strings as they are added; an empty text is "no string" (number 0).
class StringNumbering {
public:
    uint8_t add(const std::string& text);
    std::vector<std::string> take() { return std::move(strings_); }

private:
    std::vector<std::string> strings_;
};

// Throws std::invalid_argument unless `text` can be stored as a NUL-terminated table string.
void checkTableString(const std::string& text);

} // namespace qv::sim
