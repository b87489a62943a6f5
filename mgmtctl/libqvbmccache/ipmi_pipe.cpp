#include "ipmi_pipe.h"

#include "ipmipipe_protocol.h"

#include <sandbox_path.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CIpmiPipe::CIpmiPipe() = default;

CIpmiPipe::~CIpmiPipe() { DisconnectPipe(); }

void CIpmiPipe::InitPipe(const std::string& retPipeName)
{
    szPipeName = qv::sandboxPath(kIpmiRequestPipe);
    szRetPipeName = retPipeName.empty() ? std::string() : qv::sandboxPath(retPipeName);
}

int CIpmiPipe::ConnectPipe()
{
    for (;;) {
        hNamedPipe = ::open(szPipeName.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (hNamedPipe >= 0)
            break;
        if (errno != ENXIO)
            return -1;
        ::sleep(1);
    }
    const int flags = ::fcntl(hNamedPipe, F_GETFL);
    if (flags < 0 || ::fcntl(hNamedPipe, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int saved = errno;
        DisconnectPipe();
        errno = saved;
        return -1;
    }
    return 0;
}

ssize_t CIpmiPipe::Read(void* buffer, size_t size)
{
    // Not retried on EINTR: the service's loop checks its stop flag first.
    return ::read(hNamedPipe, buffer, size);
}

ssize_t CIpmiPipe::Write(const void* buffer, size_t size)
{
    ssize_t n;
    do
        n = ::write(hNamedPipe, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

void CIpmiPipe::DisconnectPipe()
{
    for (int* fd : {&hNamedPipe, &hRetPipe}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
