// Reading the soft log by record id, by position and from its end. Readers take no lock: they
// see whole lines only.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include <cstring>
#include <unistd.h>

namespace {
using namespace qv::eventlog;

struct SoftRecord {
    bool opened = false;
    bool found = false;
    bool malformed = false;   // an empty line was reached before the record
    Sel record{};
    char addString[sizeof(EvtStruct::szAddString)] = "";
    int nextId = QVEL_NO_RECORD;   // id of the following line, when there is one
};

// Id 0 asks for the start of the log: the first line, whatever id it carries. A reader that
// asks for the id that followed its last record goes on from that record's successor line
// instead of reading the log from its start again.
SoftRecord findSoftRecord(int recordId)
{
    thread_local SoftLogPlace successor;
    thread_local int successorId = QVEL_NO_RECORD;
    const SoftLogPlace* from = recordId != 0 && recordId == successorId ? &successor : nullptr;
    SoftRecord found;
    bool first = true;
    found.opened = forEachSoftLogLineFrom(softLogPath(), from, [&](const std::string& line, const SoftLogPlace& place) {
        if (line.empty()) {
            found.malformed = !found.found;
            return false;
        }
        const auto id = parseRecordId(line);
        if (!id) return true;   // no record on this line
        if (found.found) {
            found.nextId = id->recordId;
            successor = place;
            successor.line = line;
            successorId = id->recordId;
            return false;
        }
        if (id->recordId == recordId || (recordId == 0 && first))
            found.found = parseRecordLine(line, found.record, found.addString);
        first = false;
        return true;
    });
    return found;
}

void copyOut(const SoftRecord& found, EvtStruct* out)
{
    out->selEntry = found.record;
    std::memcpy(out->szAddString, found.addString, sizeof out->szAddString);
}

int hardwareNext(int recordId)
{
    int next = QVEL_NO_RECORD;
    if (GetNextHwRecId(0, recordId, &next) != 0) next = QVEL_NO_RECORD;
    return next;
}

// The start or the end of the log when the soft log has no lines yet: sync, then look again.
int readAfterSync(int recordId, int* nextId, EvtStruct* out)
{
    if (QVEL_SyncEventLog() != 0) return QVEL_ERR_NOT_FOUND;
    int last = QVEL_NO_RECORD;
    if (QVEL_ReadLastSoftEvent(&last, nullptr) != 0) last = QVEL_NO_RECORD;
    const int asked = recordId == QVEL_NO_RECORD ? last : recordId;
    if (last == QVEL_NO_RECORD || last < 0 || asked > last) return QVEL_ERR_NOT_FOUND;
    if (QVEL_ReadSoftEvent(asked, out) != 0) return QVEL_ERR_NOT_FOUND;
    *nextId = hardwareNext(asked);
    return 0;
}
} // namespace

static int readEvent(int recordId, int* nextId, EvtStruct* out)
{
    if (nextId == nullptr || out == nullptr) return QVEL_ERR_INVALID;
    *nextId = QVEL_NO_RECORD;
    SoftRecord found;
    if (recordId != QVEL_NO_RECORD) {
        found = findSoftRecord(recordId);
        if (!found.opened) return QVEL_ERR_INVALID;
        if (found.malformed) return QVEL_ERR_BAD_LINE;
    } else if (::access(softLogPath().c_str(), R_OK) != 0) {
        return QVEL_ERR_INVALID;
    }
    if (found.found) {
        copyOut(found, out);
        *nextId = found.nextId != QVEL_NO_RECORD ? found.nextId : hardwareNext(recordId);
        return 0;
    }
    if (recordId != 0 && recordId != QVEL_NO_RECORD) return QVEL_ERR_NOT_FOUND;
    return readAfterSync(recordId, nextId, out);
}

extern "C" int QVEL_ReadEvent(int recordId, int* nextId, EvtStruct* out)
{
    return qv::catchAtBoundary(QVEL_ERR_INVALID, [&] { return readEvent(recordId, nextId, out); });
}

static int readSoftEvent(int recordId, EvtStruct* out)
{
    if (out == nullptr) return QVEL_ERR_INVALID;
    const SoftRecord found = findSoftRecord(recordId);
    if (!found.opened) return QVEL_ERR_NO_LOG;
    if (!found.found) return QVEL_NO_EVENT;
    copyOut(found, out);
    return 0;
}

extern "C" int QVEL_ReadSoftEvent(int recordId, EvtStruct* out)
{
    return qv::catchAtBoundary(QVEL_NO_EVENT, [&] { return readSoftEvent(recordId, out); });
}

static int readLastSoftEvent(int* lastId, EvtStruct* out)
{
    // The soft log's last line wins over the stored id: a writer may have died between its
    // append and the settings update. Readers hold no lock, so they never rewrite the settings.
    std::string line;
    Sel record{};
    char addString[sizeof(EvtStruct::szAddString)] = "";
    const bool haveLine = lastRecordLine(softLogPath(), line) && parseRecordLine(line, record, addString);
    if (lastId != nullptr) *lastId = haveLine ? record.recordId : QVEL_NO_RECORD;
    if (!haveLine) return QVEL_ERR_NOT_FOUND;
    if (out != nullptr) {
        out->selEntry = record;
        std::memcpy(out->szAddString, addString, sizeof out->szAddString);
    }
    return 0;
}

extern "C" int QVEL_ReadLastSoftEvent(int* lastId, EvtStruct* out)
{
    return qv::catchAtBoundary(QVEL_ERR_NOT_FOUND, [&] { return readLastSoftEvent(lastId, out); });
}

static int readEventLogEntry(int index, EvtStruct* out)
{
    if (out == nullptr) return QVEL_ERR_INVALID;
    std::string line;
    if (!ReadNthSoftEvent(index, line)) {
        if (QVEL_SyncEventLog() != 0 || !ReadNthSoftEvent(index, line)) return QVEL_NO_EVENT;
    }
    Sel record{};
    if (!parseRecordLine(line, record, out->szAddString)) return QVEL_NO_EVENT;
    out->selEntry = record;
    return 0;
}

extern "C" int QVEL_ReadEventLogEntry(int index, EvtStruct* out)
{
    return qv::catchAtBoundary(QVEL_NO_EVENT, [&] { return readEventLogEntry(index, out); });
}

static int getNumberOfEvents(int* count)
{
    if (count == nullptr) return QVEL_ERR_INVALID;
    *count = 0;
    int lines = 0;
    if (!forEachSoftLogLine(softLogPath(), [&](const std::string&) {
            ++lines;
            return true;
        }))
        return QVEL_ERR_NO_LOG;
    *count = lines;
    return 0;
}

extern "C" int QVEL_GetNumberOfEvents(int* count)
{
    return qv::catchAtBoundary(QVEL_ERR_INVALID, [&] { return getNumberOfEvents(count); });
}
