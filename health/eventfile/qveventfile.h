// The event file library: lets hosts outside the suite browse the event log. Event list handles
// are snapshots of the soft log filtered by sensor type; a description reader describes their
// members from the event description file; a component facade counts and ranks events per
// hardware component. Every function reports failure as a returned code and never throws.
#pragma once

#include "qveventlog.h"

#include <cstdint>

// A text slice: pointer and length, not NUL-terminated.
struct _sdType_ {
    char* pb;
    unsigned cb;
};
typedef _sdType_ sdType;

class CParseFile;

// Results besides 0, the event library's codes and a reader's errno.
inline constexpr int QVEF_NO_SUCH_EVENT = 0x100010;      // position beyond the selection
inline constexpr int QVEF_TOO_SMALL = 0x100012;          // a result does not fit
inline constexpr int QVEF_INVALID_HANDLE = 0x100014;
inline constexpr int QVEF_BAD_CONFIRMATION = 0x100016;
inline constexpr int QVEF_NOT_DESCRIBED = 0x100017;
inline constexpr int QVEF_NO_MEMORY = 0x10001B;
inline constexpr int QVEF_NO_DESCRIPTION = 0x100021;
inline constexpr int QVEF_NO_SENSOR_RECORD = 0x100201;
inline constexpr int QVEF_NO_PACKAGE = 0x100202;
inline constexpr int QVEF_NO_RECORD_SOURCE = 0x100203;   // the generator has no sensor records
inline constexpr int QVEF_READER_CLOSED = 99999;

// Severity numbers.
inline constexpr unsigned QVEF_SEV_NORMAL = 0, QVEF_SEV_WARNING = 1, QVEF_SEV_CRITICAL = 2,
                          QVEF_SEV_FAILURE = 3, QVEF_SEV_INFORMATION = 8, QVEF_SEV_UNKNOWN = 255;

typedef uint32_t ELF_StateType;
inline constexpr ELF_StateType eELF_unknown = 0, ELF_good = 1, ELF_stale = 2;

inline constexpr uint32_t QVEF_HANDLE_SIGNATURE = 0x6B72614D;   // "Mark"
inline constexpr int32_t QVEF_DELETED = -1;

// One heap block: the header and one flag per soft-log entry (0 out, 1 member, -1 member marked
// for removal).
struct EventListType {
    uint32_t nEvents;
    uint32_t signature;
    ELF_StateType state;
    int32_t rgfInSet[1];
};
static_assert(sizeof(EventListType) == 16, "event list header and first flag");

struct EventInfoType {
    unsigned severity;
    unsigned eventCode;
    sdType sdTrap;
    sdType sdHelpLink;
    sdType sdText;
    char rgbText[992];
};

extern "C" {

int QvEventSetFilter(const unsigned char* sensorTypes, unsigned count, unsigned* members,
                     EventListType** handle);
int QvEventFilterState(EventListType* h, int* state);
int QvEventEndFilter(EventListType* h);
int QvEventGetRecord(EventListType* h, unsigned position, EvtStruct* event);
int QvEventDescribeEvent(CParseFile* parser, EvtStruct* event, EventInfoType* info, char* text,
                         unsigned textLen);
int QvEventMarkForDelete(EventListType* h, unsigned position);
int QvEventCommitChanges(EventListType* h);
int QvEventCopyFilter(EventListType* src, EventListType** dst);
int QvEventCountMembers(EventListType* h, unsigned* count);
int QvEventOpenParser(char* path, CParseFile** parser);
int QvEventCloseParser(CParseFile* parser);

// The component facade: counts are members or -1; getters write into `dst` of `size` bytes.
int GetEventCount(void);
int GetMemoryEventCount(void);
int GetStorageEventCount(void);
int GetCritHdwEventCount(void);
int GetPowerEventCount(void);
int GetTempEventCount(void);
int GetVoltageEventCount(void);
int GetFanEventCount(void);
EventListType* GetEventFilterHandle(void);
int ReplaceEventFilter(EventListType* h);
int GetEventSeverity(int n, char* dst, int size);
int GetEventCode(int n, char* dst, int size);
int GetEventType(int n, char* dst, int size);
int GetEventSequence(int n, char* dst, int size);
int GetEventDescription(int n, char* dst, int size);
int GetEventHelpText(int n, char* dst, int size);
int GetEventDateTime(int n, char* dst, int size);
int GetEventLogStatus(char* dst, int size);
int GetMemoryStatus(char* dst, int size);
int GetStorageStatus(char* dst, int size);
int GetCritHdwStatus(char* dst, int size);
int GetPowerStatus(char* dst, int size);
int EraseEventLog(const char* confirm, int len);

} // extern "C"
