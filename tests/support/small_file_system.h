// A small file system of its own (tmpfs) over a directory, in a private mount namespace of the
// calling thread and the processes it starts afterwards: tests fill it to see what programs do
// on a full disk. mounted() is false where the machine allows no namespace or mount (not root).
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace qv::test {

class SmallFileSystem {
public:
    // Call it before the test starts threads that should see the same mounts.
    explicit SmallFileSystem(const std::string& dir, const char* size = "256k") : dir_(dir)
    {
        const std::string options = std::string("size=") + size + ",mode=0755";
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0)
            why_ = std::strerror(errno);
        else
            mounted_ = true;
    }
    ~SmallFileSystem()
    {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    // One file takes all the room that is left; release() gives it back.
    void fill() const
    {
        const int fd = ::open((dir_ + "/.filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const std::string block(4096, 'f');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {}
        if (fd >= 0) ::close(fd);
    }
    void release() const { ::unlink((dir_ + "/.filler").c_str()); }

private:
    std::string dir_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace qv::test
