#include "bios_image_craft.h"

#include "temp_root.h"

#include <cstring>

namespace qv::test {

BiosImage blankBiosImage() { return BiosImage(kBiosImageSize, 0); }

void pokeText(BiosImage& image, size_t at, const std::string& text)
{
    std::memcpy(image.data() + at, text.data(), text.size());
}

void pokeWord(BiosImage& image, size_t at, uint16_t value)
{
    image.at(at) = static_cast<uint8_t>(value);
    image.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void putSmbiosEntry(BiosImage& image, size_t at, uint16_t tableSel, uint16_t tableOff,
                    uint16_t count)
{
    pokeText(image, at, "_SM_");
    image.at(at + 5) = 0x1F;
    image.at(at + 6) = 2;
    image.at(at + 7) = 1;
    pokeText(image, at + 16, "_DMI_");
    pokeWord(image, at + 24, tableOff);
    pokeWord(image, at + 26, tableSel);
    pokeWord(image, at + 28, count);
}

void putDmi20Anchor(BiosImage& image, size_t at, const std::vector<uint16_t>& offsets)
{
    pokeText(image, at, "_DMI20_NT_");
    size_t entry = at + 13;
    for (uint16_t offset : offsets) {
        pokeWord(image, entry, offset);
        entry += 8;
    }
    pokeWord(image, entry, 0);
}

void putDmi10Header(BiosImage& image, size_t at, uint16_t recordOffset)
{
    pokeText(image, at, "$DMI");
    image.at(at + 4) = 1;
    image.at(at + 5) = 12;
    pokeWord(image, at + 6, recordOffset);
}

void putDmi10Record(BiosImage& image, size_t at, uint8_t code)
{
    image.at(at) = 0x80;
    image.at(at + 1) = 5;
    image.at(at + 2) = 'Q';
    image.at(at + 3) = 'V';
    image.at(at + 4) = code;
}

size_t putStructure(BiosImage& image, size_t at, uint8_t type, uint8_t length,
                    const std::vector<std::string>& strings)
{
    image.at(at) = type;
    image.at(at + 1) = length;
    size_t pos = at + length;
    for (const auto& text : strings) {
        pokeText(image, pos, text);
        pos += text.size() + 1;
    }
    if (strings.empty()) ++pos;
    image.at(pos) = 0;
    return pos + 1;
}

size_t putOemStructure(BiosImage& image, size_t at, uint8_t code)
{
    size_t next = putStructure(image, at, 0x80, 8, {});
    image.at(at + 4) = 'Q';
    image.at(at + 5) = 'V';
    image.at(at + 6) = code;
    return next;
}

void writeMemDevice(const TempRoot& root, const BiosImage& image)
{
    root.writeFile("/dev/mem", std::string(image.begin(), image.end()));
}

} // namespace qv::test
