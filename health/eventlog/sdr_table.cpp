// Sensor names for event records, from the controller's SDR repository read once per process.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include "mgmtctl.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace {
using Entry = std::array<uint8_t, qv::eventlog::kSdrEntrySize>;

std::vector<Entry> g_pSdrTable;
bool g_fTableError = false;

constexpr size_t kHeaderSize = 5;
constexpr size_t kLargestRecord = kHeaderSize + 255;
constexpr int kPieceBytes = 16;
constexpr size_t kNameMax = 16;
constexpr uint8_t kFullSensor = 1;
constexpr uint8_t kCompactSensor = 2;
constexpr size_t kOwnerAt = 5;
constexpr size_t kNumberAt = 7;
constexpr size_t kRecordLengthAt = 4;

// Where each layout keeps its name: the length byte (bits 0-4) and the text after it.
struct NameField {
    size_t lengthAt;
    size_t textAt;
};

bool knownVersion(uint8_t version) { return version == 0x01 || version == 0x10 || version == 0x90; }

std::optional<NameField> nameField(const Entry& e)
{
    if (!knownVersion(e[2])) return std::nullopt;
    if (e[3] == kFullSensor) return NameField{47, 48};
    if (e[3] == kCompactSensor) return e[2] == 0x01 ? NameField{31, 32} : NameField{26, 27};
    return std::nullopt;
}

struct Sharing {
    int count;
    bool alphabetic;
    int offset;
};

Sharing sharingOf(const Entry& e)
{
    if (e[2] == 0x01) return {e[23] & 0x0F, (e[23] & 0x10) != 0, e[24] & 0x7F};
    const unsigned field = static_cast<unsigned>(e[13] | e[14] << 8);
    return {static_cast<int>(field & 0x0F), (field & 0x10) != 0, static_cast<int>((field >> 8) & 0x7F)};
}

// One record from the repository: the first 64 bytes are all an entry keeps. 0 or the failure.
int readRecord(unsigned short reservation, unsigned short id, unsigned short& next, Entry& entry)
{
    std::array<uint8_t, kLargestRecord> buffer{};
    auto* sdr = reinterpret_cast<SDR*>(buffer.data());
    int result = MMC_GetSDR(reservation, id, 0, kHeaderSize, &next, sdr);
    if (result != 0) return result;
    const size_t length = std::min(kHeaderSize + buffer[kRecordLengthAt], entry.size());
    for (size_t offset = kHeaderSize; offset < length; offset += kPieceBytes) {
        const int piece = static_cast<int>(std::min<size_t>(kPieceBytes, length - offset));
        unsigned short ignored = 0;
        result = MMC_GetSDR(reservation, id, static_cast<int>(offset), piece, &ignored, sdr);
        if (result != 0) return result;
    }
    std::copy_n(buffer.begin(), entry.size(), entry.begin());
    return 0;
}

void keepRecord(const Entry& entry)
{
    const uint8_t type = entry[3];
    if (type != kFullSensor && type != kCompactSensor) return;
    const Sharing sharing = type == kCompactSensor && knownVersion(entry[2]) ? sharingOf(entry) : Sharing{1, false, 0};
    if (sharing.count <= 1) {
        g_pSdrTable.push_back(entry);
        return;
    }
    for (int k = 0; k < sharing.count; ++k) {
        Entry shared = entry;
        qv::eventlog::BuildSharedSdr(k, shared.data());
        g_pSdrTable.push_back(shared);
    }
}

bool readRepository()
{
    unsigned short reservation = 0;
    if (MMC_ReserveSDRRepository(&reservation) != 0) return false;
    std::set<unsigned short> seen;   // a chain that comes back to a record is broken
    for (unsigned short id = 0; id != QVEL_NO_RECORD;) {
        if (!seen.insert(id).second) return false;
        Entry entry{};
        unsigned short next = QVEL_NO_RECORD;
        if (readRecord(reservation, id, next, entry) != 0) return false;
        keepRecord(entry);
        id = next;
    }
    return true;
}

void BuildSdrTable()
{
    if (!g_pSdrTable.empty() || g_fTableError) return;
    if (RetryMMC_OpenDevice() != 0) {
        g_fTableError = true;
        return;
    }
    // Cut short by an allocation failure, the read is a failed one: the device is closed and no
    // part of a table is kept.
    const bool built = qv::catchAtBoundary(false, readRepository);
    MMC_CloseDevice();
    if (!built) {
        g_fTableError = true;
        g_pSdrTable.clear();
    }
}
} // namespace

namespace qv::eventlog {

void BuildSharedSdr(int k, uint8_t* e)
{
    Entry& entry = *reinterpret_cast<Entry*>(e);
    const auto field = nameField(entry);
    if (!field) return;
    const Sharing sharing = sharingOf(entry);
    entry[kNumberAt] = static_cast<uint8_t>(entry[kNumberAt] + k);
    const size_t length = std::min<size_t>(entry[field->lengthAt] & 0x1F, kNameMax);
    const int modifier = sharing.offset + k;
    char suffix[3] = "";
    if (sharing.alphabetic) {
        if (modifier <= 25) suffix[0] = static_cast<char>('A' + modifier);
    } else {
        std::snprintf(suffix, sizeof suffix, modifier < 10 ? "%d" : "%.2d", modifier % 100);
    }
    const size_t added = std::strlen(suffix);
    if (added == 0) return;
    // A full name keeps its length: its last characters give way to the suffix.
    const size_t at = std::min(length, kNameMax - added);
    std::memcpy(&entry[field->textAt + at], suffix, added);
    const size_t newLength = std::max(length, at + added);
    const size_t grown = newLength - length;
    entry[field->lengthAt] = static_cast<uint8_t>((entry[field->lengthAt] & 0xE0) | newLength);
    entry[kRecordLengthAt] = static_cast<uint8_t>(entry[kRecordLengthAt] + grown);
}

void forgetSdrTableForTests()
{
    g_pSdrTable.clear();
    g_fTableError = false;
}

} // namespace qv::eventlog

extern "C" int QVEL_GetSdrDescription(Sel* record, char* name)
{
    if (record == nullptr || name == nullptr) return QVEL_ERR_INVALID;
    BuildSdrTable();
    if (g_pSdrTable.empty()) return QVEL_ERR_FAILED;
    for (const Entry& entry : g_pSdrTable) {
        const auto field = nameField(entry);
        if (!field) continue;
        if ((entry[kOwnerAt] & 0xFE) != (record->generatorId & 0xFE) || entry[kNumberAt] != record->sensorNumber)
            continue;
        const size_t length = std::min<size_t>(entry[field->lengthAt] & 0x1F, kNameMax);
        if (length == 0) {
            std::strcpy(name, "No Description");
        } else {
            std::memcpy(name, &entry[field->textAt], length);
            name[length] = '\0';
        }
        return 0;
    }
    return QVEL_ERR_FAILED;
}

extern "C" void QVEL_SdrCleanup(void)
{
    g_pSdrTable.clear();
    g_pSdrTable.shrink_to_fit();
}
