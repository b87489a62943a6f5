// Minimal, independent readers of the three table generations, used to check rendered images
// byte by byte. They follow the published layouts, not the builder's code.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bios_image.h"

namespace qv::sim::test {

using Image = std::vector<uint8_t>;

inline uint16_t word(const Image& img, std::size_t at) { return img.at(at) | img.at(at + 1) << 8; }
inline uint32_t dword(const Image& img, std::size_t at) { return word(img, at) | uint32_t(word(img, at + 2)) << 16; }

inline uint8_t byteSum(const Image& img, std::size_t at, std::size_t count)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + img.at(at + i));
    return sum;
}

inline std::string cString(const Image& img, std::size_t at)
{
    std::string out;
    while (img.at(at) != 0) out += static_cast<char>(img.at(at++));
    return out;
}

// Address of the first `anchor` at a multiple of `step` in [from, to), or nothing.
inline std::optional<std::size_t> findAnchor(const Image& img, const std::string& anchor,
                                             std::size_t from, std::size_t to, std::size_t step)
{
    for (std::size_t at = from; at + anchor.size() <= to; at += step)
        if (std::memcmp(img.data() + at, anchor.data(), anchor.size()) == 0) return at;
    return std::nullopt;
}

// One structure: its address and formatted length.
struct Located {
    std::size_t address;
    uint8_t length;
};

class TableView {
public:
    virtual ~TableView() = default;
    const Image& image() const { return img_; }
    virtual std::vector<Located> structures() const = 0;
    // The text a field refers to (string number or pointer); empty when it names none.
    virtual std::string text(const Located& s, std::size_t fieldOffset) const = 0;

    std::optional<Located> find(uint8_t type, int occurrence = 1) const
    {
        for (const auto& s : structures())
            if (img_.at(s.address) == type && --occurrence == 0) return s;
        return std::nullopt;
    }
    std::string textOf(uint8_t type, std::size_t fieldOffset) const
    {
        const auto s = find(type);
        return s ? text(*s, fieldOffset) : "<missing>";
    }

protected:
    explicit TableView(const Image& img) : img_(img) {}
    const Image& img_;
};

class SmbiosView : public TableView {
public:
    explicit SmbiosView(const Image& img) : TableView(img)
    {
        entry_ = findAnchor(img, "_SM_", 0xF0000, 0x100000, 16).value_or(0);
    }
    std::size_t entry() const { return entry_; }
    std::vector<Located> structures() const override
    {
        std::vector<Located> out;
        std::size_t at = dword(img_, entry_ + 0x18);
        for (unsigned n = word(img_, entry_ + 0x1C); n > 0; --n) {
            out.push_back({at, img_.at(at + 1)});
            at += img_.at(at + 1);
            while (img_.at(at) != 0 || img_.at(at + 1) != 0) ++at;
            at += 2;
        }
        return out;
    }
    std::string text(const Located& s, std::size_t fieldOffset) const override
    {
        unsigned number = img_.at(s.address + fieldOffset);
        if (number == 0) return {};
        std::size_t at = s.address + s.length;
        while (--number > 0) at += cString(img_, at).size() + 1;
        return cString(img_, at);
    }

private:
    std::size_t entry_ = 0;
};

class Dmi20View : public TableView {
public:
    explicit Dmi20View(const Image& img) : TableView(img)
    {
        anchor_ = findAnchor(img, "_DMI20_NT_", 0xF0000, 0x100000, 1).value_or(0);
    }
    std::vector<Located> structures() const override
    {
        std::vector<Located> out;
        for (std::size_t entry = anchor_ + 13; word(img_, entry) != 0; entry += 8) {
            const std::size_t at = 0xF0000 + word(img_, entry);
            out.push_back({at, img_.at(at + 1)});
        }
        return out;
    }
    std::string text(const Located& s, std::size_t fieldOffset) const override
    {
        const unsigned number = img_.at(s.address + fieldOffset);
        if (number == 0) return {};
        return cString(img_, 0xF0000 + word(img_, s.address + s.length + 2 * (number - 1)));
    }

private:
    std::size_t anchor_ = 0;
};

class Dmi10View : public TableView {
public:
    explicit Dmi10View(const Image& img) : TableView(img)
    {
        header_ = findAnchor(img, "$DMI", 0xF0000, 0x100000, 16).value_or(0);
    }
    std::size_t header() const { return header_; }
    std::size_t area() const { return (size_t(word(img_, header_ + 8)) << 4) + word(img_, header_ + 6); }
    std::vector<Located> structures() const override
    {
        std::vector<Located> out;
        for (std::size_t at = area(); img_.at(at) != 0 && img_.at(at + 1) != 0; at += img_.at(at + 1))
            out.push_back({at, img_.at(at + 1)});
        return out;
    }
    // BIOS (1) and maker system information (132) records hold far pointers, the others near ones.
    std::string text(const Located& s, std::size_t fieldOffset) const override
    {
        const uint8_t type = img_.at(s.address);
        const bool far = type == 1 || (type == 132 && fieldOffset == 8);
        const uint16_t offset = word(img_, s.address + fieldOffset);
        const uint16_t segment = far ? word(img_, s.address + fieldOffset + 2) : 0;
        if (offset == 0 && segment == 0) return {};
        const std::size_t base = (segment != 0 ? segment : word(img_, header_ + 8)) & 0xF000;
        return cString(img_, (base << 4) + offset);
    }

private:
    std::size_t header_ = 0;
};

inline std::unique_ptr<TableView> viewFor(DmiFormat format, const Image& img)
{
    switch (format) {
    case DmiFormat::Smbios21: return std::make_unique<SmbiosView>(img);
    case DmiFormat::Dmi20: return std::make_unique<Dmi20View>(img);
    case DmiFormat::Dmi10: return std::make_unique<Dmi10View>(img);
    }
    return nullptr;
}

} // namespace qv::sim::test
