// The byte layout of entitydb.dat: a 24-byte header, 172-byte entries, then the text area.
// Values are written and read one by one as 32-bit little-endian numbers, so the file keeps its
// layout whatever the host's word size and byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::devstore {

constexpr uint32_t kSignature = 0x61746144;   // "Data"
constexpr unsigned kTextFields = 20;

#pragma pack(push, 1)
struct DataHeaderType {
    uint32_t signature;
    uint32_t cbData;      // whole file: header, entries and text area
    uint32_t nEntries;
    uint32_t cbText;
    uint32_t nParams;
    uint32_t timestamp;
};
struct StoredText {
    uint32_t offset;      // from the start of the file; 0 when empty
    uint32_t length;      // without the terminating zero
};
struct StoredEntry {
    uint32_t timestamp;
    int32_t health;
    int32_t relation;
    StoredText text[kTextFields];
};
#pragma pack(pop)
static_assert(sizeof(DataHeaderType) == 24);
static_assert(sizeof(StoredEntry) == 172);

struct EntryDataType {
    int32_t health;
    int32_t relation;
};
static_assert(sizeof(EntryDataType) == 8);

// One entry in memory. An empty text and an absent one are the same.
struct Entry {
    uint32_t timestamp = 0;
    EntryDataType data{0, 0};
    std::string text[kTextFields];
    bool removed = false;   // left out by the next save
};

// Checks the whole image before anything is taken from it: signature, field count, sizes that
// add up to the file's length. 0, or QVDE_ERR_INVALID_PARAMETER for a damaged image. A text
// whose offset or length leaves the text area is taken as empty.
int decodeStore(const std::vector<uint8_t>& image, std::vector<Entry>& entries);

// The file image of the live entries (removed ones are left out, which compacts the indexes).
std::vector<uint8_t> encodeStore(const std::vector<Entry>& entries, uint32_t now);

} // namespace qv::devstore
