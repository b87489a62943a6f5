#include "tvk_semaphore.h"

#include "library_boundary.h"
#include "process_lock.h"

#include <algorithm>
#include <cerrno>
#include <sys/select.h>

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
    // ENOMEM: the name or the table entry could not be allocated.
    return qv::catchAtBoundary(ENOMEM, [&] {
        if (pszSemName == nullptr || phSemRet == nullptr) return EINVAL;
        // The process-wide table shares one descriptor per lock file: closing a second one would
        // drop a held lock.
        const int fd = qv::lockFileOpen(pszSemName);
        if (fd < 0) return errno;
        *phSemRet = fd + 1;
        return 0;
    });
}

int TvkAcquireSemaphore(int hSemaphore, unsigned long nMiliseconds)
{
    TvkRetrySchedule schedule = TvkComputeRetrySchedule(nMiliseconds);
    if (!schedule.inRange) return TVK_TIMEOUT_RANGE;
    for (unsigned long attempt = 0; attempt < schedule.tries; ++attempt) {
        if (qv::lockFileTryLock(hSemaphore - 1)) return 0;
        Sleep(static_cast<int>(schedule.intervalMs));
    }
    return -1;
}

int TvkReleaseSemaphore(int hSemaphore)
{
    return qv::lockFileUnlock(hSemaphore - 1) == 0 ? 0 : -1;
}

int TvkEndSemaphoreAccess(int hSemaphore)
{
    return qv::lockFileClose(hSemaphore - 1);
}

int Sleep(int ms)
{
    struct timeval timeout {};
    timeout.tv_sec = ms / 1000;
    timeout.tv_usec = (ms % 1000) * 1000;
    return select(0, nullptr, nullptr, nullptr, &timeout);
}
