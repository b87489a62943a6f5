// Lock-file semaphores of the IPMI object library: a file below /var/qvserver held by an fcntl
// write lock. fcntl locks belong to the process and vanish when any descriptor of the file is
// closed, so each lock file is opened once per process and counted.
#pragma once

#include "qvbmc_records.h"

extern "C" {
// 0, or 0xA0010000 (bad argument), 0xA01D0000 (open failed), 0xA01F0000 (not obtained in time).
ErrorType AcquireSemaphore(char* pszName, void** phSemaphore, unsigned nMilliseconds);
// 0, or 0xA0010000 (bad handle), 0xA0200000 (unlock failed).
ErrorType ReleaseSemaphore(void* hSemaphore);
}

namespace qv::bmc {
inline constexpr char kInterprocessSemaphore[] = "qvbmc_interprocess_semaphore";
inline constexpr char kSendReceiveSemaphore[] = "qvbmc_sendreceivemessage_semaphore";
inline constexpr unsigned kSemaphoreTimeoutMs = 120000;
} // namespace qv::bmc
