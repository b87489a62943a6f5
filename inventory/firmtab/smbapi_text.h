// Copy rules shared by the SMBAPI calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dmi_bios.h"

namespace qv::smbapi {

using UC = unsigned char;

inline UC* bytes(char* buffer) { return reinterpret_cast<UC*>(buffer); }

// Truncating copy: at most length - 1 characters and a NUL; 0 when the whole text fitted.
int copyTruncating(char* buffer, int length, const std::string& text);
// Whole copy: the text and its NUL, or nothing at all (ERR_BUFFER_TOO_SMALL).
int copyWhole(char* buffer, int length, const std::string& text);
// 2 to the power of `exponent` megabytes; none when that does not fit in 64 bits.
std::optional<uint64_t> megabytesFromExponent(unsigned exponent);

} // namespace qv::smbapi
