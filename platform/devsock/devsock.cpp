#include "devsock.h"

#include <algorithm>

#include "sandbox_path.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qv::devsock {
namespace {

template <typename Header>
std::vector<uint8_t> frame(const Header& header, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> message(sizeof header + data.size());
    std::memcpy(message.data(), &header, sizeof header);
    if (!data.empty()) std::memcpy(message.data() + sizeof header, data.data(), data.size());
    return message;
}

template <typename Header>
bool unframe(const uint8_t* message, size_t length, Header& header, std::vector<uint8_t>& data)
{
    if (message == nullptr || length < sizeof header) return false;
    std::memcpy(&header, message, sizeof header);
    if (header.magic != kMagic || header.dataLength != length - sizeof header) return false;
    data.assign(message + sizeof header, message + length);
    return true;
}

} // namespace

std::vector<uint8_t> encodeRequest(const Request& request)
{
    RequestHeader header{kMagic, request.op, request.code, request.outCapacity,
                         static_cast<uint32_t>(request.data.size())};
    return frame(header, request.data);
}

std::vector<uint8_t> encodeReply(const Reply& reply)
{
    ReplyHeader header{kMagic, reply.result, reply.error, static_cast<uint32_t>(reply.data.size())};
    return frame(header, reply.data);
}

bool decodeRequest(const uint8_t* message, size_t length, Request& request)
{
    RequestHeader header;
    if (!unframe(message, length, header, request.data)) return false;
    request.op = header.op;
    request.code = header.code;
    request.outCapacity = header.outCapacity;
    return true;
}

bool decodeReply(const uint8_t* message, size_t length, Reply& reply)
{
    ReplyHeader header;
    if (!unframe(message, length, header, reply.data)) return false;
    reply.result = header.result;
    reply.error = header.error;
    return true;
}

int listenUnix(const std::string& path, int type) {
    sockaddr_un address{};
    if (!qv::makeUnixAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    ::unlink(path.c_str());
    int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    ::chmod(path.c_str(), 0660);
    return fd;
}

bool sendWhole(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool isSocketNode(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

Connection::~Connection() { close(); }

void Connection::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int Connection::open(const std::string& path, uint32_t access)
{
    close();
    sockaddr_un address;
    if (!qv::makeUnixAddress(path, address)) return ENAMETOOLONG;
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        ::close(fd);
        return error == ECONNREFUSED ? ENXIO : error;
    }
    fd_ = fd;
    Reply reply;
    int error = roundTrip(Request{kOpen, access, 0, {}}, reply);
    if (error == 0 && reply.result != 0) error = reply.error != 0 ? reply.error : EIO;
    if (error != 0) close();
    return error;
}

int Connection::exchange(Op op, uint32_t code, const std::vector<uint8_t>& data, uint32_t outCapacity,
                         Reply& reply)
{
    if (fd_ < 0) return EBADF;
    return roundTrip(Request{op, code, outCapacity, data}, reply);
}

int Connection::roundTrip(const Request& request, Reply& reply)
{
    std::vector<uint8_t> message = encodeRequest(request);
    if (send(fd_, message.data(), message.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(message.size()))
        return errno != 0 ? errno : EIO;
    // Once the request is out, its reply leaves the socket even when a failed allocation cuts the
    // exchange short: left there, it would answer the next request.
    struct UnreadReply {
        int fd;
        bool taken = false;
        ~UnreadReply()
        {
            if (!taken) ::recv(fd, nullptr, 0, MSG_DONTWAIT | MSG_TRUNC);
        }
    } unread{fd_};
    pollfd waitFor{fd_, POLLIN, 0};
    int ready;
    do {
        ready = poll(&waitFor, 1, kReplyTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0) return errno;
    // The buffer takes the reply's own size: a buffer of the largest message, zeroed for every
    // exchange, cost more than the exchange itself.
    const ssize_t pending = recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    if (pending < 0) return errno;
    std::vector<uint8_t> buffer(std::clamp<size_t>(static_cast<size_t>(pending), 1, kMaxMessage));
    ssize_t received = recv(fd_, buffer.data(), buffer.size(), MSG_TRUNC);
    unread.taken = true;
    if (received <= 0) return received == 0 ? ECONNRESET : errno;
    if (static_cast<size_t>(received) > buffer.size()) return EMSGSIZE;
    return decodeReply(buffer.data(), static_cast<size_t>(received), reply) ? 0 : EIO;
}

} // namespace qv::devsock
