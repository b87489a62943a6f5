// The files the version agent, the scanning service and the firmware collector share, and the
// locked INI access they all go through.
//
// Environment (tests):
//   QV_SWA_LOCK_TIMEOUT_MS   how long a lock is waited for (default 10000 ms)
#pragma once

#include <string>

namespace swfiles {

inline constexpr char kListFile[] = "/usr/qvserver/etc/qvswa.cfg";
inline constexpr char kCacheFile[] = "/usr/qvserver/etc/qvrevagent.cache";
inline constexpr char kConfigFile[] = "/usr/qvserver/etc/qvswarh.cfg";
inline constexpr char kHistoryFile[] = "/usr/qvserver/etc/qvswarh.log";
inline constexpr char kBaselineFile[] = "/usr/qvserver/etc/qvswarb.dat";
inline constexpr char kBiosFile[] = "/usr/qvserver/etc/qvswabios.dat";
inline constexpr char kAgentLock[] = "/var/qvserver/swafila.lck";
inline constexpr char kServiceLock[] = "/var/qvserver/swafile.lck";
// Taken by every writer of qvswarh.cfg and qvswarh.log (agent, service, collector): their own
// locks are distinct, and a rewrite under one of them alone could undo another's.
inline constexpr char kCommonLock[] = "/var/qvserver/swarev.lck";

inline constexpr char kVersionRegKey[] = "SOFTWARE\\Quorvane\\Trivoke=Version";

unsigned lockTimeoutMs();

// Holds a lock file (sandboxed path) for its lifetime; an empty path holds nothing and counts
// as held.
class ScopedLockFile {
public:
    explicit ScopedLockFile(const char* fixedPath);
    ~ScopedLockFile();
    ScopedLockFile(const ScopedLockFile&) = delete;
    ScopedLockFile& operator=(const ScopedLockFile&) = delete;
    bool held() const { return fd_ >= 0 || none_; }

private:
    int fd_ = -1;
    bool none_ = false;
};

// A program's own lock plus the common lock, for one read-modify-write of the shared files.
class WriterLock {
public:
    explicit WriterLock(const char* ownLock) : own_(ownLock), common_(own_.held() ? kCommonLock : nullptr) {}
    bool held() const { return own_.held() && common_.held(); }

private:
    ScopedLockFile own_;
    ScopedLockFile common_;
};

// INI access under one program's lock file (null: no own lock, as the collector); fixed file
// names are resolved below the sandbox root here. Reads take the own lock; writes also the
// common lock. A lock not obtained in time skips the call: reads return their defaults
// (strings leave the buffer untouched and return 0), writes write nothing and return 0.
class CLockedProfile {
public:
    explicit CLockedProfile(const char* ownLock) : ownLock_(ownLock) {}

    int MyGetPrivateProfileString(const char* section, const char* key, const char* def,
                                  char* buffer, int size, const char* fixedFile) const;
    int MyGetPrivateProfileInt(const char* section, const char* key, int def,
                               const char* fixedFile) const;
    int MyWritePrivateProfileString(const char* section, const char* key, const char* value,
                                    const char* fixedFile) const;

    const char* ownLock() const { return ownLock_; }

private:
    const char* ownLock_;
};

// Where "Count" goes relative to the new entry: the service writes it first for a driver
// change and after the entry for an agents version change; the collector writes it first.
enum class CountOrder { CountFirst, EntryFirst };

// Appends one [RHLog] entry of qvswarh.log under key old "Count" (absent or -1 count as 0) and
// raises "Count", all under one WriterLock. Returns the key, or -1 when the lock was not
// obtained or a write failed.
int appendRevisionHistory(const CLockedProfile& profile, const std::string& entry, CountOrder order);

// Removes qvswarh.log under the common lock, so no writer's append is half lost.
void eraseRevisionHistory();

} // namespace swfiles
