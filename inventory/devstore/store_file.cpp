#include "store_file.h"

#include "atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace qv::devstore {

int readStoreFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    bytes.clear();
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            close(fd);
            return err;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    return 0;
}

int replaceStoreFile(const std::string& target, const std::string& backup,
                     const std::vector<uint8_t>& bytes)
{
    const std::string_view contents(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return qv::replaceFileContents(target, contents, 0644, backup);
}

void removeLeftoverTemporaries(const std::string& target, const std::string& backup)
{
    qv::removeFilesStartingWith(target + ".tmp.");
    qv::removeFilesStartingWith(backup + ".tmp.");
}

StoreLock::~StoreLock()
{
    if (fd_ >= 0) close(fd_);   // closing releases the flock
}

int StoreLock::acquire(const std::string& lockPath, int timeoutMs)
{
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
    if (fd_ < 0) return errno;
    const timespec pause{0, 5 * 1000 * 1000};
    for (int waited = 0;; waited += 5) {
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        if (waited >= timeoutMs) return ETIMEDOUT;
        nanosleep(&pause, nullptr);
    }
}

} // namespace qv::devstore
