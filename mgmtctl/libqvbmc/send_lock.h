// The send lock that serialises bridged exchanges of all processes, held for one scope.
#pragma once

#include <string>

namespace qv::bmc {

class SendLock {
public:
    // Raises 0xA01E0000 when the lock is not obtained within its time-out.
    SendLock();
    ~SendLock();
    SendLock(const SendLock&) = delete;
    SendLock& operator=(const SendLock&) = delete;
    void release();

private:
    void* handle_ = nullptr;
};

} // namespace qv::bmc
