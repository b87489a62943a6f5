#include "shared_file.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "process_lock.h"

bool SharedFile::Open(const std::string& filename)
{
    if (fd >= 0) return true;
    fd = qv::lockFileOpen(filename);
    return fd >= 0;
}

bool SharedFile::Lock(unsigned timeoutMs)
{
    if (fd < 0) return false;
    if (isLocked) return true;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!qv::lockFileTryLock(fd)) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
        if (timeoutMs != 0 && Clock::now() >= deadline) {
            errno = ETIMEDOUT;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    isLocked = true;
    return true;
}

bool SharedFile::UnLock()
{
    if (fd < 0) return false;
    if (!isLocked) return true;
    if (qv::lockFileUnlock(fd) != 0) return false;
    isLocked = false;
    return true;
}

bool SharedFile::Close()
{
    if (fd < 0) return false;
    if (isLocked) UnLock();
    const int result = qv::lockFileClose(fd);
    fd = -1;
    isLocked = false;
    return result == 0;
}
