#include "shared_memory.h"

#include "nic_lock.h"
#include "sandbox_path.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstdlib>

namespace nic {

bool segmentKey(int& key)
{
    if (const char* text = std::getenv("QV_NIC_SHM_KEY"); text && *text) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(text, &end, 0);
        if (errno != 0 || *end != '\0' || value <= 0 || value > 0x7FFFFFFF) return false;
        key = static_cast<int>(value);
        return true;
    }
    const key_t derived = ::ftok(qv::sandboxPath("/etc/rc.d/init.d/qvlanalertd").c_str(), '1');
    if (derived == -1 || derived == IPC_PRIVATE) return false;
    key = static_cast<int>(derived);
    return true;
}

} // namespace nic

SharedMemory::SharedMemory(int buffer_size, int permission)
    : _buffer_size(buffer_size), _permission(permission)
{
    create();
}

void SharedMemory::fail(const char* text)
{
    _error = -1;
    _error_string = text;
}

void SharedMemory::create()
{
    _error = 0;
    if (!nic::segmentKey(_mode)) {
        _mode = -1;
        fail("ftok() failed");
        return;
    }
    // Id 0 is a valid segment id, not a failure.
    const int id = ::shmget(_mode, static_cast<size_t>(_buffer_size), _permission);
    if (id < 0) {
        fail("shmget() failed");
        return;
    }
    _shm_id = id;
}

void SharedMemory::attach()
{
    _error = 0;
    void* p = _shm_id == -1 ? reinterpret_cast<void*>(-1) : ::shmat(_shm_id, nullptr, 0);
    if (p == reinterpret_cast<void*>(-1)) {
        _buffer = nullptr;
        fail("shmat() failed");
        return;
    }
    _buffer = p;
}

void SharedMemory::detach()
{
    _error = 0;
    if (_buffer && ::shmdt(_buffer) != 0) fail("shmdt() failed");
    _buffer = nullptr;
}

void SharedMemory::destroy()
{
    _error = 0;
    if (_shm_id == -1) return;
    if (_buffer) ::shmdt(_buffer);
    _buffer = nullptr;
    if (::shmctl(_shm_id, IPC_RMID, nullptr) != 0) {
        fail("shmctl() failed");
        return;
    }
    _shm_id = -1;
}

bool SharedMemory::lock()
{
    _error = 0;
    int handle = -1;
    if (nic::AcquireSemaphore(nic::kParametersLockName, &handle,
                              nic::kParametersLockTimeoutMs) != 0) {
        fail("unable to lock the shared memory");
        return false;
    }
    _sem_id = handle;
    return true;
}

bool SharedMemory::unlock()
{
    _error = 0;
    const int handle = _sem_id;
    _sem_id = -1;
    if (nic::ReleaseSemaphore(handle) != 0) {
        fail("unable to unlock the shared memory");
        return false;
    }
    return true;
}

bool SharedMemory::neverAttached() const
{
    shmid_ds ds;
    return _shm_id != -1 && ::shmctl(_shm_id, IPC_STAT, &ds) == 0 && ds.shm_atime == 0;
}
