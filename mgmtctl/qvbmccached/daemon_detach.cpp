#include "daemon_detach.h"

#include <sandbox_path.h>

#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void reopenStandardDescriptors()
{
    // A sandbox root rarely carries a null device of its own.
    int fd = ::open(qv::sandboxPath("/dev/null").c_str(), O_RDWR);
    if (fd < 0)
        fd = ::open("/dev/null", O_RDWR);
    if (fd < 0)
        return;
    for (int target = 0; target <= 2; ++target)
        if (fd != target)
            ::dup2(fd, target);
    if (fd > 2)
        ::close(fd);
}
} // namespace

bool foregroundRequested()
{
    const char* value = std::getenv(kForegroundEnv);
    return value && std::strcmp(value, "1") == 0;
}

bool detachFromTerminal()
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid > 0)
        ::_exit(0);
    ::setsid();
    if (::chdir("/") != 0) {
        // Only left so no mount stays busy; nothing depends on it.
    }
    ::umask(S_IWOTH);
    for (int fd = 0; fd < 100; ++fd)
        ::close(fd);
    reopenStandardDescriptors();
    return true;
}
