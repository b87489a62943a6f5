// One channel to a device node, whatever stands behind it.
//
// A device the suite drives through its driver (the management controller now, SCSI generic
// devices later) is reached through one DeviceChannel object, chosen once when the device is
// opened:
//   NodeChannel      the real device node, one ioctl per request; a NodeRequestCodec builds the
//                    driver's own request block (with its buffer pointers) around the buffers.
//                    A regular file in the node's place is no device (ENODEV).
//   SocketChannel    a node that is a socket served by a stand-in: one framed message per request
//                    (devsock.h), all data inline.
//   ScriptedChannel  answers from a function: unit tests and fuzz targets.
// The device's client unit holds the object and never asks which kind it has.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::devsock {

// What a request does on the node: a driver request (ioctl), or a plain write or read of the
// node (the older SCSI generic interface takes its commands that way).
enum class RequestKind : uint8_t { Driver, Write, Read };

// One driver request. Data travels by value in both directions; no pointer leaves the process.
// A Write carries dataOut and takes nothing back; a Read takes up to dataInCapacity bytes back in
// dataIn. Neither has a status block.
struct ChannelRequest {
    uint32_t code = 0;              // the driver's request number
    std::vector<uint8_t> dataOut;   // bytes the request carries to the device (command block first)
    uint32_t dataInCapacity = 0;    // bytes the caller can take back
    uint32_t statusLength = 0;      // size of the status block the driver writes back
    RequestKind kind = RequestKind::Driver;
};

struct ChannelReply {
    std::vector<uint8_t> status;    // exactly statusLength bytes (driver return code, sense, ...)
    // What the device returned. A stand-in may send more than dataInCapacity to tell the true
    // length; callers copy at most their capacity.
    std::vector<uint8_t> dataIn;
};

// What the opener means to do with a node: it is opened for that and no more, so a node that
// cannot be written (a read-only medium) still opens for reading.
enum class OpenAccess : uint8_t { ReadOnly, WriteOnly, ReadWrite };

class DeviceChannel {
public:
    virtual ~DeviceChannel() = default;
    // 0, or the errno a real open gives (EBUSY: in use, ENODEV/ENXIO: no device, EROFS: a
    // medium that cannot be written, ...).
    virtual int open(const std::string& path, OpenAccess access) = 0;
    // A driver's node takes requests both ways.
    int open(const std::string& path) { return open(path, OpenAccess::ReadWrite); }
    // 0 when the driver took the request and `reply` holds its answer; else the errno of the
    // failed request (EBADF when the channel is not open, EIO for a malformed answer).
    virtual int exchange(const ChannelRequest& request, ChannelReply& reply) = 0;
    // 0, or the errno of a failed close. The channel is closed either way.
    virtual int close() = 0;
};

// Splits an answer laid out as "status block, then data in" (the stand-in socket's payload);
// false when the answer is shorter than the status block.
bool splitStatusAndData(const std::vector<uint8_t>& answer, uint32_t statusLength,
                        ChannelReply& reply);

// Builds one driver's native request block for a ChannelRequest, issues it through `ioctl`, and
// reads the answer back out of it. Kept apart from the descriptor so that the marshalling can be
// tested without the driver.
class NodeRequestCodec {
public:
    // Issues `request` (the driver's request number) with `block`; returns ioctl's result, -1
    // with errno set on failure.
    using Ioctl = std::function<int(unsigned long request, void* block)>;
    virtual ~NodeRequestCodec() = default;
    // 0, or an errno (that of the failed ioctl, or EFAULT for buffers the driver cannot address).
    virtual int issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const = 0;
};

class NodeChannel final : public DeviceChannel {
public:
    explicit NodeChannel(const NodeRequestCodec& codec) : codec_(codec) {}
    ~NodeChannel() override;
    using DeviceChannel::open;
    int open(const std::string& path, OpenAccess access) override;
    int exchange(const ChannelRequest& request, ChannelReply& reply) override;
    int close() override;

private:
    const NodeRequestCodec& codec_;
    int fd_ = -1;
};

class Connection;

class SocketChannel final : public DeviceChannel {
public:
    SocketChannel();
    ~SocketChannel() override;
    using DeviceChannel::open;
    int open(const std::string& path, OpenAccess access) override;
    int exchange(const ChannelRequest& request, ChannelReply& reply) override;
    int close() override;

private:
    std::unique_ptr<Connection> connection_;
};

class ScriptedChannel final : public DeviceChannel {
public:
    // Answers one request: 0 and `reply`, or an errno as a failed ioctl would give.
    using Responder = std::function<int(const ChannelRequest& request, ChannelReply& reply)>;
    explicit ScriptedChannel(Responder responder, int openError = 0)
        : responder_(std::move(responder)), openError_(openError) {}
    using DeviceChannel::open;
    int open(const std::string& path, OpenAccess access) override;
    int exchange(const ChannelRequest& request, ChannelReply& reply) override;
    int close() override;

private:
    Responder responder_;
    int openError_;
    bool open_ = false;
};

// The channel for a node at `path` (already resolved below the sandbox root): a socket means a
// stand-in, anything else the driver's node. The channel is returned unopened.
std::unique_ptr<DeviceChannel> channelForNode(const std::string& path, const NodeRequestCodec& codec);

} // namespace qv::devsock
