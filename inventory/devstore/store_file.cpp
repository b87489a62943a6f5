#include "store_file.h"

#include "atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace qv::devstore {

namespace {

constexpr char kTempMark[] = ".tmp.";

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

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

void removeLeftoverTemporaries(const std::string& target)
{
    const std::string dir = directoryOf(target);
    const std::string base = baseNameOf(target);
    // The data file's and the backup's temporaries share the store's name up to the extension.
    const std::string stem = base.substr(0, base.rfind('.'));
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return;
    // Names are gathered first: unlinking while reading the directory may skip entries.
    std::vector<std::string> leftovers;
    while (const dirent* ent = readdir(d)) {
        const std::string name = ent->d_name;
        if (name.compare(0, stem.size(), stem) == 0 && name.find(kTempMark, stem.size()) != std::string::npos)
            leftovers.push_back(name);
    }
    for (const std::string& name : leftovers) unlinkat(dirfd(d), name.c_str(), 0);
    closedir(d);
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
