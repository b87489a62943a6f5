#include "mmcdev_node_codec.h"

#include "mmcdev_driver_blocks.h"
#include "mmcdev_payload.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/mman.h>

namespace qv::devsock::mmcdev {
namespace {

constexpr uint32_t kLargestDriverCount = 255;  // ilen and olen are single bytes

// The driver takes 32-bit buffer addresses; a buffer it cannot address is never handed over.
std::optional<uint32_t> driverAddress(const void* buffer)
{
    auto value = reinterpret_cast<uintptr_t>(buffer);
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

int failedIoctl() { return errno != 0 ? errno : EIO; }

// The request and answer bytes of one SEND_RCV, in memory the driver's 32-bit addresses reach
// (the heap of a 64-bit process usually lies above 4 GiB).
class LowBuffers {
public:
    static constexpr size_t kSize = 2 * kLargestDriverCount;
    LowBuffers()
    {
        void* memory = mmap(nullptr, kSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (memory != MAP_FAILED) bytes_ = static_cast<uint8_t*>(memory);
    }
    ~LowBuffers()
    {
        if (bytes_) munmap(bytes_, kSize);
    }
    LowBuffers(const LowBuffers&) = delete;
    LowBuffers& operator=(const LowBuffers&) = delete;
    uint8_t* input() const { return bytes_; }
    uint8_t* output() const { return bytes_ ? bytes_ + kLargestDriverCount : nullptr; }

private:
    uint8_t* bytes_ = nullptr;
};

void putRetcode(uint16_t retcode, ChannelReply& reply)
{
    reply.status = {static_cast<uint8_t>(retcode), static_cast<uint8_t>(retcode >> 8)};
}

} // namespace

int NodeCodec::issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const
{
    if (request.statusLength != kRetcodeBytes) return EINVAL;
    if (request.code == kDriverVersion) {
        KERNEL_VERSION block{};
        if (ioctl(kDriverVersion, &block) < 0) return failedIoctl();
        const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
        putRetcode(block.retcode, reply);
        reply.dataIn.assign(bytes + kRetcodeBytes, bytes + sizeof block);
        return 0;
    }

    if (request.dataOut.size() > kLargestDriverCount || request.dataInCapacity > kLargestDriverCount)
        return EINVAL;
    LowBuffers buffers;
    auto inputAddress = driverAddress(buffers.input());
    auto outputAddress = driverAddress(buffers.output());
    if (!buffers.input()) return ENOMEM;
    if (!inputAddress || !outputAddress) return EFAULT;
    std::copy(request.dataOut.begin(), request.dataOut.end(), buffers.input());
    SEND_RCV block{};
    block.input = request.dataOut.empty() ? 0 : *inputAddress;
    block.ilen = static_cast<uint8_t>(request.dataOut.size());
    block.output = request.dataInCapacity == 0 ? 0 : *outputAddress;
    block.olen = static_cast<uint8_t>(request.dataInCapacity);
    if (ioctl(request.code, &block) < 0) return failedIoctl();
    putRetcode(block.retcode, reply);
    // Never more than the buffer the driver was given, whatever count it writes back.
    const size_t written = std::min<size_t>(block.olen, request.dataInCapacity);
    reply.dataIn.assign(buffers.output(), buffers.output() + written);
    return 0;
}

} // namespace qv::devsock::mmcdev
