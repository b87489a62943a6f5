#include "unix_dgram_socket.h"

#include <cerrno>
#include <cstddef>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "sandbox_path.h"

namespace {
constexpr char kPrefix[] = "UnixDgramSocket Class: ";
constexpr int kMaxNameLength = 107;

// Address length as the family field plus the path's characters.
socklen_t addressLength(const std::string& path)
{
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
}

// The system's default send buffer size; 0 when it cannot be read.
unsigned long defaultSendBufferSize()
{
    FILE* file = std::fopen(qv::sandboxPath("/proc/sys/net/core/wmem_default").c_str(), "r");
    if (!file) return 0;
    unsigned long size = 0;
    if (std::fscanf(file, "%lu", &size) != 1) size = 0;
    std::fclose(file);
    return size;
}
} // namespace

UnixDgramSocket::~UnixDgramSocket()
{
    // Clients make one socket per exchange: each one is closed, not left to the process's end.
    if (sockfd >= 0) ::close(sockfd);
    if (!sockname.empty()) ::unlink(sockname.c_str());
}

void UnixDgramSocket::setError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(error, sizeof error, format, args);
    va_end(args);
}

bool UnixDgramSocket::create(const char* name, int length)
{
    if (length > kMaxNameLength) {
        setError("%s socket name length exceeded the limit: %d chars\n", kPrefix, kMaxNameLength + 1);
        return false;
    }
    sockaddr_un address{};
    if (!qv::makeUnixAddress(name, address)) {
        setError("%s socket name length exceeded the limit: %d chars\n", kPrefix, kMaxNameLength + 1);
        return false;
    }
    sockname = name;
    ::unlink(name);
    sockfd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sockfd < 0) {
        setError("%s can't create socket (%s)\n", kPrefix, std::strerror(errno));
        return false;
    }
    if (::bind(sockfd, reinterpret_cast<sockaddr*>(&address), addressLength(sockname)) != 0) {
        setError("%s can't bind an address to the socket (%s)\n", kPrefix, std::strerror(errno));
        return false;
    }
    return true;
}

bool UnixDgramSocket::set_nonblocking_mode()
{
    const int flags = ::fcntl(sockfd, F_GETFL);
    if (flags < 0 || ::fcntl(sockfd, F_SETFL, flags | O_NONBLOCK) != 0) {
        setError("%s could not set unblocking mode (%s)\n", kPrefix, std::strerror(errno));
        return false;
    }
    return true;
}

bool UnixDgramSocket::send_to(const char* path, const void* data, unsigned length)
{
    const unsigned long limit = defaultSendBufferSize();
    if (limit != 0 && limit < length) {
        setError("%s message length exceeded the limit: %lu bytes\n", kPrefix, limit);
        return false;
    }
    sockaddr_un address{};
    if (std::strlen(path) > kMaxNameLength || !qv::makeUnixAddress(path, address)) {
        setError("%s could not send message (%s)\n", kPrefix, std::strerror(ENAMETOOLONG));
        return false;
    }
    if (::sendto(sockfd, data, length, 0, reinterpret_cast<sockaddr*>(&address), addressLength(path)) < 0) {
        setError("%s could not send message (%s)\n", kPrefix, std::strerror(errno));
        return false;
    }
    return true;
}

int UnixDgramSocket::recv_from(void* buffer, unsigned length)
{
    std::memset(buffer, 0, length);
    const int flags = ::fcntl(sockfd, F_GETFL);
    if (flags < 0) {
        setError("%s could not get socket status (%s)\n", kPrefix, std::strerror(errno));
        return 1;
    }
    const ssize_t n = ::recv(sockfd, buffer, length, 0);
    if (n < 0) {
        if ((flags & O_NONBLOCK) && (errno == EAGAIN || errno == EWOULDBLOCK)) return 2;
        setError("%s could not receive msg (%s)\n", kPrefix, std::strerror(errno));
        return 1;
    }
    received = static_cast<int>(n);
    return 0;
}

int UnixDgramSocket::wait_msg(int seconds, int microseconds, const sigset_t* waitMask)
{
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(sockfd, &readSet);
    const timespec timeout{seconds, static_cast<long>(microseconds) * 1000};
    const int ready = ::pselect(sockfd + 1, &readSet, nullptr, nullptr, &timeout, waitMask);
    if (ready <= 0) {
        setError("%s there's no msg to receive\n", kPrefix);
        return 1;
    }
    if (!FD_ISSET(sockfd, &readSet)) {
        setError("%s socket not in the read set\n", kPrefix);
        return 1;
    }
    return 0;
}
