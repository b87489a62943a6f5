#include "store_format.h"

#include <cstddef>
#include <cstring>

#include "devstore.h"

namespace qv::devstore {

namespace {

uint32_t get32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr size_t kHeaderSize = sizeof(DataHeaderType);
constexpr size_t kEntrySize = sizeof(StoredEntry);
constexpr size_t kTextRefAt = offsetof(StoredEntry, text);

} // namespace

int decodeStore(const std::vector<uint8_t>& image, std::vector<Entry>& entries)
{
    if (image.size() < kHeaderSize) return QVDE_ERR_INVALID_PARAMETER;
    const uint32_t cbData = get32(image, offsetof(DataHeaderType, cbData));
    const uint32_t nEntries = get32(image, offsetof(DataHeaderType, nEntries));
    const uint32_t cbText = get32(image, offsetof(DataHeaderType, cbText));
    if (get32(image, offsetof(DataHeaderType, signature)) != kSignature ||
        get32(image, offsetof(DataHeaderType, nParams)) != kTextFields || cbData != image.size() ||
        cbText > cbData - kHeaderSize || (cbData - kHeaderSize - cbText) / kEntrySize != nEntries ||
        (cbData - kHeaderSize - cbText) % kEntrySize != 0)
        return QVDE_ERR_INVALID_PARAMETER;

    const size_t textStart = cbData - cbText;
    std::vector<Entry> loaded(nEntries);
    for (size_t i = 0; i < nEntries; ++i) {
        const size_t at = kHeaderSize + i * kEntrySize;
        Entry& e = loaded[i];
        e.timestamp = get32(image, at + offsetof(StoredEntry, timestamp));
        e.data.health = static_cast<int32_t>(get32(image, at + offsetof(StoredEntry, health)));
        e.data.relation = static_cast<int32_t>(get32(image, at + offsetof(StoredEntry, relation)));
        for (unsigned k = 0; k < kTextFields; ++k) {
            const uint32_t offset = get32(image, at + kTextRefAt + 8 * k);
            const uint32_t length = get32(image, at + kTextRefAt + 8 * k + 4);
            // The text and its terminator must lie inside the text area.
            if (length == 0 || offset < textStart || offset - textStart >= cbText ||
                length >= cbText - (offset - textStart))
                continue;
            const char* text = reinterpret_cast<const char*>(image.data() + offset);
            e.text[k].assign(text, strnlen(text, length));
        }
    }
    entries = std::move(loaded);
    return 0;
}

std::vector<uint8_t> encodeStore(const std::vector<Entry>& entries, uint32_t now)
{
    size_t live = 0;
    size_t cbText = 0;
    for (const Entry& e : entries) {
        if (e.removed) continue;
        ++live;
        for (const std::string& t : e.text)
            if (!t.empty()) cbText += t.size() + 1;
    }
    const size_t textStart = kHeaderSize + live * kEntrySize;
    std::vector<uint8_t> image(textStart + cbText, 0);
    put32(image, offsetof(DataHeaderType, signature), kSignature);
    put32(image, offsetof(DataHeaderType, cbData), static_cast<uint32_t>(image.size()));
    put32(image, offsetof(DataHeaderType, nEntries), static_cast<uint32_t>(live));
    put32(image, offsetof(DataHeaderType, cbText), static_cast<uint32_t>(cbText));
    put32(image, offsetof(DataHeaderType, nParams), kTextFields);
    put32(image, offsetof(DataHeaderType, timestamp), now);

    size_t at = kHeaderSize;
    size_t textAt = textStart;
    for (const Entry& e : entries) {
        if (e.removed) continue;
        put32(image, at + offsetof(StoredEntry, timestamp), e.timestamp);
        put32(image, at + offsetof(StoredEntry, health), static_cast<uint32_t>(e.data.health));
        put32(image, at + offsetof(StoredEntry, relation), static_cast<uint32_t>(e.data.relation));
        for (unsigned k = 0; k < kTextFields; ++k) {
            const std::string& t = e.text[k];
            if (t.empty()) continue;
            put32(image, at + kTextRefAt + 8 * k, static_cast<uint32_t>(textAt));
            put32(image, at + kTextRefAt + 8 * k + 4, static_cast<uint32_t>(t.size()));
            std::memcpy(image.data() + textAt, t.data(), t.size());
            textAt += t.size() + 1;
        }
        at += kEntrySize;
    }
    return image;
}

} // namespace qv::devstore
