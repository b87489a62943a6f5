// Bounded reads over one driver mapping. Every table walk goes through this, so a corrupt table
// reads as absent fields instead of running past the mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "dmi_driver.h"

namespace qv::dmi {

class SegmentView {
public:
    SegmentView() = default;
    SegmentView(const uint8_t* base, std::size_t size) : base_(base), size_(base ? size : 0) {}

    bool valid() const { return base_ != nullptr; }
    std::size_t size() const { return size_; }
    const uint8_t* data() const { return base_; }
    bool contains(std::size_t offset, std::size_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }

    // Little-endian field of `width` bytes; nullopt when it does not lie inside the view.
    std::optional<uint64_t> field(std::size_t offset, std::size_t width) const
    {
        if (!contains(offset, width)) return std::nullopt;
        uint64_t v = 0;
        for (std::size_t i = width; i-- > 0;) v = (v << 8) | base_[offset + i];
        return v;
    }
    uint8_t byteOr0(std::size_t offset) const { return uint8_t(field(offset, 1).value_or(0)); }
    uint16_t wordOr0(std::size_t offset) const { return uint16_t(field(offset, 2).value_or(0)); }
    uint32_t dwordOr0(std::size_t offset) const { return uint32_t(field(offset, 4).value_or(0)); }

    bool matches(std::size_t offset, const char* anchor, std::size_t length) const
    {
        return contains(offset, length) && std::memcmp(base_ + offset, anchor, length) == 0;
    }

    // First offset in [first, last] (stepping by `step`) where `anchor` starts.
    std::optional<std::size_t> find(const char* anchor, std::size_t length, std::size_t first,
                                    std::size_t last, std::size_t step = 1) const
    {
        for (std::size_t off = first; off <= last && contains(off, length); off += step)
            if (std::memcmp(base_ + off, anchor, length) == 0) return off;
        return std::nullopt;
    }

    // Offset just past the first two consecutive NUL bytes at or after `offset`.
    std::optional<std::size_t> skipDoubleNul(std::size_t offset) const
    {
        for (std::size_t off = offset; contains(off, 2); ++off)
            if (base_[off] == 0 && base_[off + 1] == 0) return off + 2;
        return std::nullopt;
    }

    // Offset just past the NUL that ends the string at `offset`.
    std::optional<std::size_t> skipString(std::size_t offset) const
    {
        for (std::size_t off = offset; off < size_; ++off)
            if (base_[off] == 0) return off + 1;
        return std::nullopt;
    }

    // Copies the NUL-terminated text at `offset` into `buffer` (at most length - 1 characters and
    // a NUL in the last byte). A text cut by the end of the view is taken as far as it goes.
    bool copyString(std::size_t offset, unsigned char* buffer, unsigned char length) const
    {
        if (!buffer || length == 0 || offset >= size_) return false;
        std::size_t n = 0;
        while (n + 1 < length && offset + n < size_ && base_[offset + n] != 0) {
            buffer[n] = base_[offset + n];
            ++n;
        }
        buffer[n] = 0;
        buffer[length - 1] = 0;
        return true;
    }

private:
    const uint8_t* base_ = nullptr;
    std::size_t size_ = 0;
};

// One mapping of a segment for the length of an operation.
class SegmentMapping {
public:
    SegmentMapping(CQVDMIDriver* driver, unsigned short segment) : driver_(driver)
    {
        const uint8_t* p = driver_ ? driver_->GetPtrOnSegment(segment) : nullptr;
        view_ = SegmentView(p, CQVDMIDriver::SegmentLength(segment));
    }
    ~SegmentMapping()
    {
        if (view_.valid()) driver_->ReleasePtrOnSegment();
    }
    SegmentMapping(const SegmentMapping&) = delete;
    SegmentMapping& operator=(const SegmentMapping&) = delete;

    const SegmentView& view() const { return view_; }

private:
    CQVDMIDriver* driver_;
    SegmentView view_;
};

// Structure buffer rule shared by the readers: copies `formattedLength` bytes when the buffer can
// hold them (1), else reports the needed size (-1).
inline int copyStructure(const SegmentView& view, std::size_t offset, uint8_t formattedLength,
                         unsigned char* buffer, unsigned char& length)
{
    if (formattedLength > length) {
        length = formattedLength;
        return -1;
    }
    if (!buffer || !view.contains(offset, formattedLength)) return 0;
    std::memcpy(buffer, view.data() + offset, formattedLength);
    return 1;
}

// Writes `text` truncated to the buffer, always NUL-terminated inside it.
inline void copyText(unsigned char* buffer, std::size_t length, const char* text)
{
    if (!buffer || length == 0) return;
    std::size_t n = std::strlen(text);
    if (n > length - 1) n = length - 1;
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
}

} // namespace qv::dmi
