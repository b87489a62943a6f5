// Keeping the soft log in step with the SEL: backup, sync after an erase, clear, sort, SEL info.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include "atomic_file.h"
#include "mgmtctl.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

namespace qv::eventlog {

namespace {
constexpr int kInitiateErase = 0xAA;
constexpr int kFreshLog = QVEL_NO_RECORD;   // LastReadEvent once the soft log was emptied

bool softLogHasContent(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// The SEL's erase time, after which the soft log starts empty.
void recordFreshLog()
{
    uint32_t eraseTime = 0;
    const std::string settings = settingsPath();
    if (readEraseTime(eraseTime, false) == 0)
        writeCursorSettings(settings, eraseTime, kFreshLog);
    else
        writeRecordIdSetting(settings, kFreshLog);
}
} // namespace

void backupIfErased()
{
    const std::string settings = settingsPath();
    const uint32_t seen = readEraseTimeSetting(settings, 0);
    uint32_t current = 0;
    if (readEraseTime(current, false) != 0) return;
    // Any other erase time is a new erase: a controller that reports "never" as 0xFFFFFFFF
    // gives a smaller time at its first real erase.
    if (current != seen) QVEL_BackupEventLog();
}

} // namespace qv::eventlog

using namespace qv::eventlog;

static int backupEventLog(void)
{
    HeldLock lock;
    if (lock.result() != 0) return QVEL_ERR_FAILED;
    const std::string softLog = softLogPath();
    qv::removeFilesStartingWith(softLog + ".tmp.");   // left by a writer that was killed
    if (softLogHasContent(softLog)) {
        // The old soft log becomes the backup and an empty one takes its place in one rename:
        // no line is lost and no reader sees a cut file.
        if (qv::replaceFileContents(softLog, "", {}, softLogBackupPath()) != 0) return QVEL_ERR_FAILED;
    }
    recordFreshLog();
    return 0;
}

extern "C" int QVEL_BackupEventLog(void)
{
    return qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return backupEventLog(); });
}

static int syncEventLog(void)
{
    // One lock around compare, backup and copy: two consumers noticing one erase back up once.
    HeldLock lock;
    if (lock.result() != 0) return lock.result();
    backupIfErased();
    int lastId = kUnknownRecord;
    if (QVEL_ReadLastSoftEvent(&lastId, nullptr) != 0) lastId = kUnknownRecord;
    return AddHwSELsToSoftLog(0, lastId, QVEL_NO_RECORD, nullptr);
}

extern "C" int QVEL_SyncEventLog(void)
{
    return qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return syncEventLog(); });
}

extern "C" int QVEL_ClearEventLog(void)
{
    // Held across clear and backup, so no writer can put a post-erase record into the backup.
    HeldLock lock;
    if (RetryMMC_OpenDevice() != 0) {
        QVEL_BackupEventLog();
        return QVEL_ERR_DEVICE_OPEN;
    }
    unsigned short reservation = 0;
    unsigned char progress = 0;
    int result = RetryMMC_ReserveSEL(&reservation);
    if (result == 0) result = MMC_ClearSELRepository(reservation, kInitiateErase, &progress);
    if (RetryMMC_CloseDevice() != 0 && result == 0) result = QVEL_ERR_DEVICE_CLOSE;
    QVEL_BackupEventLog();
    return result;
}

