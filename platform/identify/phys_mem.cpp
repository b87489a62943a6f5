// Physical memory through the memory device. In tests the device is a regular file in which the
// offset is the physical address; mapping past its end would fault on access, so it is refused.
#include "identify.h"

#include "library_boundary.h"
#include "sandbox_path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int fpmem = -1;
std::string gMemPath;

// The descriptor stays open for the life of the process; it is reopened only when the device
// path (sandbox root) or the file behind it changed.
int memoryDevice()
{
    std::string path = qv::sandboxPath("/dev/mem");
    struct stat now {}, held {};
    if (fpmem >= 0 && path == gMemPath && stat(path.c_str(), &now) == 0 &&
        fstat(fpmem, &held) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino)
        return fpmem;
    if (fpmem >= 0) close(fpmem);
    fpmem = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    gMemPath = path;
    return fpmem;
}

long pageSize() { return sysconf(_SC_PAGESIZE); }

} // namespace

void* MmMapIoSpace(PHYSICAL_ADDRESS base_addr, unsigned bytesnum, int)
{
    return qv::catchAtBoundary(nullptr, [&]() -> void* {
        int fd = memoryDevice();
        if (fd < 0) {
            std::perror("open()");
            return nullptr;
        }
        if (base_addr.QuadPart < 0 || bytesnum == 0) {
            errno = EINVAL;
            std::perror("mmap()");
            return nullptr;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            std::perror("mmap()");
            return nullptr;
        }
        long long end = base_addr.QuadPart + bytesnum;
        if (S_ISREG(st.st_mode) && st.st_size < end) {
            errno = ENXIO;
            std::perror("mmap()");
            return nullptr;
        }
        long long offset = base_addr.QuadPart % pageSize();
        void* area = mmap(nullptr, static_cast<size_t>(bytesnum + offset), PROT_READ, MAP_SHARED, fd,
                          static_cast<off_t>(base_addr.QuadPart - offset));
        if (area == MAP_FAILED) {
            std::perror("mmap()");
            return nullptr;
        }
        return static_cast<char*>(area) + offset;
    });
}

void MmUnmapIoSpace(void* address, unsigned bytesnum)
{
    if (address == nullptr) return;
    auto value = reinterpret_cast<uintptr_t>(address);
    uintptr_t offset = value % static_cast<uintptr_t>(pageSize());
    munmap(reinterpret_cast<void*>(value - offset), bytesnum + offset);
}
