#include "tvk_semaphore.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct LockFileEntry {
    dev_t device;
    ino_t inode;
    int fd;
    unsigned accessCount;
    unsigned lockCount;
    pid_t owner;          // locks are not inherited by a forked child
};

std::mutex gTableMutex;
std::vector<LockFileEntry> gLockFiles;

LockFileEntry* findByFd(int fd)
{
    for (auto& entry : gLockFiles) {
        if (entry.fd != fd) continue;
        if (entry.owner != getpid()) {
            entry.owner = getpid();
            entry.lockCount = 0;
        }
        return &entry;
    }
    return nullptr;
}

LockFileEntry* findByFile(dev_t device, ino_t inode)
{
    for (auto& entry : gLockFiles)
        if (entry.device == device && entry.inode == inode) return findByFd(entry.fd);
    return nullptr;
}

int setWholeFileLock(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return fcntl(fd, F_SETLK, &lock);
}

// Takes the lock, or counts one more acquire when this process already holds it.
bool tryLock(int fd)
{
    std::lock_guard<std::mutex> guard(gTableMutex);
    LockFileEntry* entry = findByFd(fd);
    if (entry != nullptr && entry->lockCount > 0) {
        ++entry->lockCount;
        return true;
    }
    if (setWholeFileLock(fd, F_WRLCK) != 0) return false;
    if (entry != nullptr) entry->lockCount = 1;
    return true;
}

} // namespace

TvkRetrySchedule TvkComputeRetrySchedule(unsigned long nMiliseconds)
{
    if (nMiliseconds > TVK_MAX_TIMEOUT_MS) return {false, 0, 0};
    unsigned long timeout = std::max(nMiliseconds, 100UL);
    unsigned long interval = std::min(timeout / 20, 2000UL);
    unsigned long tries = std::max(timeout / interval, 5UL);
    return {true, tries, interval};
}

int TvkAccessSemaphore(const char* pszSemName, int* phSemRet)
{
    if (pszSemName == nullptr || phSemRet == nullptr) return EINVAL;
    std::lock_guard<std::mutex> guard(gTableMutex);
    struct stat st {};
    // A second open and later close of a held lock file would drop the lock: share one descriptor.
    if (lstat(pszSemName, &st) == 0) {
        if (LockFileEntry* entry = findByFile(st.st_dev, st.st_ino)) {
            ++entry->accessCount;
            *phSemRet = entry->fd + 1;
            return 0;
        }
    }
    int fd = open(pszSemName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    if (fstat(fd, &st) != 0) {
        int error = errno;
        close(fd);
        return error;
    }
    gLockFiles.push_back({st.st_dev, st.st_ino, fd, 1, 0, getpid()});
    *phSemRet = fd + 1;
    return 0;
}

int TvkAcquireSemaphore(int hSemaphore, unsigned long nMiliseconds)
{
    TvkRetrySchedule schedule = TvkComputeRetrySchedule(nMiliseconds);
    if (!schedule.inRange) return TVK_TIMEOUT_RANGE;
    for (unsigned long attempt = 0; attempt < schedule.tries; ++attempt) {
        if (tryLock(hSemaphore - 1)) return 0;
        Sleep(static_cast<int>(schedule.intervalMs));
    }
    return -1;
}

int TvkReleaseSemaphore(int hSemaphore)
{
    int fd = hSemaphore - 1;
    std::lock_guard<std::mutex> guard(gTableMutex);
    LockFileEntry* entry = findByFd(fd);
    if (entry != nullptr && entry->lockCount > 1) {
        --entry->lockCount;
        return 0;
    }
    int result = setWholeFileLock(fd, F_UNLCK);
    if (entry != nullptr && result == 0) entry->lockCount = 0;
    return result;
}

int TvkEndSemaphoreAccess(int hSemaphore)
{
    int fd = hSemaphore - 1;
    std::lock_guard<std::mutex> guard(gTableMutex);
    auto entry = std::find_if(gLockFiles.begin(), gLockFiles.end(),
                              [fd](const LockFileEntry& e) { return e.fd == fd; });
    if (entry != gLockFiles.end()) {
        if (--entry->accessCount > 0) return 0;
        gLockFiles.erase(entry);
    }
    return close(fd) == 0 ? 0 : errno;
}

int Sleep(int ms)
{
    struct timeval timeout {};
    timeout.tv_sec = ms / 1000;
    timeout.tv_usec = (ms % 1000) * 1000;
    return select(0, nullptr, nullptr, nullptr, &timeout);
}
