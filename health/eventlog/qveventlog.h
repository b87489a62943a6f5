// The event log library: the one place where events are written to and read from the system
// event log. The controller's SEL is the authoritative log; the soft log beside it
// (/usr/qvserver/etc/evtlog.dat) mirrors every record as one text line with an add string the
// hardware cannot hold. Writers go through QVEL_WriteEvent; consumers read through their own
// cursor file with QVEL_ReadNextUnseenEvent, or by position or record id.
#pragma once

#include <cstdint>

#pragma pack(push, 1)

// The IPMI system event record, byte for byte as the controller stores it (little-endian).
#ifndef QV_SEL_RECORD_DEFINED
#define QV_SEL_RECORD_DEFINED
struct Sel {
    uint16_t recordId;
    uint8_t recordType;      // 0x02 for system event records
    uint32_t timestamp;
    uint8_t generatorId;     // bit 0 set: software id
    uint8_t generatorLun;
    uint8_t eventVersion;    // event message revision (2 or 3)
    uint8_t sensorType;
    uint8_t sensorNumber;
    uint8_t eventTrigger;    // direction and event/reading type code
    uint8_t eventData1;      // offset in bits 0-3, data-usage flags in bits 4-7
    uint8_t eventData2;
    uint8_t eventData3;
};
typedef Sel SEL;
#endif

struct QvelSnmp { int32_t snmpId; };
struct QvelDmi { int32_t dmiId; };
struct QvelNtel { int32_t qvelId; };
struct ReportingStruct {
    QvelSnmp snmpInfo;
    QvelDmi dmiInfo;
    QvelNtel ntelInfo;
};

// A record as handed to and from callers.
struct EvtStruct {
    Sel selEntry;
    int32_t convertedReading;    // filled by callers, never by the library
    int32_t convertedThreshold;
    char szAddString[256];       // free text, fields separated by "!"
    char szEventString[256];     // event text template, filled by formatter users
    ReportingStruct reportingInfo;
};
typedef EvtStruct QVEL_EVENT;

#pragma pack(pop)

static_assert(sizeof(Sel) == 16, "SEL record layout");
static_assert(sizeof(EvtStruct) == 548, "event record layout");

enum QVEL_Result {
    QVEL_NO_EVENT = 2,             // nothing there (cursor and index readers)
    QVEL_ERR_FAILED = 10000,       // soft-log, backup or cursor write failed; no description
    QVEL_ERR_INVALID = 10001,      // NULL argument, or soft log not readable
    QVEL_ERR_DEVICE_OPEN = 10002,
    QVEL_ERR_SEL_RESERVE = 10003,
    QVEL_ERR_SEL_ADD = 10004,
    QVEL_ERR_DEVICE_CLOSE = 10005,
    QVEL_ERR_SEL_READ = 10006,     // reading the new entry back failed
    QVEL_ERR_BAD_LINE = 10007,
    QVEL_ERR_NOT_FOUND = 10008,
    QVEL_ERR_SEL_INFO = 10009,
    QVEL_ERR_NO_LOG = 10011,
};

// Record ids: none, or the end of the log. Id 0 asks for the first record.
constexpr int QVEL_NO_RECORD = 0xFFFF;
// The longest add string kept; a soft-log line then fits 255 characters.
constexpr int QVEL_ADD_STRING_MAX = 206;

extern "C" {

// Writes one record to the SEL and mirrors it into the soft log; `record` gets the id and the
// time the controller gave it. `addString` may be NULL; it is cut to 206 characters in place.
int QVEL_WriteEvent(Sel* record, char* addString);
// Appends one line to the soft log only (callers hold the event log lock).
int QVEL_WriteSoftEvent(Sel* record, char* addString);

int QVEL_ReadEvent(int recordId, int* nextId, EvtStruct* out);
int QVEL_ReadSoftEvent(int recordId, EvtStruct* out);
int QVEL_ReadLastSoftEvent(int* lastId, EvtStruct* out);
int QVEL_ReadEventLogEntry(int index, EvtStruct* out);
int QVEL_GetNumberOfEvents(int* count);
int QVEL_GetFreeSpace(int* freeBytes);
int QVEL_GetEraseTime(unsigned long* eraseTime);
int QVEL_ClearEventLog(void);
int QVEL_BackupEventLog(void);
int QVEL_SyncEventLog(void);
int QVEL_SortSoftEvents(void);

// The next record this consumer has not seen; 0 with the record, 2 when nothing is new.
// 10000: the record is in `out` but the cursor could not be saved, so the next call returns the
// same record again; callers end their batch there.
int QVEL_ReadNextUnseenEvent(EvtStruct* out, const char* cursorFile);

// Rewrites a revision-2 record into the revision-3 form, in place.
void QVEL_MapEventRecord2to3(Sel* record);
// The name of the sensor that generated the record (`name` holds 17 bytes).
int QVEL_GetSdrDescription(Sel* record, char* name);
void QVEL_SdrCleanup(void);

// The event log lock, re-entrant within a process.
int QVEL_GrabSemaphore(int* handle);
int QVEL_GiveUpSemaphore(int handle);

// Paths below the system root, valid until the next call of the same getter.
const char* GetSystemRoot(void);
const char* GetSoftLogFile(void);
const char* GetSoftLogBackupFile(void);
const char* GetSoftConfigFile(void);
const char* GetEventSpecFile(void);

// The controller's local wall-clock seconds as a true time.
long ConvertHWLogTime(long t);

char RemoveWhiteSpace(char** cursor);
char* itoa(int value, char* buf, int base);
void QVELPrint(const char* format, ...);

} // extern "C"
