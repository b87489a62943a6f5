// The NIC parameter lock file: /var/qvserver/<name>, write-locked as a whole with an fcntl record
// lock, retried every 10 ms up to a time-out.
//
// Record locks belong to the process and vanish when any descriptor of the file closes, so a
// lock taken again by the same process shares the held descriptor and only the last release
// unlocks and closes it.
#pragma once

namespace nic {

// The lock file that guards the NIC parameter segment and every write of the settings file.
inline constexpr const char* kParametersLockName = "qvnic_snmp_agent_semaphore";
inline constexpr unsigned kParametersLockTimeoutMs = 10000;

// 0 and *handle = descriptor + 1; EINVAL for a null argument; the errno of open; ETIMEDOUT.
int AcquireSemaphore(const char* name, int* handle, unsigned timeoutMs);

// 0 after unlocking and closing; EINVAL for an unknown handle; the errno of a failed unlock
// (the file is closed all the same).
int ReleaseSemaphore(int handle);

} // namespace nic
