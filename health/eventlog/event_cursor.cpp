// Each consumer's cursor: the next record it has not seen, one per call, surviving restarts and
// starting over after an erase of the SEL.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include <cstring>

namespace {
using namespace qv::eventlog;

constexpr int kFromStart = QVEL_NO_RECORD;

struct Step {
    int result;
    int cursor;
};

// One step from cursor `k`: the record after it, or why there is none.
Step advance(int k, EvtStruct* out)
{
    int next = QVEL_NO_RECORD;
    if (k == kFromStart) {
        const int result = QVEL_ReadEvent(0, &next, out);
        if (result == 0) return {0, 0};
        return {QVEL_NO_EVENT, result == QVEL_ERR_NOT_FOUND ? kFromStart : k};
    }
    const int result = QVEL_ReadEvent(k, &next, out);
    if (result == QVEL_ERR_NOT_FOUND) return {QVEL_NO_EVENT, kFromStart};   // its record is gone
    if (result != 0 || next == QVEL_NO_RECORD) return {QVEL_NO_EVENT, k};
    int after = QVEL_NO_RECORD;
    const int nextResult = QVEL_ReadEvent(next, &after, out);
    return nextResult == 0 ? Step{0, next} : Step{nextResult, k};
}
} // namespace

static int readNextUnseenEvent(EvtStruct* out, const char* cursorFile)
{
    // A cursor is a file name in the system root, nothing that could lead elsewhere.
    if (out == nullptr || cursorFile == nullptr || *cursorFile == '\0' || std::strchr(cursorFile, '/'))
        return QVEL_ERR_INVALID;
    const std::string path = systemRootPath() + cursorFile;
    // A damaged file starts over as a missing one would, and is replaced whole: writing into it
    // could land where no reader looks, or keep the damage forever.
    const bool damaged = settingsFileDamaged(path);
    uint32_t eraseSeen = damaged ? 0 : readEraseTimeSetting(path, 0);
    const int stored = damaged ? kFromStart : readRecordIdSetting(path, kFromStart);
    int k = stored == kUnknownRecord ? kFromStart : stored;
    bool eraseMoved = false;

    uint32_t eraseTime = 0;
    if (readEraseTime(eraseTime, false) == 0 && eraseTime != eraseSeen) {
        eraseSeen = eraseTime;
        eraseMoved = true;
        QVEL_SyncEventLog();
        k = kFromStart;
    }

    Step step{QVEL_NO_EVENT, k};
    int last = QVEL_NO_RECORD;
    if (QVEL_ReadLastSoftEvent(&last, nullptr) != 0) last = QVEL_NO_RECORD;
    if (k != last) step = advance(k, out);
    // Erase time and position change together or not at all.
    bool saved = true;
    if (step.cursor != stored || eraseMoved || damaged)
        saved = writeCursorSettings(path, eraseSeen, step.cursor, damaged);
    // Unsaved (a full disk), the next call returns the same record: the caller must learn that,
    // or it would take the record again and again.
    if (!saved && step.result == 0) return QVEL_ERR_FAILED;
    return step.result;
}

extern "C" int QVEL_ReadNextUnseenEvent(EvtStruct* out, const char* cursorFile)
{
    return qv::catchAtBoundary(QVEL_ERR_INVALID, [&] { return readNextUnseenEvent(out, cursorFile); });
}
