// The pre-failure monitor's sources in the registry, so that counts survive restarts:
// "DataMark=nItems" (4-byte count) and "DataMark=Items" (count 16-byte items, little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "suspect_list.h"

constexpr char kStoreCountKey[] = "SOFTWARE\\Quorvane\\Trivoke\\DataMark=nItems";
constexpr char kStoreItemsKey[] = "SOFTWARE\\Quorvane\\Trivoke\\DataMark=Items";

#pragma pack(push, 1)
struct EventStore2Type {
    SELDefType SELDef;   // the row's monitored sensor type, trigger, offset
    uint8_t version;     // the row's revision
    uint32_t eventData;
    uint32_t nEvents;
    uint32_t tLast;
};
// The older form, without the revision; its items are revision 2.
struct EventStore1Type {
    SELDefType SELDef;
    uint32_t eventData;
    uint32_t nEvents;
    uint32_t tLast;
};
#pragma pack(pop)
static_assert(sizeof(SELDefType) == 3, "stored event definition layout");
static_assert(sizeof(EventStore2Type) == 16, "stored source layout");
static_assert(sizeof(EventStore1Type) == 15, "older stored source layout");

// The Items bytes of `statuses`, in order.
std::vector<uint8_t> encodeStoreItems(const std::vector<CEventStatus>& statuses);

// The items of a store of `count` items whose Items value is `bytes`: the current form when it
// holds count × 16 bytes, the older one at exactly count × 15; nothing when it holds neither.
std::optional<std::vector<EventStore2Type>> decodeStoreItems(uint32_t count, const uint8_t* bytes, size_t length);

// Statuses of the stored items in stored order; items whose definition and revision match no
// row are dropped. An absent, empty or damaged store is an empty list.
std::vector<CEventStatus> statusesFromItems(const std::vector<EventStore2Type>& items);

std::vector<CEventStatus> ReadPersistentStore();
// Count first, then the items. Registry failures are not reported: the list stays in memory.
void UpdatePersistentStore(const std::vector<CEventStatus>& statuses);
