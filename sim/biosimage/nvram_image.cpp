#include <cstddef>
#include <stdexcept>

#include "bios_image.h"

namespace qv::sim {
namespace {

constexpr std::size_t kFloppyTypesIndex = 0x10;
constexpr std::size_t kChecksumFirstIndex = 0x10;
constexpr std::size_t kChecksumLastIndex = 0x2D;
constexpr std::size_t kChecksumIndex = 0x2E;   // high byte; the low byte follows

uint8_t& at(std::vector<uint8_t>& nvram, std::size_t index) { return nvram.at(index - kNvramFirstIndex); }

} // namespace

std::optional<std::vector<uint8_t>> renderNvramImage(const BiosInventory& inventory)
{
    if (!inventory.cmos) return std::nullopt;
    const CmosInfo& cmos = *inventory.cmos;
    if (cmos.floppy0Type > 0xF || cmos.floppy1Type > 0xF)
        throw std::invalid_argument("a floppy type does not fit in four bits");
    std::vector<uint8_t> nvram(kNvramSize, 0);
    // Drive 0 in the high four bits.
    at(nvram, kFloppyTypesIndex) = static_cast<uint8_t>(cmos.floppy0Type << 4 | cmos.floppy1Type);
    unsigned sum = 0;
    for (std::size_t i = kChecksumFirstIndex; i <= kChecksumLastIndex; ++i) sum += at(nvram, i);
    at(nvram, kChecksumIndex) = static_cast<uint8_t>(sum >> 8);
    at(nvram, kChecksumIndex + 1) = static_cast<uint8_t>(sum);
    return nvram;
}

} // namespace qv::sim
