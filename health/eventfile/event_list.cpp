// Event list handles: snapshots of the soft log with one membership flag per entry.
#include "event_text.h"
#include "qveventfile.h"

#include <algorithm>
#include <initializer_list>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool valid(const EventListType* h) { return h != nullptr && h->signature == QVEF_HANDLE_SIGNATURE; }

size_t blockSize(uint32_t nEvents)
{
    return offsetof(EventListType, rgfInSet) + std::max<size_t>(nEvents, 1) * sizeof(int32_t);
}

EventListType* allocHandle(uint32_t nEvents)
{
    auto* h = static_cast<EventListType*>(std::calloc(1, blockSize(nEvents)));
    if (h == nullptr) return nullptr;
    h->nEvents = nEvents;
    h->signature = QVEF_HANDLE_SIGNATURE;
    return h;
}

// The log index of member `position`, or nEvents.
uint32_t memberIndex(const EventListType* h, unsigned position)
{
    for (uint32_t i = 0; i < h->nEvents; ++i)
        if (h->rgfInSet[i] != 0 && position-- == 0) return i;
    return h->nEvents;
}

bool isMember(const Sel& record, const unsigned char* sensorTypes, unsigned count)
{
    if (sensorTypes == nullptr) return true;
    if (record.recordType != 2) return false;
    return count == 0 || std::find(sensorTypes, sensorTypes + count, record.sensorType) != sensorTypes + count;
}

} // namespace

extern "C" int QvEventSetFilter(const unsigned char* sensorTypes, unsigned count, unsigned* members,
                                EventListType** handle)
{
    if (handle == nullptr) return QVEF_INVALID_HANDLE;
    const int synced = QVEL_SyncEventLog();
    int n = 0;
    const int counted = QVEL_GetNumberOfEvents(&n);
    if (counted == QVEL_ERR_NO_LOG) n = 0;
    else if (counted != 0) return counted;
    EventListType* h = allocHandle(static_cast<uint32_t>(std::max(n, 0)));
    if (h == nullptr) return QVEF_NO_MEMORY;
    h->state = synced == 0 ? ELF_good : n > 0 ? ELF_stale : eELF_unknown;
    unsigned found = 0;
    for (uint32_t i = 0; i < h->nEvents; ++i) {
        EvtStruct event{};
        const int read = QVEL_ReadEventLogEntry(static_cast<int>(i), &event);
        if (read != 0) {
            std::free(h);
            return read;
        }
        if (isMember(event.selEntry, sensorTypes, count)) {
            h->rgfInSet[i] = 1;
            ++found;
        }
    }
    *handle = h;
    if (members != nullptr) *members = found;
    return 0;
}

extern "C" int QvEventFilterState(EventListType* h, int* state)
{
    const bool ok = valid(h);
    if (state != nullptr) *state = ok ? static_cast<int>(h->state) : 0;
    return ok ? 0 : QVEF_INVALID_HANDLE;
}

extern "C" int QvEventEndFilter(EventListType* h)
{
    if (!valid(h)) return QVEF_INVALID_HANDLE;
    h->signature = 0;
    std::free(h);
    return 0;
}

extern "C" int QvEventGetRecord(EventListType* h, unsigned position, EvtStruct* event)
{
    if (!valid(h)) return QVEF_INVALID_HANDLE;
    const uint32_t i = memberIndex(h, position);
    if (i == h->nEvents) return QVEL_ERR_NOT_FOUND;
    const int result = QVEL_ReadEventLogEntry(static_cast<int>(i), event);
    if (result != 0) return result;
    // Hosts address the record by its place in the soft log, not by the controller's id.
    event->selEntry.recordId = static_cast<uint16_t>(i);
    QVEL_MapEventRecord2to3(&event->selEntry);
    return 0;
}

extern "C" int QvEventMarkForDelete(EventListType* h, unsigned position)
{
    if (!valid(h)) return QVEF_INVALID_HANDLE;
    const uint32_t i = memberIndex(h, position);
    if (i == h->nEvents) return QVEL_ERR_NOT_FOUND;
    h->rgfInSet[i] = QVEF_DELETED;
    return 0;
}