namespace {
int selInfoField(int* freeBytes, unsigned long* eraseTime)
{
    if (RetryMMC_OpenDevice() != 0) return QVEL_ERR_DEVICE_OPEN;
    if (freeBytes != nullptr) *freeBytes = 0;
    if (eraseTime != nullptr) *eraseTime = 0;
    unsigned short freeSpace = 0;
    unsigned long erase = 0;
    int result = MMC_GetSELInfo(nullptr, nullptr, &freeSpace, nullptr, &erase, nullptr) == 0 ? 0 : QVEL_ERR_SEL_INFO;
    if (result == 0 && freeBytes != nullptr) *freeBytes = freeSpace;
    if (result == 0 && eraseTime != nullptr) *eraseTime = static_cast<uint32_t>(erase);
    if (RetryMMC_CloseDevice() != 0) result = QVEL_ERR_DEVICE_CLOSE;
    return result;
}

struct SoftLine {
    Sel record;
    std::string addString;
};

// The SEL in hardware order, with converted times; 0, 10003 or 10006.
int readWholeSel(std::vector<Sel>& entries)
{
    unsigned short reservation = 0;
    if (RetryMMC_ReserveSEL(&reservation) != 0) return QVEL_ERR_SEL_RESERVE;
    unsigned short id = 0;
    for (int guard = 0; id != QVEL_NO_RECORD; ++guard) {
        Sel record{};
        unsigned short next = QVEL_NO_RECORD;
        if (guard > 0xFFFF || MMC_GetSELEntry(reservation, id, 0, sizeof record, &next, &record) != 0)
            return QVEL_ERR_SEL_READ;
        record.timestamp = static_cast<uint32_t>(ConvertHWLogTime(record.timestamp));
        entries.push_back(record);
        id = next;
    }
    return 0;
}

// Same event: all bytes equal; the first entry may carry id 0 on one side and its own on the other.
bool sameEvent(const Sel& hardware, const Sel& soft, bool firstEntry)
{
    if (std::memcmp(reinterpret_cast<const uint8_t*>(&hardware) + 2,
                    reinterpret_cast<const uint8_t*>(&soft) + 2, sizeof(Sel) - 2) != 0)
        return false;
    return hardware.recordId == soft.recordId || (firstEntry && hardware.recordId == 0);
}
} // namespace

extern "C" int QVEL_GetFreeSpace(int* freeBytes)
{
    if (freeBytes == nullptr) return QVEL_ERR_INVALID;
    return selInfoField(freeBytes, nullptr);
}

extern "C" int QVEL_GetEraseTime(unsigned long* eraseTime)
{
    if (eraseTime == nullptr) return QVEL_ERR_INVALID;
    return selInfoField(nullptr, eraseTime);
}

static int sortSoftEvents(void)
{
    if (RetryMMC_OpenDevice() != 0) return QVEL_ERR_DEVICE_OPEN;
    std::vector<Sel> hardware;
    const int readResult = qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return readWholeSel(hardware); });
    RetryMMC_CloseDevice();
    if (readResult == QVEL_ERR_SEL_READ && hardware.empty()) return QVEL_BackupEventLog();
    if (readResult != 0) return readResult;

    HeldLock lock;
    if (lock.result() != 0) return lock.result();
    std::vector<SoftLine> soft;
    const std::string softLog = softLogPath();
    forEachSoftLogLine(softLog, [&](const std::string& line) {
        SoftLine entry{};
        char addString[sizeof(EvtStruct::szAddString)] = "";
        if (parseRecordLine(line, entry.record, addString)) {
            entry.addString = addString;
            soft.push_back(std::move(entry));
        }
        return true;
    });
    std::string rebuilt;
    for (size_t i = 0; i < hardware.size(); ++i) {
        std::string addString;
        for (const SoftLine& line : soft)
            if (sameEvent(hardware[i], line.record, i == 0)) {
                addString = line.addString;
                break;
            }
        rebuilt += formatRecordLine(hardware[i], addString.c_str());
    }
    // Built beside the old log and put in its place in one rename.
    if (qv::replaceFileContents(softLog, rebuilt) != 0) return QVEL_ERR_FAILED;
    writeRecordIdSetting(settingsPath(), hardware.empty() ? kFreshLog : hardware.back().recordId);
    return 0;
}

extern "C" int QVEL_SortSoftEvents(void)
{
    return qv::catchAtBoundary(QVEL_ERR_FAILED, [&] { return sortSoftEvents(); });
}
