#include "qvbmc_semaphore.h"

#include "ipmexception.h"
#include "sandbox_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>

namespace {

struct HeldLock {
    std::string name;
    int count = 0;
    pid_t owner = 0;  // a forked child does not inherit fcntl locks
};

// Locks this process holds, by descriptor. The descriptor stays open while the count is above 0.
std::map<int, HeldLock>& heldLocks()
{
    static std::map<int, HeldLock> locks;
    return locks;
}

bool validName(const char* name)
{
    std::string text(name);
    return !text.empty() && text.find('/') == std::string::npos && text != "." && text != "..";
}

bool setWriteLock(int fd, short type)
{
    struct flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock) == 0;
}

// The handle is the descriptor, offset by one so that descriptor 0 is not a null handle.
void* handleOf(int fd) { return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1); }
int descriptorOf(void* handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1); }

} // namespace

extern "C" ErrorType AcquireSemaphore(char* pszName, void** phSemaphore, unsigned nMilliseconds)
{
    if (!pszName || !phSemaphore || !validName(pszName)) return IPMAPI_ERROR_BAD_ARGUMENT;

    for (auto& [fd, held] : heldLocks()) {
        if (held.name == pszName && held.owner == getpid()) {
            ++held.count;
            *phSemaphore = handleOf(fd);
            return 0;
        }
    }

    const std::string path = qv::sandboxPath(std::string("/var/qvserver/") + pszName);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return IPMAPI_ERROR_SEMAPHORE_OPEN;

    for (unsigned elapsed = 0;; elapsed += 10) {
        if (setWriteLock(fd, F_WRLCK)) {
            heldLocks()[fd] = HeldLock{pszName, 1, getpid()};
            *phSemaphore = handleOf(fd);
            return 0;
        }
        if (elapsed >= nMilliseconds) break;
        usleep(10000);
    }
    close(fd);
    return IPMAPI_ERROR_SEMAPHORE_TIMEOUT;
}

extern "C" ErrorType ReleaseSemaphore(void* hSemaphore)
{
    if (!hSemaphore) return IPMAPI_ERROR_BAD_ARGUMENT;
    const int fd = descriptorOf(hSemaphore);
    auto it = heldLocks().find(fd);
    if (it == heldLocks().end()) return IPMAPI_ERROR_BAD_ARGUMENT;
    if (--it->second.count > 0) return 0;
    if (!setWriteLock(fd, F_UNLCK)) {
        it->second.count = 1;
        return IPMAPI_ERROR_SEMAPHORE_RELEASE;
    }
    heldLocks().erase(it);
    close(fd);
    return 0;
}
