// Hand-placed BIOS memory images (1 MiB, offset = physical address) for identification tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

class TempRoot;

using BiosImage = std::vector<uint8_t>;
constexpr size_t kBiosImageSize = 0x100000;

BiosImage blankBiosImage();
void pokeText(BiosImage& image, size_t at, const std::string& text);
void pokeWord(BiosImage& image, size_t at, uint16_t value);

// "_SM_" entry point whose table lies at ((sel & 0xF) << 16) + off.
void putSmbiosEntry(BiosImage& image, size_t at, uint16_t tableSel, uint16_t tableOff,
                    uint16_t count);
// "_DMI20_NT_" anchor followed by 8-byte entries with these F-segment offsets and a 0 entry.
void putDmi20Anchor(BiosImage& image, size_t at, const std::vector<uint16_t>& offsets);
// "$DMI" header pointing at a record offset within its own 64 KB segment.
void putDmi10Header(BiosImage& image, size_t at, uint16_t recordOffset);
void putDmi10Record(BiosImage& image, size_t at, uint8_t code);
// A structure with its string set; returns the offset just after it.
size_t putStructure(BiosImage& image, size_t at, uint8_t type, uint8_t length,
                    const std::vector<std::string>& strings);
size_t putOemStructure(BiosImage& image, size_t at, uint8_t code);

void writeMemDevice(const TempRoot& root, const BiosImage& image);

} // namespace qv::test
