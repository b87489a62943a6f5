// Payload of the controller driver's requests when /dev/mmcdev is a socket (see devsock.h).
//
// The driver's SEND_RCV block carries 4-byte buffer addresses and never crosses the socket; the
// bytes it points at travel inline instead. `code` is the driver request number.
//
//   1  send/receive  request data: the ilen message bytes (netfn<<2|lun, command, data...)
//                    outCapacity:  the olen the caller offered
//                    reply data:   retcode (u16 LE), then the whole answer (netfn|4, command,
//                                  completion code, data...), even when longer than outCapacity
//   2  version       request data: none;  reply data: the 12-byte KERNEL_VERSION block
//   3,4,5 port read  request data: none;  reply data: retcode (u16 LE), the port byte
//   6,7,8 port write request data: the byte; reply data: retcode (u16 LE)
//
// Every reply's data starts with the driver's retcode: the device channel's status block
// (device_channel.h), the rest is its data in. A reply with result -1 is an ioctl that failed
// with `error` as errno.
#pragma once

#include <cstdint>

namespace qv::devsock::mmcdev {

enum Request : uint32_t {
    kSendReceive = 1,
    kDriverVersion = 2,
    kReadPort1 = 3,
    kReadPort2 = 4,
    kReadPort3 = 5,
    kWritePort1 = 6,
    kWritePort2 = 7,
    kWritePort3 = 8,
};

constexpr const char* kDevicePath = "/dev/mmcdev";
constexpr unsigned kRetcodeBytes = 2;

} // namespace qv::devsock::mmcdev
