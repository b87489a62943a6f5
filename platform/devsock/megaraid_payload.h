// Payload of the RAID controller driver's management requests when /dev/megadev0 (or, on 2.2
// kernels, the controller's own /dev/sg<n>) is a socket (see devsock.h). `code` is the request:
//
//   0x6D00  the long management command or pass-through: the whole command buffer (a 110-byte
//           request, then its data area) both ways
//   1       the 2.2 kernels' short form: the whole command buffer both ways
//
// Request data: the command buffer; outCapacity: its size. Reply data: the status block, the
// ioctl's own non-negative result (int32 LE), then the command buffer as the driver left it (the
// request's reply fields and data area filled in). The 32-bit address fields of the request carry
// 0: the data area always sits right behind the header in the buffer. A reply with result -1 is an
// ioctl that failed with `error` as errno.
#pragma once

#include <cstdint>

namespace qv::devsock::megaraid {

enum Request : uint32_t {
    kManagement = 0x6D00,
    kShortForm = 1,
};

constexpr uint32_t kStatusBytes = 4;
constexpr const char* kDevicePath = "/dev/megadev0";

} // namespace qv::devsock::megaraid