extern "C" int QvEventCommitChanges(EventListType* h)
{
    if (!valid(h)) return QVEF_INVALID_HANDLE;
    for (uint32_t i = 0; i < h->nEvents; ++i)
        if (h->rgfInSet[i] == QVEF_DELETED) h->rgfInSet[i] = 0;
    return 0;
}

extern "C" int QvEventCopyFilter(EventListType* src, EventListType** dst)
{
    if (!valid(src) || dst == nullptr) return QVEF_INVALID_HANDLE;
    EventListType* target = *dst;
    if (target == nullptr) {
        target = allocHandle(src->nEvents);
        if (target == nullptr) return QVEF_NO_MEMORY;
    } else if (!valid(target) || target->nEvents != src->nEvents) {
        return QVEF_INVALID_HANDLE;
    }
    target->state = src->state;
    if (src != target) std::memcpy(target->rgfInSet, src->rgfInSet, src->nEvents * sizeof(int32_t));
    *dst = target;
    return 0;
}

extern "C" int QvEventCountMembers(EventListType* h, unsigned* count)
{
    if (!valid(h)) return QVEF_INVALID_HANDLE;
    if (count != nullptr)
        *count = static_cast<unsigned>(std::count_if(h->rgfInSet, h->rgfInSet + h->nEvents, [](int32_t f) { return f != 0; }));
    return 0;
}

extern "C" int QvEventOpenParser(char* path, CParseFile** parser)
{
    if (parser == nullptr) return QVEF_INVALID_HANDLE;
    auto* created = new (std::nothrow) CParseFile;
    if (created == nullptr) return QVEF_NO_MEMORY;
    const int result = created->StartParse(path);
    if (result != 0) {
        delete created;
        return result;
    }
    *parser = created;
    return 0;
}

extern "C" int QvEventCloseParser(CParseFile* parser)
{
    delete parser;   // the destructor ends the parse
    return 0;
}

namespace {

// Copies `text` into the room left in `info->rgbText`, cut to it; the slice points at the copy.
class TextRoom {
public:
    explicit TextRoom(EventInfoType* info) : at_(info->rgbText), end_(info->rgbText + sizeof info->rgbText) {}
    sdType Add(std::initializer_list<sdType> parts, char joiner)
    {
        char* const begin = at_;
        bool first = true;
        for (const sdType& part : parts) {
            if (!first) Put(&joiner, 1);
            first = false;
            Put(part.pb, part.cb);
        }
        const sdType slice{begin, static_cast<unsigned>(at_ - begin)};
        if (at_ < end_) *at_++ = '\0';
        return slice;
    }

private:
    void Put(const char* text, unsigned length)
    {
        // One byte stays for each text's terminator.
        const unsigned room = end_ - at_ > 1 ? static_cast<unsigned>(end_ - at_ - 1) : 0;
        const unsigned kept = std::min(length, room);
        if (kept > 0) std::memcpy(at_, text, kept);
        at_ += kept;
    }

    char* at_;
    char* const end_;
};

} // namespace

extern "C" int QvEventDescribeEvent(CParseFile* parser, EvtStruct* event, EventInfoType* info, char* text,
                                    unsigned textLen)
{
    if (event == nullptr || info == nullptr) return QVEL_ERR_INVALID;
    info->severity = 0;
    if (event->selEntry.recordType != 2) return QVEF_NO_DESCRIPTION;
    if (parser == nullptr) return QVEF_READER_CLOSED;
    EventDescType desc;
    const int result = GetEventDesc(*parser, event->selEntry, &desc);
    if (result != 0) return result;
    if (!desc.fRecordGood) return QVEF_NO_DESCRIPTION;
    info->severity = DecodeSeverity(desc.sdSeverity);
    info->eventCode = ComputeEventCode(*event);
    TextRoom room(info);
    info->sdTrap = room.Add({desc.sdTrapId}, '\0');
    info->sdHelpLink = room.Add({desc.sdHelpHtml, desc.sdHelpTag}, '#');
    info->sdText = room.Add({desc.sdDesc}, '\0');
    if (text != nullptr && textLen != 0) BuildEventText({text, textLen}, *event, desc);
    return 0;
}
