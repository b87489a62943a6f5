#include "nic_lock.h"

#include "sandbox_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

namespace nic {
namespace {

struct HeldLock {
    std::string path;
    int count = 0;
};

// Held lock files of this process, by descriptor.
std::map<int, HeldLock>& heldLocks()
{
    static std::map<int, HeldLock> held;
    return held;
}

bool setLock(int fd, short type)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &fl) == 0;
}

} // namespace

int AcquireSemaphore(const char* name, int* handle, unsigned timeoutMs)
{
    if (!name || !handle) return EINVAL;
    const std::string path = qv::sandboxPath(std::string("/var/qvserver/") + name);
    if (path.size() > 4095) return ENAMETOOLONG;
    for (auto& [fd, lock] : heldLocks()) {
        if (lock.path == path) {
            ++lock.count;
            *handle = fd + 1;
            return 0;
        }
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    for (unsigned waited = 0;; waited += 10) {
        if (setLock(fd, F_WRLCK)) {
            heldLocks()[fd] = HeldLock{path, 1};
            *handle = fd + 1;
            return 0;
        }
        if (waited + 10 > timeoutMs) break;
        ::usleep(10000);
    }
    ::close(fd);
    return ETIMEDOUT;
}

int ReleaseSemaphore(int handle)
{
    auto& held = heldLocks();
    const auto it = held.find(handle - 1);
    if (handle <= 0 || it == held.end()) return EINVAL;
    if (--it->second.count > 0) return 0;
    const int fd = it->first;
    held.erase(it);
    const int rc = setLock(fd, F_UNLCK) ? 0 : errno;
    ::close(fd);
    return rc;
}

} // namespace nic
