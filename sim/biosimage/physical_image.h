// A BIOS memory image addressed by physical address, with bounds-checked writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

#include "bios_image.h"

namespace qv::sim {

class PhysicalImage {
public:
    PhysicalImage() : bytes_(kBiosImageSize, 0) {}

    void put(uint32_t address, std::span<const uint8_t> data)
    {
        if (address > bytes_.size() || data.size() > bytes_.size() - address)
            throw std::length_error("BIOS table does not fit in the image");
        if (!data.empty()) std::memcpy(bytes_.data() + address, data.data(), data.size());
    }

    template <typename Record>
    void putRecord(uint32_t address, const Record& record)
    {
        put(address, {reinterpret_cast<const uint8_t*>(&record), sizeof record});
    }

    std::vector<uint8_t> release() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// The byte that makes `data` plus itself sum to 0 modulo 256.
inline uint8_t checksumByte(std::span<const uint8_t> data)
{
    uint8_t sum = 0;
    for (uint8_t b : data) sum = static_cast<uint8_t>(sum + b);
    return static_cast<uint8_t>(0x100 - sum);
}

// Stores the low `width` bytes of `value` at `at`, least significant first.
inline void putLittleEndian(std::vector<uint8_t>& out, std::size_t at, uint64_t value, std::size_t width)
{
    if (at > out.size() || width > out.size() - at) throw std::length_error("field outside its record");
    for (std::size_t i = 0; i < width; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename Record>
std::span<const uint8_t> recordBytes(const Record& record, std::size_t count = sizeof(Record))
{
    return {reinterpret_cast<const uint8_t*>(&record), count};
}

} // namespace qv::sim
