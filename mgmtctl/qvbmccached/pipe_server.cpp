#include "pipe_server.h"

#include "request_handler.h"

#include <ipmi_pipe.h>
#include <sandbox_path.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool createRequestPipe()
{
    const std::string path = qv::sandboxPath(kIpmiRequestPipe);
    if (::mkfifo(path.c_str(), 0700) == 0)
        return true;
    struct stat st {};
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

void removeRequestPipe() { ::unlink(qv::sandboxPath(kIpmiRequestPipe).c_str()); }

int openReplyPipe(const char* name, size_t field)
{
    if (!isReplyPipeName(name, field))
        return -1;
    const std::string path = qv::sandboxPath(std::string(name, strnlen(name, field)));
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void serveRequests(const CacheSystem& cache, const volatile sig_atomic_t& stop)
{
    while (!stop) {
        CIpmiPipe pipe;
        pipe.InitPipe();
        if (pipe.ConnectPipe() != 0) {
            ::sleep(1);
            continue;
        }
        RequestMessage message{};
        if (pipe.Read(&message, sizeof message) != static_cast<ssize_t>(sizeof message))
            continue;   // interrupted or a stray write: no reply
        pipe.hRetPipe = openReplyPipe(message.szRetPipeName, sizeof message.szRetPipeName);
        if (pipe.hRetPipe < 0)
            continue;
        const ResponseBlock reply = handleRequest(message.request, cache.figures(), cache.system());
        (void)!::write(pipe.hRetPipe, &reply, sizeof reply);
    }
}
