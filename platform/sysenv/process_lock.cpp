#include "process_lock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

struct LockFile {
    dev_t device;
    ino_t inode;
    int fd;
    unsigned opens;
    unsigned locks;
    pid_t owner;
};

// Never destroyed: objects with static storage release their locks from their destructors.
std::mutex& tableMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::vector<LockFile>& table()
{
    static std::vector<LockFile>* files = new std::vector<LockFile>;
    return *files;
}

LockFile* findByFd(int fd)
{
    for (LockFile& file : table()) {
        if (file.fd != fd) continue;
        if (file.owner != getpid()) { // inherited across fork: the locks stayed with the parent
            file.owner = getpid();
            file.locks = 0;
        }
        return &file;
    }
    return nullptr;
}

int setWholeFileLock(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : errno;
}

void eraseIfUnused(LockFile* file)
{
    if (file->opens > 0 || file->locks > 0) return;
    ::close(file->fd);
    auto& files = table();
    files.erase(files.begin() + (file - files.data()));
}

} // namespace

int lockFileOpen(const std::string& path)
{
    std::lock_guard<std::mutex> guard(tableMutex());
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        for (LockFile& file : table()) {
            if (file.device == st.st_dev && file.inode == st.st_ino) {
                ++findByFd(file.fd)->opens;
                return file.fd;
            }
        }
    }
    table().reserve(table().size() + 1);   // a descriptor once open is always kept in the table
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    table().push_back({st.st_dev, st.st_ino, fd, 1, 0, getpid()});
    return fd;
}

bool lockFileTryLock(int fd)
{
    std::lock_guard<std::mutex> guard(tableMutex());
    LockFile* file = findByFd(fd);
    if (file != nullptr && file->locks > 0) {
        ++file->locks;
        return true;
    }
    if (setWholeFileLock(fd, F_WRLCK) != 0) return false;
    if (file != nullptr) file->locks = 1;
    return true;
}

int lockFileUnlock(int fd)
{
    std::lock_guard<std::mutex> guard(tableMutex());
    LockFile* file = findByFd(fd);
    if (file == nullptr) return EINVAL;
    if (file->locks > 1) {
        --file->locks;
        return 0;
    }
    const int error = setWholeFileLock(fd, F_UNLCK);
    if (error == 0) file->locks = 0;
    return error;
}

int lockFileClose(int fd)
{
    std::lock_guard<std::mutex> guard(tableMutex());
    LockFile* file = findByFd(fd);
    if (file == nullptr) return EBADF; // never close a descriptor this table does not own
    if (file->opens > 0) --file->opens;
    eraseIfUnused(file);
    return 0;
}

unsigned long long lockFileTries(unsigned timeoutMs, unsigned pollMs)
{
    return pollMs == 0 ? 1 : timeoutMs / pollMs + 1ULL;
}

int lockFileAcquire(const std::string& path, unsigned timeoutMs, unsigned pollMs)
{
    const int fd = lockFileOpen(path);
    if (fd < 0) return -1;
    const timespec pause{static_cast<time_t>(pollMs / 1000), static_cast<long>(pollMs % 1000) * 1000000L};
    const unsigned long long tries = lockFileTries(timeoutMs, pollMs);
    for (unsigned long long n = 0; n < tries; ++n) {
        if (lockFileTryLock(fd)) return fd;
        ::nanosleep(&pause, nullptr);
    }
    lockFileClose(fd);
    errno = ETIMEDOUT;
    return -1;
}

int lockFileRelease(int fd)
{
    const int error = lockFileUnlock(fd);
    if (error == EINVAL) return error;
    if (error != 0) {
        // The file is given up all the same: forget the held lock so the close really closes.
        std::lock_guard<std::mutex> guard(tableMutex());
        if (LockFile* file = findByFd(fd)) file->locks = 0;
    }
    lockFileClose(fd);
    return error;
}

} // namespace qv
