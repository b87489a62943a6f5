// Whole-file access of the store: reading, the atomic replace that keeps a backup at every
// moment, and the lock file that serialises read-modify-write cycles between processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::devstore {

// 0 and the file's bytes, or the errno of the failed open or read.
int readStoreFile(const std::string& path, std::vector<uint8_t>& bytes);

// Writes `bytes` to a fresh temporary file beside `target`, syncs it, makes the current target
// the backup (atomically replacing the old backup), renames the temporary file over the target
// and syncs the directory. A reader sees the old or the new target, never none; on failure the
// target is untouched. 0 or the errno of the failed step.
int replaceStoreFile(const std::string& target, const std::string& backup,
                     const std::vector<uint8_t>& bytes);

// Removes temporary files that a killed writer left beside the store and its backup; only while
// the lock is held.
void removeLeftoverTemporaries(const std::string& target, const std::string& backup);

// An exclusive flock on a lock file, waited for at most `timeoutMs`.
class StoreLock {
public:
    StoreLock() = default;
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    // 0, or the errno (ETIMEDOUT when another process held it for the whole wait).
    int acquire(const std::string& lockPath, int timeoutMs);

private:
    int fd_ = -1;
};

} // namespace qv::devstore
