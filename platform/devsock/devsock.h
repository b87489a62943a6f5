// Framing of a device node served as a Unix SOCK_SEQPACKET socket.
//
// On a machine without the server hardware, a device node the suite opens (/dev/mmcdev, /dev/sg<n>,
// /dev/megadev0) can be a socket served by a stand-in process. The one unit of the suite that talks
// to such a device opens the node; when the node is a socket it connects instead and sends each
// driver request as one message. All data travels inline: no pointer ever crosses the socket.
//
// Request message:  RequestHeader, then dataLength bytes.
// Reply message:    ReplyHeader, then dataLength bytes.
//
// Operations:
//   kOpen   sent once after connecting; `code` is the access asked (kOpenRead, kOpenWrite or both);
//           result 0 = opened, else -1 with `error` set to the errno a real open would give
//           (EBUSY: device in use, ENODEV/ENXIO: no device, EROFS: the medium cannot be written).
//   kIoctl  one driver request; `code` is the request number, `outCapacity` the size of the
//           caller's answer buffer. The reply's result/error are what ioctl() would return; its
//           data are the request's answer. The stand-in sends the true answer even when it is longer
//           than outCapacity: the client copies at most the capacity and knows the true length.
//   kWrite  a write() of the node: data are the bytes written; the reply has no data.
//   kRead   a read() of the node of at most outCapacity bytes: the reply's data are the bytes read.
//
// Payload per device kind is documented by that device's client unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::devsock {

constexpr uint32_t kMagic = 0x53445651; // "QVDS" in memory order
constexpr size_t kMaxMessage = 1 << 20;  // largest message either side accepts
constexpr int kReplyTimeoutMs = 10000;    // a stand-in that does not answer is a failed request

enum Op : uint32_t { kOpen = 1, kIoctl = 2, kWrite = 3, kRead = 4 };
// The access a kOpen asks for, as bits of its code.
enum OpenAccessBits : uint32_t { kOpenRead = 1, kOpenWrite = 2 };

#pragma pack(push, 1)
struct RequestHeader {
    uint32_t magic;
    uint32_t op;
    uint32_t code;
    uint32_t outCapacity;
    uint32_t dataLength;
};
struct ReplyHeader {
    uint32_t magic;
    int32_t result;
    int32_t error;
    uint32_t dataLength;
};
#pragma pack(pop)
static_assert(sizeof(RequestHeader) == 20);
static_assert(sizeof(ReplyHeader) == 16);

struct Request {
    uint32_t op = 0;
    uint32_t code = 0;
    uint32_t outCapacity = 0;
    std::vector<uint8_t> data;
};

struct Reply {
    int32_t result = 0;
    int32_t error = 0;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> encodeRequest(const Request& request);
std::vector<uint8_t> encodeReply(const Reply& reply);
// Both decoders check the magic and that the stated length matches the message exactly.
bool decodeRequest(const uint8_t* message, size_t length, Request& request);
bool decodeReply(const uint8_t* message, size_t length, Reply& reply);

// True when `path` (already resolved below the sandbox root) names a Unix socket.
bool isSocketNode(const std::string& path);

// Server side, used by stand-ins. A listening Unix socket of `type` at `path` (a node already
// there is replaced), mode 0660; -1 with errno set on failure.
int listenUnix(const std::string& path, int type);
// Sends all of `bytes`; false when the peer is gone.
bool sendWhole(int fd, const std::vector<uint8_t>& bytes);

// Client side, used by the device's client unit.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and performs kOpen for `access` (kOpenRead and/or kOpenWrite). Returns 0, or the
    // errno of the failed connect or of the open the stand-in refused (EBUSY, ENODEV, ...).
    int open(const std::string& path, uint32_t access = kOpenRead | kOpenWrite);
    // One exchange of `op` (kIoctl, kWrite or kRead). Returns 0 when a reply arrived (its result/error are in `reply`), or an
    // errno for a transport failure (EIO for a malformed reply, ETIMEDOUT when none came in time).
    int exchange(Op op, uint32_t code, const std::vector<uint8_t>& data, uint32_t outCapacity, Reply& reply);
    int exchange(uint32_t code, const std::vector<uint8_t>& data, uint32_t outCapacity, Reply& reply) {
        return exchange(kIoctl, code, data, outCapacity, reply);
    }
    void close();
    bool isOpen() const { return fd_ >= 0; }

private:
    int roundTrip(const Request& request, Reply& reply);
    int fd_ = -1;
};

} // namespace qv::devsock
