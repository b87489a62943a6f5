// Small getters the inventory agents share: registry texts and the date of a program file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::inventory {

// A registry text read into a zeroed buffer of `bufferSize` bytes, so at most bufferSize - 1
// characters and always terminated; empty when the value is absent.
std::string readRegistryText(const char* fullKey, unsigned bufferSize);

// Modification time of `path` in local time: year - 1900, month (1 to 12), day, hour, minute,
// second, then zero bytes up to `count` (6 or 7). Empty when the file cannot be examined.
std::optional<std::vector<unsigned char>> programFileDate(const std::string& path, unsigned count);

} // namespace qv::inventory
