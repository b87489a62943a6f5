// The controller device for the fuzz targets: the command library runs unchanged over a
// scripted device channel whose answers come from the fuzz input.
//
// Script: records of [flags][length][length bytes of answer]; flags bit 0 makes the request a
// failed ioctl (EIO); the answer is laid out as on the stand-in's socket (status block, then
// data). Once the script is used up every request fails, so retry loops end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::fuzz {

// Installs the scripted channel (for every later open of the device) with a fresh script.
void scriptDeviceReplies(const uint8_t* data, size_t size);

} // namespace qv::fuzz
