// Device connection for the fuzz targets: the controller tunnel runs unchanged, but its
// "socket" answers each request with the next reply of a script taken from the fuzz input.
//
// Script: records of [flags][length][length bytes of reply data]; flags bit 0 makes the
// reply a failed ioctl (result -1, errno EIO). Once the script is used up every request is a
// transport failure, so retry loops end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::fuzz {

void scriptDeviceReplies(const uint8_t* data, size_t size);

} // namespace qv::fuzz
