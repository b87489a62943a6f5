#include "nic_lock.h"

#include "process_lock.h"
#include "sandbox_path.h"

#include <cerrno>
#include <string>

namespace nic {

int AcquireSemaphore(const char* name, int* handle, unsigned timeoutMs)
{
    if (!name || !handle) return EINVAL;
    const int fd = qv::lockFileAcquire(qv::sandboxPath(std::string("/var/qvserver/") + name), timeoutMs);
    if (fd < 0) return errno;
    *handle = fd + 1;
    return 0;
}

int ReleaseSemaphore(int handle)
{
    if (handle <= 0) return EINVAL;
    return qv::lockFileRelease(handle - 1);
}

} // namespace nic
