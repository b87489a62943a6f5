// The event log lock: one lock file for every writer of the soft log, re-entrant within a process
// so that a writer may call the other writers while it holds the lock.
#include "eventlog_internal.h"
#include "library_boundary.h"

#include "tvk_semaphore.h"

#include <cerrno>

namespace {
constexpr unsigned long kLockTimeoutMs = 10000;
constexpr int kNestedHandle = -1;
int nQVELSemAcquired = 0;
} // namespace

static int grabSemaphore(int* handle)
{
    if (handle == nullptr) return QVEL_ERR_INVALID;
    if (nQVELSemAcquired > 0) {
        *handle = kNestedHandle;
        ++nQVELSemAcquired;
        return 0;
    }
    int h = 0;
    int result = TvkAccessSemaphore(qv::eventlog::lockPath().c_str(), &h);
    if (result != 0) return result;
    result = TvkAcquireSemaphore(h, kLockTimeoutMs);
    if (result != 0) {
        TvkEndSemaphoreAccess(h);
        return result;
    }
    *handle = h;
    ++nQVELSemAcquired;
    return 0;
}

extern "C" int QVEL_GrabSemaphore(int* handle)
{
    return qv::catchAtBoundary(ENOMEM, [&] { return grabSemaphore(handle); });
}

extern "C" int QVEL_GiveUpSemaphore(int handle)
{
    if (nQVELSemAcquired == 0) return 0;
    --nQVELSemAcquired;
    if (handle == kNestedHandle) return 0;
    const int released = TvkReleaseSemaphore(handle);
    const int closed = TvkEndSemaphoreAccess(handle);
    return released != 0 ? released : closed;
}
