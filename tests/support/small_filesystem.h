// A full disk for one test: a small tmpfs mounted over a directory of the test's root, inside a
// private mount namespace of the test process (children started afterwards share it), so nothing
// outside the process ever sees the mount. Needs the right to make a mount namespace (root);
// `why()` tells a test what to skip with otherwise.
#pragma once

#include <temp_root.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace qv::test {

class SmallFileSystem {
public:
    // The files directly in `dir` are carried over onto the new file system.
    SmallFileSystem(const std::string& dir, int kib) : dir_(dir)
    {
        if (::unshare(CLONE_NEWNS) != 0) {
            why_ = std::string("no private mount namespace here: ") + std::strerror(errno);
            return;
        }
        // Private, so the mount below never propagates back to the machine's namespace.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            why_ = std::string("cannot make mounts private: ") + std::strerror(errno);
            return;
        }
        std::map<std::string, std::string> files;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (const dirent* e = ::readdir(d))
                if (e->d_type == DT_REG) files[e->d_name] = readWholeFile(dir + "/" + e->d_name);
            ::closedir(d);
        }
        const std::string options = "size=" + std::to_string(kib) + "k,mode=0755";
        if (::mount("qvtest", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
        for (const auto& [name, contents] : files) write(dir + "/" + name, contents);
    }
    ~SmallFileSystem()
    {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

    // Takes every free byte; true when the file system is full.
    bool fill()
    {
        const int fd = ::open(filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        static const char block[4096] = {};
        ssize_t n = 0;
        while ((n = ::write(fd, block, sizeof block)) > 0) {}
        const bool full = n < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }
    void release() { ::unlink(filler().c_str()); }

private:
    std::string filler() const { return dir_ + "/.filler"; }
    static void write(const std::string& path, const std::string& contents)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        (void)!::write(fd, contents.data(), contents.size());
        ::close(fd);
    }

    std::string dir_;
    std::string why_;
    bool mounted_ = false;
};

} // namespace qv::test
