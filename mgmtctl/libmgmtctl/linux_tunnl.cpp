// The only unit that touches the controller device. The process holds at most one channel to
// /dev/mmcdev, chosen when the device is opened (device_channel.h); every driver request goes
// through it the same way, with the driver's retcode as the status block.
#include "mgmtctl.h"
#include "channel_hook.h"

#include "library_boundary.h"
#include "mmcdev_driver_blocks.h"
#include "mmcdev_node_codec.h"
#include "mmcdev_payload.h"
#include "sandbox_path.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

namespace mmcdev = qv::devsock::mmcdev;
using qv::devsock::ChannelReply;
using qv::devsock::ChannelRequest;

std::unique_ptr<qv::devsock::DeviceChannel> g_channel;
qv::mgmtctl::DeviceChannelFactory g_factoryForTests;

constexpr int kLargestDriverCount = 255;  // ilen and olen are single bytes in SEND_RCV

int openResult(int error)
{
    switch (error) {
    case 0: return 0;
    case EBUSY: return MMC_DEVICE_BUSY;
    case ENODEV: return MMC_NO_HARDWARE;
    default: return MMC_DRIVER_FAILURE;
    }
}

// One driver request. False for anything the driver would have failed on: the device not open,
// a failed request, or an answer shorter than `minimumData`.
bool driverRequest(uint32_t code, std::vector<uint8_t> dataOut, uint32_t capacity,
                   size_t minimumData, ChannelReply& reply)
{
    if (!g_channel) return false;
    ChannelRequest request{code, std::move(dataOut), capacity, mmcdev::kRetcodeBytes};
    return g_channel->exchange(request, reply) == 0 && reply.dataIn.size() >= minimumData;
}

int retcodeOf(const ChannelReply& reply)
{
    return static_cast<uint16_t>(reply.status[0] | reply.status[1] << 8);
}

const qv::devsock::NodeRequestCodec& nodeCodec()
{
    static const mmcdev::NodeCodec codec;
    return codec;
}

} // namespace

namespace qv::mgmtctl {
void setDeviceChannelFactoryForTests(DeviceChannelFactory factory)
{
    g_factoryForTests = std::move(factory);
}
} // namespace qv::mgmtctl

extern "C" int TunnelOpenDriver(void)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        g_channel.reset();  // one channel per process: a second open must not leak the first
        std::string path = qv::sandboxPath(mmcdev::kDevicePath);
        auto channel = g_factoryForTests ? g_factoryForTests()
                                         : qv::devsock::channelForNode(path, nodeCodec());
        if (int error = channel->open(path); error != 0) return openResult(error);
        g_channel = std::move(channel);
        return 0;
    });
}

extern "C" int TunnelCloseDriver(void)
{
    if (!g_channel) return MMC_DRIVER_FAILURE;  // as close() of no descriptor
    auto channel = std::move(g_channel);
    return channel->close() == 0 ? 0 : MMC_DRIVER_FAILURE;
}

extern "C" int TunnelSendReceive(unsigned char* input, int ilen, unsigned char* output, int* olen)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (olen == nullptr || ilen < 0 || *olen < 0 || (ilen > 0 && input == nullptr))
            return MMC_BAD_PARAMETERS;
        if (ilen > kLargestDriverCount) return MMC_BAD_DATA;
        const int offered = std::min(*olen, kLargestDriverCount);
        if (offered > 0 && output == nullptr) return MMC_BAD_PARAMETERS;

        ChannelReply reply;
        if (!driverRequest(mmcdev::kSendReceive, std::vector<uint8_t>(input, input + ilen),
                           static_cast<uint32_t>(offered), 0, reply)) {
            *olen = offered;
            return MMC_DRIVER_FAILURE;
        }
        // Copy no more than was offered, but report the true length so the caller can tell.
        std::copy_n(reply.dataIn.begin(), std::min(reply.dataIn.size(), static_cast<size_t>(offered)),
                    output);
        *olen = static_cast<int>(std::min<size_t>(reply.dataIn.size(), INT_MAX));
        return retcodeOf(reply);
    });
}

extern "C" int TunnelGetVersionNumber(char* oem_name, char* version_letter,
                                      unsigned char* version_major, unsigned char* version_minor)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        mmcdev::KERNEL_VERSION block{};
        constexpr size_t kAfterRetcode = sizeof block - mmcdev::kRetcodeBytes;
        ChannelReply reply;
        if (!driverRequest(mmcdev::kDriverVersion, {}, kAfterRetcode, kAfterRetcode, reply))
            return MMC_DRIVER_FAILURE;
        auto* bytes = reinterpret_cast<uint8_t*>(&block);
        std::copy_n(reply.status.begin(), mmcdev::kRetcodeBytes, bytes);
        std::copy_n(reply.dataIn.begin(), kAfterRetcode, bytes + mmcdev::kRetcodeBytes);
        if (oem_name) {
            // The driver's name may lack its terminator.
            size_t length = strnlen(block.oem_name, mmcdev::kOemNameChars);
            std::memcpy(oem_name, block.oem_name, length);
            oem_name[length] = '\0';
        }
        if (version_letter) *version_letter = block.version_letter;
        if (version_major) *version_major = block.version_major;
        if (version_minor) *version_minor = block.version_minor;
        return block.retcode;
    });
}

extern "C" int TunnelReadPort(int port, unsigned char* data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (port < 1 || port > 3 || data == nullptr) return MMC_DRIVER_FAILURE;
        const uint32_t request = mmcdev::kReadPort1 + static_cast<uint32_t>(port - 1);
        ChannelReply reply;
        if (!driverRequest(request, {}, 1, 1, reply)) return MMC_DRIVER_FAILURE;
        *data = reply.dataIn[0];
        return retcodeOf(reply);
    });
}

extern "C" int TunnelWritePort(int port, int data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (port < 1 || port > 3) return MMC_DRIVER_FAILURE;
        const uint32_t request = mmcdev::kWritePort1 + static_cast<uint32_t>(port - 1);
        ChannelReply reply;
        if (!driverRequest(request, {static_cast<uint8_t>(data)}, 0, 0, reply)) return MMC_DRIVER_FAILURE;
        return retcodeOf(reply);
    });
}
