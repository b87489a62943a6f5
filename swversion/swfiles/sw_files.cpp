#include "sw_files.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "process_lock.h"
#include "profile.h"
#include "sandbox_path.h"

namespace swfiles {

unsigned lockTimeoutMs()
{
    const char* text = std::getenv("QV_SWA_LOCK_TIMEOUT_MS");
    if (text && *text) {
        char* end = nullptr;
        const unsigned long ms = std::strtoul(text, &end, 10);
        if (end && *end == '\0' && ms <= 10000) return static_cast<unsigned>(ms);
    }
    return 10000;
}

ScopedLockFile::ScopedLockFile(const char* fixedPath)
{
    if (fixedPath == nullptr || *fixedPath == '\0') {
        none_ = true;
        return;
    }
    fd_ = qv::lockFileAcquire(qv::sandboxPath(fixedPath), lockTimeoutMs());
}

ScopedLockFile::~ScopedLockFile()
{
    if (fd_ >= 0) qv::lockFileRelease(fd_);
}

int CLockedProfile::MyGetPrivateProfileString(const char* section, const char* key,
                                              const char* def, char* buffer, int size,
                                              const char* fixedFile) const
{
    ScopedLockFile lock(ownLock_);
    if (!lock.held()) return 0;
    return GetPrivateProfileString(section, key, def, buffer, size,
                                   qv::sandboxPath(fixedFile).c_str());
}

int CLockedProfile::MyGetPrivateProfileInt(const char* section, const char* key, int def,
                                           const char* fixedFile) const
{
    ScopedLockFile lock(ownLock_);
    if (!lock.held()) return def;
    return GetPrivateProfileInt(section, key, def, qv::sandboxPath(fixedFile).c_str());
}

int CLockedProfile::MyWritePrivateProfileString(const char* section, const char* key,
                                                const char* value, const char* fixedFile) const
{
    WriterLock lock(ownLock_);
    if (!lock.held()) return 0;
    return WritePrivateProfileString(section, key, value, qv::sandboxPath(fixedFile).c_str());
}

int appendRevisionHistory(const CLockedProfile& profile, const std::string& entry, CountOrder order)
{
    WriterLock lock(profile.ownLock());
    if (!lock.held()) return -1;
    const std::string file = qv::sandboxPath(kHistoryFile);
    int count = GetPrivateProfileInt("RHLog", "Count", 0, file.c_str());
    if (count < 0) count = 0;
    char key[16];
    char newCount[16];
    std::snprintf(key, sizeof key, "%d", count);
    std::snprintf(newCount, sizeof newCount, "%d", count + 1);
    if (order == CountOrder::CountFirst) {
        if (!WritePrivateProfileString("RHLog", "Count", newCount, file.c_str())) return -1;
        if (!WritePrivateProfileString("RHLog", key, entry.c_str(), file.c_str())) return -1;
    } else {
        if (!WritePrivateProfileString("RHLog", key, entry.c_str(), file.c_str())) return -1;
        if (!WritePrivateProfileString("RHLog", "Count", newCount, file.c_str())) return -1;
    }
    return count;
}

void eraseRevisionHistory()
{
    ScopedLockFile lock(kCommonLock);
    ::unlink(qv::sandboxPath(kHistoryFile).c_str());
}

} // namespace swfiles
