// What the units of the event log library share inside the library; nothing here is exported.
#pragma once

#include "qveventlog.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <sys/types.h>

namespace qv::eventlog {

// ---- Soft-log line format ----
constexpr size_t kRecordTextLength = 48;   // 16 bytes as "%.2x "
// One soft-log line for a record, '\n' included. Line feeds and carriage returns of the add
// string become blanks, so no text can forge a line of its own.
std::string formatRecordLine(const Sel& record, const char* addString);
// Cuts the caller's add string to the longest kept, in place.
void cutAddString(char* addString);
// A line (without '\n') that carries a record; std::nullopt for a line too short to hold one.
std::optional<Sel> parseRecordId(const std::string& line);
// The record and its add string (`addOut` holds 256 bytes); false for a line without a record.
bool parseRecordLine(const std::string& line, Sel& record, char* addOut);

// ---- Soft-log file ----
// Calls `visit` with every complete line (without its '\n') until it returns false. A last line
// without '\n' is still being written and is not there yet. False when the file cannot be opened.
bool forEachSoftLogLine(const std::string& path, const std::function<bool(const std::string&)>& visit);
// The start of one complete line of the soft log as a later scan may go on from it, with what
// identifies the file it was read from: a replaced, sorted or shortened log is never taken for it.
struct SoftLogPlace {
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;          // the file's size then: the log only grows in place
    std::string firstLine;
    off_t offset = 0;        // where the line starts
    int index = 0;           // its position among all complete lines
    std::string line;        // the line itself, when kept for a later scan: it must be there again
};
// forEachSoftLogLine starting at `from` when that still is a line start of this file, else at
// the first line; `visit` also gets each line's place, which a caller may keep for a later scan.
bool forEachSoftLogLineFrom(const std::string& path, const SoftLogPlace* from,
                            const std::function<bool(const std::string&, const SoftLogPlace&)>& visit);
// The last complete line that carries a record; false when there is none.
bool lastRecordLine(const std::string& path, std::string& line);
// Appends one line with one write; starts a new line when the file does not end in one. On a
// failed or short write the file is cut back, so no partial line stays. 0 or an errno.
int appendSoftLogLine(const std::string& path, const std::string& line);
// Line `n` (0-based; 0xFFFF the last), complete lines only.
bool ReadNthSoftEvent(int n, std::string& line);
// Appends a record line without touching the settings; false on failure.
bool appendRecord(const Sel& record, char* addString);

// ---- Settings and cursor files (INI, section "qvevtlog") ----
constexpr char kSettingsSection[] = "qvevtlog";
constexpr char kLastEraseTimeKey[] = "LastEraseTime";
constexpr char kLastReadEventKey[] = "LastReadEvent";
constexpr int kUnknownRecord = -1;
uint32_t readEraseTimeSetting(const std::string& file, uint32_t fallback);
int readRecordIdSetting(const std::string& file, int fallback);
bool writeRecordIdSetting(const std::string& file, int recordId);
bool writeEraseTimeSetting(const std::string& file, uint32_t eraseTime);
// Both keys in one replacement of the file; `whole` drops whatever else the file held.
bool writeCursorSettings(const std::string& file, uint32_t eraseTime, int recordId, bool whole = false);
// A file that is not what the library writes (damage a power loss can leave); a missing or empty
// file is not damaged.
bool settingsFileDamaged(const std::string& file);

// ---- Paths ----
std::string systemRootPath();
std::string softLogPath();
std::string softLogBackupPath();
std::string settingsPath();
std::string lockPath();

// ---- Hardware SEL (device calls of the controller command library) ----
// The SEL's raw erase timestamp. With `deviceOpen` the caller has the device open.
int readEraseTime(uint32_t& eraseTime, bool deviceOpen);
int GetNextHwRecId(unsigned short reservation, int id, int* next);
int AddHwSELsToSoftLog(unsigned short reservation, int lastId, int stopId, int* lastCopied);

// ---- The event log lock for one scope ----
class HeldLock {
public:
    HeldLock() : result_(QVEL_GrabSemaphore(&handle_)) {}
    ~HeldLock() { if (result_ == 0) QVEL_GiveUpSemaphore(handle_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    int result() const { return result_; }

private:
    int handle_ = 0;
    int result_;
};

// ---- Maintenance under the lock ----
// When the SEL's erase time is not the one the library last saw, the soft log goes to the backup
// file (the caller holds the event log lock).
void backupIfErased();

// ---- Revision 2 mapping ----
uint8_t MapTrigger_2to3(uint8_t trigger);
uint8_t MapData1_2to3(uint8_t trigger3, uint8_t data1);

// ---- SDR table ----
constexpr size_t kSdrEntrySize = 64;
// Entry k of a record shared by several sensors: number + k and a suffixed name.
void BuildSharedSdr(int k, uint8_t* entry);
// Forgets the table and a failed build, so a fuzz run can build again. Not for programs.
void forgetSdrTableForTests();

} // namespace qv::eventlog

// Names the rest of the library uses with C linkage but does not export.
extern "C" {
int MakeSELFromString(Sel* out, char* addOut, const char* line);
int MyAtoi(const char* text);
int GetEraseTime(unsigned long* eraseTime, int deviceOpen);
}
