#include "send_lock.h"

#include "ipmexception.h"
#include "qvbmc_semaphore.h"

namespace qv::bmc {

SendLock::SendLock()
{
    if (AcquireSemaphore(const_cast<char*>(kSendReceiveSemaphore), &handle_,
                         kSemaphoreTimeoutMs) != 0) {
        handle_ = nullptr;
        throw new CIPMException(IPMAPI_ERROR_EXTERNAL_MESSAGE,
                                "CIPMBaseController::SendReceiveIPMIMessage",
                                "error = AcquireSemophore( )", "Can not create sempphore");
    }
}

SendLock::~SendLock() { release(); }

void SendLock::release()
{
    if (handle_) ReleaseSemaphore(handle_);
    handle_ = nullptr;
}

} // namespace qv::bmc
