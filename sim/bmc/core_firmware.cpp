// Firmware transfer commands: a flash image written and read through a transfer address.
#include "controller_core.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr uint8_t kKey[2] = {'Q', 'V'};
constexpr size_t kMaxProgram = 32;
constexpr size_t kMaxRead = 31;
constexpr uint8_t kBlockOk = 0x00;

uint32_t address24(const Bytes& d, size_t at) { return d[at] | d[at + 1] << 8 | static_cast<uint32_t>(d[at + 2]) << 16; }
void put24(Bytes& out, uint32_t v) { for (int i = 0; i < 3; ++i) out.push_back((v >> (8 * i)) & 0xFF); }
} // namespace

Bytes ControllerCore::firmware(uint8_t cmd, const Bytes& d) {
    if (cmd == 0xC0) {   // enter transfer mode with the key
        if (d.size() != 2 || d[0] != kKey[0] || d[1] != kKey[1])
            return answer(cc::kInvalidField);
        flash.transferMode = true;
        flash.address = 0;
        return answer(cc::kOk);
    }
    if (cmd == 0xC5) {
        flash.transferMode = false;
        return answer(cc::kOk);
    }
    if (cmd < 0xC1 || cmd > 0xC4)
        return answer(cc::kInvalidCommand);
    if (!flash.transferMode)
        return answer(cc::kNotInThisState);
    const size_t size = flash.flash.size();
    switch (cmd) {
    case 0xC1:
        if (d.size() < 3)
            return answer(cc::kRequestLength);
        if (address24(d, 0) >= size)
            return answer(cc::kOutOfRange);
        flash.address = address24(d, 0);
        return answer(cc::kOk);
    case 0xC2: {  // program: the bytes land at the transfer address, which moves on
        if (d.size() > kMaxProgram)
            return answer(cc::kRequestLength);
        if (flash.address + d.size() > size)
            return answer(cc::kOutOfRange);
        std::copy(d.begin(), d.end(), flash.flash.begin() + flash.address);
        flash.address += static_cast<uint32_t>(d.size());
        return answer(cc::kOk, {static_cast<uint8_t>(d.size()), kBlockOk});
    }
    case 0xC4: {
        if (d.size() < 1)
            return answer(cc::kRequestLength);
        if (d[0] > kMaxRead)
            return answer(cc::kInvalidField);
        size_t n = std::min<size_t>(d[0], size - flash.address);
        Bytes out{cc::kOk};
        out.insert(out.end(), flash.flash.begin() + flash.address, flash.flash.begin() + flash.address + n);
        flash.address += static_cast<uint32_t>(n);
        return out;
    }
    default: {    // 0xC3 checksum of start..end inclusive: the 16-bit sum of the bytes
        if (d.size() < 6)
            return answer(cc::kRequestLength);
        uint32_t start = address24(d, 0), end = address24(d, 3);
        if (start > end || end >= size)
            return answer(cc::kOutOfRange);
        uint16_t sum = 0;
        for (uint32_t a = start; a <= end; ++a)
            sum = static_cast<uint16_t>(sum + flash.flash[a]);
        Bytes out = answer(cc::kOk, {kBlockOk, kBlockOk});
        put24(out, start);
        put24(out, end);
        put16(out, sum);
        return out;
    }
    }
}

} // namespace qv::sim
