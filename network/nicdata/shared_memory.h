// The System V segment that holds the live NIC parameters, and its lock file.
//
// The key comes from QV_NIC_SHM_KEY when set (tests give every case its own segment), else from
// ftok of the trap daemon's start script below the sandbox root. A key that cannot be derived
// leaves the object without a segment; the all-ones key is never used.
#pragma once

#include <string>

class SharedMemory {
public:
    SharedMemory(int buffer_size, int permission);
    SharedMemory(const SharedMemory&) = default;
    SharedMemory& operator=(const SharedMemory&) = default;
    // Leaves the segment attached and in place: the daemon removes it explicitly.
    ~SharedMemory() = default;

    void create();
    void destroy();
    void attach();
    void detach();
    bool lock();
    bool unlock();

    // True when no process has attached the segment since it was created.
    bool neverAttached() const;

    int getOperationStatus() const { return _error; }
    void setOperationStatus(int status) { _error = status; }
    std::string getOperationStatusString() const { return _error_string; }
    int getSegmentID() const { return _shm_id; }
    void* getBuffer() { return _buffer; }
    int getBufferSize() const { return _buffer_size; }

private:
    void fail(const char* text);

    int _shm_id = -1;
    int _mode = -1;
    void* _buffer = nullptr;
    int _buffer_size;
    int _permission;
    int _error = 0;
    std::string _error_string = "no errors";
    int _sem_id = -1;
};

namespace nic {
// The segment key, or false when none can be derived.
bool segmentKey(int& key);
} // namespace nic
