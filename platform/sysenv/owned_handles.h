// A descriptor and a directory stream closed however the function that opened them ends: a call
// cut short (a failed allocation included) must not leak them.
#pragma once

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace qv {

struct OwnedDescriptor {
    int fd;
    explicit OwnedDescriptor(int descriptor) : fd(descriptor) {}
    ~OwnedDescriptor()
    {
        const int error = errno;   // a failure being reported keeps its errno
        if (fd >= 0) ::close(fd);
        errno = error;
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
};

struct DirectoryCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using OwnedDirectory = std::unique_ptr<DIR, DirectoryCloser>;

} // namespace qv
