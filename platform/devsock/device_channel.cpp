#include "device_channel.h"

#include "devsock.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qv::devsock {

bool splitStatusAndData(const std::vector<uint8_t>& answer, uint32_t statusLength,
                        ChannelReply& reply)
{
    if (answer.size() < statusLength) return false;
    reply.status.assign(answer.begin(), answer.begin() + statusLength);
    reply.dataIn.assign(answer.begin() + statusLength, answer.end());
    return true;
}

// ---- the driver's node ----

NodeChannel::~NodeChannel() { close(); }

int NodeChannel::open(const std::string& path, OpenAccess access)
{
    close();
    const int mode = access == OpenAccess::ReadOnly ? O_RDONLY : access == OpenAccess::WriteOnly ? O_WRONLY : O_RDWR;
    int fd = ::open(path.c_str(), mode | O_CLOEXEC);
    if (fd < 0) return errno;
    // A regular file answers the generic file ioctls, whose numbers the drivers' plain request
    // numbers share (1 and 2 map blocks): it would seem to take requests it never understood.
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode)) {
        ::close(fd);
        return ENODEV;
    }
    fd_ = fd;
    return 0;
}

int NodeChannel::exchange(const ChannelRequest& request, ChannelReply& reply)
{
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    if (request.kind == RequestKind::Write) {
        const ssize_t n = ::write(fd, request.dataOut.data(), request.dataOut.size());
        if (n < 0) return errno;
        return static_cast<size_t>(n) == request.dataOut.size() ? 0 : EIO;
    }
    if (request.kind == RequestKind::Read) {
        reply = ChannelReply{};
        reply.dataIn.resize(request.dataInCapacity);
        const ssize_t n = ::read(fd, reply.dataIn.data(), reply.dataIn.size());
        if (n < 0) return errno;
        reply.dataIn.resize(static_cast<size_t>(n));
        return 0;
    }
    return codec_.issue(request, reply, [fd](unsigned long code, void* block) {
        return ::ioctl(fd, code, block);
    });
}

int NodeChannel::close()
{
    if (fd_ < 0) return 0;
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

// ---- a stand-in's socket ----

SocketChannel::SocketChannel() : connection_(std::make_unique<Connection>()) {}

SocketChannel::~SocketChannel() = default;

int SocketChannel::open(const std::string& path, OpenAccess access)
{
    const uint32_t asked = access == OpenAccess::ReadOnly ? kOpenRead
                           : access == OpenAccess::WriteOnly ? kOpenWrite
                                                             : kOpenRead | kOpenWrite;
    return connection_->open(path, asked);
}

int SocketChannel::exchange(const ChannelRequest& request, ChannelReply& reply)
{
    Reply answer;
    const Op op = request.kind == RequestKind::Write ? kWrite
                  : request.kind == RequestKind::Read ? kRead
                                                      : kIoctl;
    if (int error = connection_->exchange(op, request.code, request.dataOut, request.dataInCapacity,
                                          answer);
        error != 0)
        return error;
    if (answer.result != 0) return answer.error != 0 ? answer.error : EIO;
    return splitStatusAndData(answer.data, request.statusLength, reply) ? 0 : EIO;
}

int SocketChannel::close()
{
    connection_->close();
    return 0;
}

// ---- scripted ----

int ScriptedChannel::open(const std::string&, OpenAccess)
{
    open_ = openError_ == 0;
    return openError_;
}

int ScriptedChannel::exchange(const ChannelRequest& request, ChannelReply& reply)
{
    if (!open_) return EBADF;
    reply = ChannelReply{};
    int error = responder_(request, reply);
    // A status block of the wrong size is as malformed as on any other channel.
    if (error == 0 && reply.status.size() != request.statusLength) return EIO;
    return error;
}

int ScriptedChannel::close()
{
    open_ = false;
    return 0;
}

std::unique_ptr<DeviceChannel> channelForNode(const std::string& path, const NodeRequestCodec& codec)
{
    if (isSocketNode(path)) return std::make_unique<SocketChannel>();
    return std::make_unique<NodeChannel>(codec);
}

} // namespace qv::devsock
