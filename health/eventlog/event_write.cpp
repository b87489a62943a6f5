// Writing a record: the controller's SEL first, then the soft log, in hardware order.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include "mgmtctl.h"

#include <ctime>

namespace {
constexpr int kReadBackMissing = 0xC9;   // the controller cannot read back what it just took
constexpr int kSettleMs = 100;
constexpr uint8_t kDefaultEventVersion = 2;

// The new record as the controller keeps it; 0 or 10006.
int readBack(unsigned short reservation, unsigned short newId, const Sel& given, time_t added, Sel* record)
{
    unsigned short next = QVEL_NO_RECORD;
    const int result = MMC_GetSELEntry(reservation, newId, 0, sizeof(Sel), &next, record);
    if (result == 0) {
        record->timestamp = static_cast<uint32_t>(ConvertHWLogTime(record->timestamp));
        return 0;
    }
    if (result != kReadBackMissing) return QVEL_ERR_SEL_READ;
    *record = given;
    record->recordId = newId;
    record->timestamp = static_cast<uint32_t>(added);
    return 0;
}

// Hardware entries between the soft log's last line and the new record go in first.
void mirrorMissingEntries(unsigned short reservation, unsigned short newId)
{
    int lastId = qv::eventlog::kUnknownRecord;
    if (QVEL_ReadLastSoftEvent(&lastId, nullptr) != 0) lastId = qv::eventlog::kUnknownRecord;
    int following = QVEL_NO_RECORD;
    if (qv::eventlog::GetNextHwRecId(reservation, lastId, &following) == 0 && following != newId)
        qv::eventlog::AddHwSELsToSoftLog(reservation, lastId, newId, nullptr);
}

// With the device open: add, read back, mirror. 0 or the library's code.
int writeBothLogs(Sel* record, char* addString)
{
    const Sel given = *record;
    unsigned short newId = 0;
    if (MMC_AddSELEntry(record, &newId) != 0) return QVEL_ERR_SEL_ADD;
    const time_t added = time(nullptr);
    MMCSleep(kSettleMs);
    unsigned short reservation = 0;
    if (RetryMMC_ReserveSEL(&reservation) != 0) return QVEL_ERR_SEL_RESERVE;
    if (int result = readBack(reservation, newId, given, added, record); result != 0) return result;
    mirrorMissingEntries(reservation, newId);
    return QVEL_WriteSoftEvent(record, addString) == 0 ? 0 : QVEL_ERR_FAILED;
}
} // namespace

static int writeEvent(Sel* record, char* addString)
{
    if (record == nullptr) return QVEL_ERR_INVALID;
    qv::eventlog::HeldLock lock;
    if (lock.result() != 0) return lock.result();
    // An erase nobody has noticed yet: the old lines go to the backup before this record
    // becomes the first of the new log.
    qv::eventlog::backupIfErased();
    if (record->eventVersion == 0) record->eventVersion = kDefaultEventVersion;
    if (RetryMMC_OpenDevice() != 0) return QVEL_ERR_DEVICE_OPEN;
    // Closed again whatever happens inside.
    int result = qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return writeBothLogs(record, addString); });
    if (RetryMMC_CloseDevice() != 0) result = QVEL_ERR_DEVICE_CLOSE;
    return result;
}

extern "C" int QVEL_WriteEvent(Sel* record, char* addString)
{
    return qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return writeEvent(record, addString); });
}

static int writeSoftEvent(Sel* record, char* addString)
{
    if (record == nullptr) return QVEL_ERR_INVALID;
    if (!qv::eventlog::appendRecord(*record, addString)) return QVEL_ERR_FAILED;
    qv::eventlog::writeRecordIdSetting(qv::eventlog::settingsPath(), record->recordId);
    return 0;
}

extern "C" int QVEL_WriteSoftEvent(Sel* record, char* addString)
{
    return qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return writeSoftEvent(record, addString); });
}
