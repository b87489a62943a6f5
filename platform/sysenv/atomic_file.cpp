#include "atomic_file.h"

#include "library_boundary.h"
#include "owned_handles.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

constexpr char kTempInfix[] = ".tmp.";
constexpr size_t kTempSuffixLength = 6;   // mkstemp's XXXXXX

// "STEM.tmp.XXXXXX" exactly: other files that merely start alike are not ours to remove.
bool isTemporaryOf(std::string_view name, std::string_view stem)
{
    const std::string_view infix = kTempInfix;
    if (stem.empty() || name.size() != stem.size() + infix.size() + kTempSuffixLength ||
        !name.starts_with(stem) || name.substr(stem.size(), infix.size()) != infix)
        return false;
    for (const char c : name.substr(stem.size() + infix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// True when `name` is a name of the open file `fd`.
bool namesFile(const std::string& name, int fd)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

int createTempBeside(const std::string& path, std::string& tempPath)
{
    for (int attempt = 0;; ++attempt) {
        std::string pattern = path + kTempInfix + "XXXXXX";
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // A sweep may take the name in the moment before the lock holds: then make another.
        if (::flock(fd, LOCK_SH) != 0 || namesFile(pattern, fd) || attempt == 10) {
            tempPath = std::move(pattern);   // nothing that could fail once the file is ours
            return fd;
        }
        ::close(fd);
    }
}

// Removes the temporaries "PATH.tmp.XXXXXX" of `path` that no writer holds any more: those of
// writers killed before their rename. Live ones are locked by their writers.
static void removeAbandonedTemporaries(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const OwnedDirectory dir(::opendir(parentDirectory(path).c_str()));
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get()))
        if (isTemporaryOf(entry->d_name, stem)) names.emplace_back(entry->d_name);
    const int at = ::dirfd(dir.get());
    for (const std::string& name : names) {
        const OwnedDescriptor file{::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
        if (file.fd < 0) continue;
        struct stat held {}, named {};
        // Nobody holds it, and the name still leads to the file that was checked.
        if (::flock(file.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(file.fd, &held) == 0 &&
            ::fstatat(at, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            ::unlinkat(at, name.c_str(), 0);
    }
}

void removeFilesStartingWith(const std::string& pathPrefix)
{
    const size_t slash = pathPrefix.rfind('/');
    const std::string stem = slash == std::string::npos ? pathPrefix : pathPrefix.substr(slash + 1);
    const OwnedDirectory dir(::opendir(parentDirectory(pathPrefix).c_str()));
    if (!dir || stem.empty()) return;
    // Names are gathered first: unlinking while reading the directory may skip entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get()))
        if (std::string_view(entry->d_name).starts_with(stem)) names.emplace_back(entry->d_name);
    for (const std::string& name : names) ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
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
    removeAbandonedTemporaries(backupPath);
    for (int attempt = 0;; ++attempt) {
        // The file the second name leads to is held while that name exists, as a temporary is.
        const OwnedDescriptor current{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (current.fd < 0) return errno == ENOENT ? 0 : errno;
        ::flock(current.fd, LOCK_SH);
        std::string name;
        const int reserved = createTempBeside(backupPath, name);
        if (reserved < 0) return errno;
        ::unlink(name.c_str());
        ::close(reserved);
        int error = 0;
        bool retry = false;
        if (::link(path.c_str(), name.c_str()) != 0) {
            error = errno == ENOENT ? 0 : errno;   // no file yet: nothing to keep
        } else if (!namesFile(name, current.fd) && attempt < 10) {
            retry = true;   // the file was replaced after it was opened: hold the new one
        } else if (std::rename(name.c_str(), backupPath.c_str()) != 0) {
            error = errno;
        }
        // When both names already lead to the same file (a writer died between this step and
        // its own rename), rename succeeds without removing the temporary name.
        ::unlink(name.c_str());
        if (!retry) return error;
    }
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

std::optional<std::string> readFileContents(const std::string& path)
{
    const OwnedDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return std::nullopt;
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;   // errno stays: the descriptor's close keeps it
        if (n == 0) return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

int replaceFileContents(const std::string& path, std::string_view contents,
                        std::optional<mode_t> mode, const std::string& backupPath)
{
    if (!mode) {
        struct stat old {};
        mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777 & ~mode_t(S_IWOTH)) : 0644;
    }
    removeAbandonedTemporaries(path);
    std::string temp;
    // Closed only at the end: the lock it holds marks the temporary as in use until it is renamed
    // (one left behind by a failed allocation is swept by the next rewrite).
    const OwnedDescriptor file{createTempBeside(path, temp)};
    if (file.fd < 0) return errno;
    int error = ::fchmod(file.fd, *mode) != 0 ? errno : 0;
    if (error == 0) error = writeAll(file.fd, contents);
    if (error == 0 && ::fsync(file.fd) != 0) error = errno;
    if (error == 0) {
        error = commitTempFile(temp, path, backupPath);
    } else {
        ::unlink(temp.c_str());
    }
    return error;
}

} // namespace qv
