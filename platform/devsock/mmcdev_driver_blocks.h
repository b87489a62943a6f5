// Blocks exchanged with the controller driver through its plain-numbered ioctls.
#pragma once

#include <cstdint>

namespace qv::devsock::mmcdev {

#pragma pack(push, 1)
// The buffer addresses are 32-bit: the driver was built for 32-bit Intel. On a 64-bit build the
// block is only usable when both buffers lie below 4 GiB; the codec refuses it otherwise.
struct SEND_RCV {
    uint16_t retcode;  // written by the driver
    uint32_t input;    // address of the request bytes
    uint8_t ilen;
    uint32_t output;   // address of the answer buffer
    uint8_t olen;      // in: capacity; out: bytes the driver wrote
};

struct KERNEL_VERSION {
    uint16_t retcode;
    char oem_name[7];  // zero-terminated, but not trusted to be
    char version_letter;
    uint8_t version_major;
    uint8_t version_minor;
};
#pragma pack(pop)
static_assert(sizeof(SEND_RCV) == 12);
static_assert(sizeof(KERNEL_VERSION) == 12);

// Bytes of a driver name the library copies out, terminator excluded.
constexpr int kOemNameChars = 6;

} // namespace qv::devsock::mmcdev
