#include "file_locker.h"

#include <sys/stat.h>
#include <unistd.h>

FileLocker::FileLocker(const std::string& _filename, const std::string& lockPath)
    : filename(_filename), lockname(lockPath)
{
}

FileLocker::~FileLocker()
{
    try {
        if (locked) unlock();
    } catch (const LockError&) {
        // Closing the descriptor below releases the lock anyway.
    }
    if (lockdesc >= 0 && lockdesc != filedesc) close(lockdesc);
    if (filedesc >= 0) close(filedesc);
}

bool FileLocker::lock()
{
    if (locked) return true;
    if (filedesc < 0) filedesc = open(filename.c_str(), O_RDWR | O_CLOEXEC);
    if (filedesc < 0) throw LockError("FileLocker::lock(): unable to open file " + filename);
    struct stat st {};
    if (fstat(filedesc, &st) != 0)
        throw LockError("FileLocker::lock(): unable to get info about file " + filename);
    if (lockname.empty()) lockdesc = filedesc;
    if (lockdesc < 0) lockdesc = open(lockname.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
    if (lockdesc < 0) throw LockError("FileLocker::lock(): unable to open file " + lockname);
    lockinfo = {};
    lockinfo.l_type = F_WRLCK;
    lockinfo.l_whence = SEEK_SET;
    lockinfo.l_start = 0;
    lockinfo.l_len = 0;   // the whole file, however long it grows
    if (fcntl(lockdesc, F_SETLK, &lockinfo) != 0)
        throw LockError("FileLocker::lock(): unable to lock file " + filename);
    locked = true;
    return true;
}

bool FileLocker::unlock()
{
    if (!locked) return true;
    lockinfo.l_type = F_UNLCK;
    const bool released = fcntl(lockdesc, F_SETLK, &lockinfo) == 0;
    locked = false;
    if (!released) throw LockError("FileLocker::lock(): unable to lock file " + filename);
    return true;
}
