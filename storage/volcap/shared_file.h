// The lock file that serialises qvspaceagent and qvspacealertd: only its record lock matters.
// The descriptor comes from the suite's one per-process lock-file table, so no other open of
// the same file in this process can drop the lock.
#pragma once

#include <string>

class SharedFile {
public:
    SharedFile() = default;
    ~SharedFile() = default;
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    // Opens (creating with mode 0600) the lock file; false when that fails.
    bool Open(const std::string& filename);
    // Waits until the lock is granted; with a time-out (ms) gives up after it (errno
    // ETIMEDOUT). True at once when already locked by this object.
    bool Lock(unsigned timeoutMs = 0);
    bool UnLock();
    // Unlocks first when locked.
    bool Close();

private:
    int fd = -1;
    bool isLocked = false;
};
