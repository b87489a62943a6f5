#include "qvbmc_semaphore.h"

#include "ipmexception.h"
#include "process_lock.h"
#include "sandbox_path.h"

#include <cerrno>
#include <cstdint>
#include <string>

namespace {

bool validName(const char* name)
{
    std::string text(name);
    return !text.empty() && text.find('/') == std::string::npos && text != "." && text != "..";
}

// The handle is the descriptor, offset by one so that descriptor 0 is not a null handle.
void* handleOf(int fd) { return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1); }
int descriptorOf(void* handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1); }

} // namespace

extern "C" ErrorType AcquireSemaphore(char* pszName, void** phSemaphore, unsigned nMilliseconds)
{
    if (!pszName || !phSemaphore || !validName(pszName)) return IPMAPI_ERROR_BAD_ARGUMENT;
    const int fd = qv::lockFileAcquire(qv::sandboxPath(std::string("/var/qvserver/") + pszName),
                                       nMilliseconds);
    if (fd < 0) return errno == ETIMEDOUT ? IPMAPI_ERROR_SEMAPHORE_TIMEOUT : IPMAPI_ERROR_SEMAPHORE_OPEN;
    *phSemaphore = handleOf(fd);
    return 0;
}

extern "C" ErrorType ReleaseSemaphore(void* hSemaphore)
{
    if (!hSemaphore) return IPMAPI_ERROR_BAD_ARGUMENT;
    const int fd = descriptorOf(hSemaphore);
    const int error = qv::lockFileUnlock(fd);
    if (error == EINVAL) return IPMAPI_ERROR_BAD_ARGUMENT;
    if (error != 0) return IPMAPI_ERROR_SEMAPHORE_RELEASE; // still held: the caller may retry
    qv::lockFileClose(fd);
    return 0;
}
