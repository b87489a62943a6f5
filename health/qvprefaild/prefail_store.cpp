#include "prefail_store.h"

#include <algorithm>
#include <cstring>

#include "registry.h"

namespace {

constexpr size_t kItemSize = sizeof(EventStore2Type);
constexpr size_t kOlderItemSize = sizeof(EventStore1Type);
constexpr size_t kFirstProbe = 256;

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t getU32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

EventStore2Type itemAt(const uint8_t* p, bool older)
{
    EventStore2Type item{};
    item.SELDef = {p[0], p[1], p[2]};
    const uint8_t* fields = p + (older ? 3 : 4);
    item.version = older ? 2 : p[3];
    item.eventData = getU32(fields);
    item.nEvents = getU32(fields + 4);
    item.tLast = getU32(fields + 8);
    return item;
}

// At most `limit` bytes of a registry value. The read stores a NUL right after a value shorter
// than the room, so two reads into buffers of different fill bytes differ just past that NUL:
// that tells the value's length. Rooms grow from a small one, so only what the value really
// holds is ever allocated, whatever a stored count claims.
std::optional<std::vector<uint8_t>> readRegistryBytes(const char* key, size_t limit)
{
    size_t room = std::min(kFirstProbe, limit + 1);
    for (;;) {
        std::vector<uint8_t> first(room, 0x11), second(room, 0xEE);
        if (GetRegData(key, first.data(), static_cast<unsigned>(room)) != 0 ||
            GetRegData(key, second.data(), static_cast<unsigned>(room)) != 0)
            return std::nullopt;
        const auto differ = std::mismatch(first.begin(), first.end(), second.begin()).first;
        if (differ != first.end()) {
            first.resize(static_cast<size_t>(differ - first.begin()) - 1);
            return first;
        }
        if (room - 1 >= limit) {
            first.resize(limit);
            return first;
        }
        room = std::min(room * 2, limit + 1);
    }
}

} // namespace

std::vector<uint8_t> encodeStoreItems(const std::vector<CEventStatus>& statuses)
{
    std::vector<uint8_t> out;
    out.reserve(statuses.size() * kItemSize);
    for (const CEventStatus& s : statuses) {
        const EventCnfgType& row = CEventInfo::rgEvents[s.iEvent];
        out.insert(out.end(), {row.MonSEL.sensorType, row.MonSEL.eventTrigger, row.MonSEL.offset, row.version});
        putU32(out, s.eventData);
        putU32(out, s.nEvents);
        putU32(out, s.tLast);
    }
    return out;
}

std::optional<std::vector<EventStore2Type>> decodeStoreItems(uint32_t count, const uint8_t* bytes, size_t length)
{
    bool older = false;
    if (length == size_t(count) * kItemSize) older = false;
    else if (length == size_t(count) * kOlderItemSize) older = true;
    else return std::nullopt;
    std::vector<EventStore2Type> items;
    items.reserve(count);
    const size_t step = older ? kOlderItemSize : kItemSize;
    for (uint32_t i = 0; i < count; ++i) items.push_back(itemAt(bytes + i * step, older));
    return items;
}

std::vector<CEventStatus> statusesFromItems(const std::vector<EventStore2Type>& items)
{
    std::vector<CEventStatus> statuses;
    for (const EventStore2Type& item : items) {
        const int row = CEventInfo::FindRow(item.SELDef, item.version);
        if (row >= 0) statuses.push_back({static_cast<unsigned>(row), item.eventData, item.nEvents, item.tLast});
    }
    return statuses;
}

std::vector<CEventStatus> ReadPersistentStore()
{
    uint8_t countBytes[4] = {};
    if (GetRegData(kStoreCountKey, countBytes, sizeof countBytes) != 0) return {};
    const uint32_t count = getU32(countBytes);
    if (count == 0) return {};
    const std::optional<std::vector<uint8_t>> bytes = readRegistryBytes(kStoreItemsKey, size_t(count) * kItemSize);
    if (!bytes) return {};
    const auto items = decodeStoreItems(count, bytes->data(), bytes->size());
    return items ? statusesFromItems(*items) : std::vector<CEventStatus>{};
}

void UpdatePersistentStore(const std::vector<CEventStatus>& statuses)
{
    std::vector<uint8_t> count;
    putU32(count, static_cast<uint32_t>(statuses.size()));
    if (SetRegData(kStoreCountKey, count.data(), count.size()) != 0) return;
    const std::vector<uint8_t> items = encodeStoreItems(statuses);
    SetRegData(kStoreItemsKey, items.data(), items.size());
}
