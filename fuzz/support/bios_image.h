// The BIOS memory image (/dev/mem below the private root) the table readers map, built from
// the fuzz input.
//
// Input layout: records of [offset: 3 bytes LE, taken modulo 128 KiB][length: 2 bytes LE][bytes],
// each copied into the E0000h-FFFFFh window of an otherwise zeroed 1 MiB image. Anchors,
// entry points and tables can so sit anywhere the readers look, the way a real BIOS spreads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::fuzz {

class BiosImage {
public:
    static constexpr uint32_t kWindowBase = 0xE0000;
    static constexpr uint32_t kWindowSize = 0x20000;
    static constexpr uint32_t kImageSize = 0x100000;

    BiosImage();
    // Fills the window from the records of the input (a short last record is cut).
    void build(const uint8_t* data, size_t size);
    // The window, editable until write().
    std::vector<uint8_t>& window() { return window_; }
    // Rewrites the window in place: the file keeps its inode, so open mappings see the bytes.
    void write();

private:
    std::vector<uint8_t> window_;
    int fd_ = -1;
};

} // namespace qv::fuzz
