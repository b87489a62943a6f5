// The controller's SEL as the event log sees it: erase time, next ids, and copying entries that
// are not yet in the soft log.
#include "eventlog_internal.h"

#include "mgmtctl.h"

#include <ctime>

namespace qv::eventlog {

namespace {
constexpr int kFirstEntry = 0;
constexpr int kNotPresent = 0xCB;            // completion code: no such entry (an empty SEL)
constexpr int kLongestChain = 0x10000;       // more entries than ids: the chain loops
constexpr long kFirstDaySeconds = 86400;     // below it a time counts from power-on, not a date

// The device opened and the SEL reserved for one operation, when the caller has not done so.
class SelSession {
public:
    explicit SelSession(unsigned short reservation) : reservation_(reservation)
    {
        if (reservation_ != 0) return;
        if (RetryMMC_OpenDevice() != 0) {
            result_ = QVEL_ERR_DEVICE_OPEN;
            return;
        }
        opened_ = true;
        result_ = RetryMMC_ReserveSEL(&reservation_);
    }
    ~SelSession()
    {
        if (opened_) RetryMMC_CloseDevice();
    }
    SelSession(const SelSession&) = delete;
    SelSession& operator=(const SelSession&) = delete;
    int result() const { return result_; }
    unsigned short reservation() const { return reservation_; }

private:
    unsigned short reservation_;
    bool opened_ = false;
    int result_ = 0;
};

int readEntry(unsigned short reservation, int id, unsigned short& next, Sel& record)
{
    return MMC_GetSELEntry(reservation, id, 0, sizeof(Sel), &next, &record);
}
} // namespace

int readEraseTime(uint32_t& eraseTime, bool deviceOpen)
{
    unsigned long raw = 0;
    const int result = GetEraseTime(&raw, deviceOpen ? 1 : 0);
    if (result == 0) eraseTime = static_cast<uint32_t>(raw);
    return result;
}

int GetNextHwRecId(unsigned short reservation, int id, int* next)
{
    SelSession session(reservation);
    if (session.result() != 0) return session.result();
    Sel record{};
    unsigned short following = QVEL_NO_RECORD;
    const int result = readEntry(session.reservation(), id == kUnknownRecord ? kFirstEntry : id,
                                 following, record);
    if (result == 0 && next != nullptr) *next = id == kUnknownRecord ? kFirstEntry : following;
    return result;
}

int AddHwSELsToSoftLog(unsigned short reservation, int lastId, int stopId, int* lastCopied)
{
    SelSession session(reservation);
    if (session.result() != 0) return session.result();
    const unsigned short res = session.reservation();

    Sel record{};
    unsigned short next = QVEL_NO_RECORD;
    int result = readEntry(res, lastId == kUnknownRecord ? kFirstEntry : lastId, next, record);
    if (result != 0) return lastId == kUnknownRecord && result == kNotPresent ? 0 : result;
    int current = lastId == kUnknownRecord ? kFirstEntry : next;
    if (lastId == kUnknownRecord && stopId != QVEL_NO_RECORD) {
        // The first entry may be the very record the caller mirrors next: no two entries share
        // a successor, so it is when its next id is the stop record's.
        unsigned short stopNext = QVEL_NO_RECORD;
        Sel stopRecord{};
        if (readEntry(res, stopId, stopNext, stopRecord) == 0 && stopNext == next) return 0;
    }
    int lastWritten = kUnknownRecord;
    for (int copied = 0; current != QVEL_NO_RECORD && current != stopId; ++copied) {
        if (copied == kLongestChain) return QVEL_ERR_SEL_READ;
        result = readEntry(res, current, next, record);
        if (result != 0) break;
        record.timestamp = static_cast<uint32_t>(ConvertHWLogTime(record.timestamp));
        char none[] = "";
        if (!appendRecord(record, none)) {
            result = QVEL_ERR_FAILED;
            break;
        }
        if (lastCopied != nullptr) *lastCopied = current;
        lastWritten = record.recordId;
        current = next;
    }
    // One settings update for the whole copy; readers trust the soft log's last line anyway.
    if (lastWritten != kUnknownRecord) writeRecordIdSetting(settingsPath(), lastWritten);
    return result;
}

} // namespace qv::eventlog

using namespace qv::eventlog;

extern "C" long ConvertHWLogTime(long t)
{
    if (t < kFirstDaySeconds) return t;
    const time_t seconds = static_cast<time_t>(t);
    std::tm probe{};
    gmtime_r(&seconds, &probe);
    mktime(&probe);   // learns whether daylight saving applies then
    std::tm wallClock{};
    gmtime_r(&seconds, &wallClock);
    wallClock.tm_isdst = probe.tm_isdst;
    return static_cast<long>(mktime(&wallClock));
}

extern "C" int GetEraseTime(unsigned long* eraseTime, int deviceOpen)
{
    if (eraseTime == nullptr) return QVEL_ERR_INVALID;
    if (!deviceOpen && RetryMMC_OpenDevice() != 0) return QVEL_ERR_DEVICE_OPEN;
    *eraseTime = 0;
    unsigned long raw = 0;
    int result = MMC_GetSELInfo(nullptr, nullptr, nullptr, nullptr, &raw, nullptr) == 0 ? 0 : QVEL_ERR_SEL_INFO;
    if (result == 0) *eraseTime = static_cast<uint32_t>(raw);
    if (!deviceOpen && RetryMMC_CloseDevice() != 0) result = QVEL_ERR_DEVICE_CLOSE;
    return result;
}
