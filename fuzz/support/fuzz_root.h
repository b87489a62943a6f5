// A private sandbox root for the fuzz targets, and a cursor over the fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::fuzz {

// Creates the process's own QV_ROOT below $TMPDIR (or /tmp) on first use (removed again at a
// normal exit; a crashing run leaves it for inspection) and points
// the log sink at a file below it, so nothing a parser writes or logs leaves the root.
const std::string& privateRoot();

// Writes `size` bytes as the file `path` names below the root, creating its directories.
void writeRootFile(const std::string& path, const void* data, size_t size);
void removeRootFile(const std::string& path);
void makeRootDirectory(const std::string& path);

// Reads the input front to back; reads past its end give zeros and empty strings.
class InputCursor {
public:
    InputCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() { return uint16_t(u8() | u8() << 8); }
    uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
    // The bytes up to the next `separator` (consumed) or the end.
    std::string_view until(char separator);
    std::string_view take(size_t count);
    std::string_view rest() { return take(remaining()); }
    size_t remaining() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace qv::fuzz
