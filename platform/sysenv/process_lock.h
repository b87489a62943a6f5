// Lock files shared by the processes of the suite: a file write-locked as a whole with an fcntl
// record lock.
//
// Record locks belong to the process and vanish when ANY descriptor of the file is closed, so
// this table keeps one descriptor per lock file (by device and inode) for the whole process,
// counts opens and nested locks, and closes nothing while the lock is held. A forked child
// starts with no locks (they are not inherited).
#pragma once

#include <string>

namespace qv {

// Opens the lock file (O_RDWR | O_CREAT | O_NOFOLLOW, mode 0600) or shares the descriptor this
// process already has for it. Returns the descriptor, or -1 with errno.
int lockFileOpen(const std::string& path);

// One try without waiting; true when locked (or already held by this process: counted).
bool lockFileTryLock(int fd);

// Undoes one lock; the last one unlocks the file. 0, EINVAL for a descriptor not opened here, or
// the errno of the failed unlock (the lock then stays held and counted).
int lockFileUnlock(int fd);

// Undoes one open; the descriptor is closed once no open and no lock remain. 0, or EBADF for a
// descriptor not opened here (it is left alone).
int lockFileClose(int fd);

// Open, then try at the elapsed times 0, pollMs, 2 * pollMs, ... up to and including
// `timeoutMs`, pausing `pollMs` after each failed try. Returns the descriptor, or -1 with errno
// (ETIMEDOUT when the lock stayed busy; the file is not kept open then).
int lockFileAcquire(const std::string& path, unsigned timeoutMs, unsigned pollMs = 10);

// How many tries lockFileAcquire makes: timeoutMs / pollMs + 1 (one try for a poll of 0).
unsigned long long lockFileTries(unsigned timeoutMs, unsigned pollMs);

// Unlock and close as one step: the file is closed even when the unlock failed. 0 or the errno.
int lockFileRelease(int fd);

} // namespace qv
