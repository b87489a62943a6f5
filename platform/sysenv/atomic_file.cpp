#include "atomic_file.h"

#include "library_boundary.h"

#include <cerrno>
#include <dirent.h>
#include <vector>
#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

std::string parentDirectory(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

} // namespace

int createTempBeside(const std::string& path, std::string& tempPath)
{
    std::string pattern = path + ".tmp.XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) tempPath = std::move(pattern);   // nothing that could fail once the file exists
    return fd;
}

void removeFilesStartingWith(const std::string& pathPrefix)
{
    const size_t slash = pathPrefix.rfind('/');
    const std::string stem = slash == std::string::npos ? pathPrefix : pathPrefix.substr(slash + 1);
    DIR* dir = ::opendir(parentDirectory(pathPrefix).c_str());
    if (dir == nullptr || stem.empty()) {
        if (dir != nullptr) ::closedir(dir);
        return;
    }
    // Names are gathered first: unlinking while reading the directory may skip entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        if (std::string_view(entry->d_name).starts_with(stem)) names.emplace_back(entry->d_name);
    for (const std::string& name : names) ::unlinkat(::dirfd(dir), name.c_str(), 0);
    ::closedir(dir);
}

void syncParentDirectory(const std::string& path)
{
    // Runs after a rename took effect: not even a failed allocation may make that look undone.
    qv::catchAtBoundary([&] {
        const int dir = ::open(parentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return;
        ::fsync(dir);
        ::close(dir);
    });
}

// Makes the current `path` (when there is one) the backup in one step: a second name made under
// a temporary name, then renamed over the backup, so some backup exists at every moment.
int refreshBackup(const std::string& path, const std::string& backupPath)
{
    std::string name;
    const int fd = createTempBeside(backupPath, name);
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(name.c_str());
    if (::link(path.c_str(), name.c_str()) != 0) return errno == ENOENT ? 0 : errno;
    const int error = std::rename(name.c_str(), backupPath.c_str()) != 0 ? errno : 0;
    // When both names already lead to the same file (a writer died between this step and its
    // own rename), rename succeeds without removing the temporary name.
    ::unlink(name.c_str());
    return error;
}

int commitTempFile(const std::string& tempPath, const std::string& path,
                   const std::string& backupPath)
{
    int error = backupPath.empty() ? 0 : refreshBackup(path, backupPath);
    if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return error;
    }
    syncParentDirectory(path);
    return 0;
}

int replaceFileContents(const std::string& path, std::string_view contents,
                        std::optional<mode_t> mode, const std::string& backupPath)
{
    if (!mode) {
        struct stat old {};
        mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777 & ~mode_t(S_IWOTH)) : 0644;
    }
    std::string temp;
    const int fd = createTempBeside(path, temp);
    if (fd < 0) return errno;
    int error = ::fchmod(fd, *mode) != 0 ? errno : 0;
    if (error == 0) error = writeAll(fd, contents);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    return commitTempFile(temp, path, backupPath);
}

} // namespace qv
