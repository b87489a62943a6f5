// The only unit that touches the controller device. /dev/mmcdev is either the real driver node,
// reached through its ioctls, or a socket served by a stand-in, reached with one framed message
// per driver request (payload rules in mmcdev_payload.h).
#include "mgmtctl.h"
#include "driver_records.h"

#include "devsock.h"
#include "mmcdev_payload.h"
#include "sandbox_path.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

namespace mmcdev = qv::devsock::mmcdev;
using qv::mgmtctl::KERNEL_VERSION;
using qv::mgmtctl::SEND_RCV;

int nDriverFD = -1;
qv::devsock::Connection g_standIn;

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

// The driver takes 32-bit buffer addresses; a buffer it cannot address is never handed over.
std::optional<uint32_t> driverAddress(const void* buffer)
{
    auto value = reinterpret_cast<uintptr_t>(buffer);
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

uint16_t retcodeOf(const std::vector<uint8_t>& data)
{
    return static_cast<uint16_t>(data[0] | data[1] << 8);
}

// One request to the stand-in. Returns false for anything a real ioctl would have failed on,
// including a reply too short to hold what the request promises.
bool standInRequest(uint32_t code, std::vector<uint8_t> data, uint32_t outCapacity,
                    size_t minimumReply, qv::devsock::Reply& reply)
{
    if (g_standIn.exchange(code, data, outCapacity, reply) != 0) return false;
    return reply.result == 0 && reply.data.size() >= minimumReply;
}

int driverIoctl(unsigned long request, void* block)
{
    if (nDriverFD < 0) return -1;
    return ioctl(nDriverFD, request, block);
}

int ioctlResult(int rc, uint16_t retcode) { return rc < 0 ? int{MMC_DRIVER_FAILURE} : retcode; }

void closeAny()
{
    g_standIn.close();
    if (nDriverFD >= 0) {
        close(nDriverFD);
        nDriverFD = -1;
    }
}

} // namespace

extern "C" int TunnelOpenDriver(void)
{
    closeAny();  // one descriptor per process: a second open must not leak the first
    std::string path = qv::sandboxPath(mmcdev::kDevicePath);
    if (qv::devsock::isSocketNode(path)) return openResult(g_standIn.open(path));
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return openResult(errno);
    nDriverFD = fd;
    return 0;
}

extern "C" int TunnelCloseDriver(void)
{
    if (g_standIn.isOpen()) {
        g_standIn.close();
        return 0;
    }
    int fd = nDriverFD;
    nDriverFD = -1;
    return close(fd) == 0 ? 0 : MMC_DRIVER_FAILURE;
}

extern "C" int TunnelSendReceive(unsigned char* input, int ilen, unsigned char* output, int* olen)
{
    if (olen == nullptr || ilen < 0 || *olen < 0 || (ilen > 0 && input == nullptr))
        return MMC_BAD_PARAMETERS;
    if (ilen > kLargestDriverCount) return MMC_BAD_DATA;
    const int offered = std::min(*olen, kLargestDriverCount);
    if (offered > 0 && output == nullptr) return MMC_BAD_PARAMETERS;

    if (g_standIn.isOpen()) {
        qv::devsock::Reply reply;
        if (!standInRequest(mmcdev::kSendReceive, std::vector<uint8_t>(input, input + ilen),
                            static_cast<uint32_t>(offered), mmcdev::kRetcodeBytes, reply)) {
            *olen = offered;
            return MMC_DRIVER_FAILURE;
        }
        // Copy no more than was offered, but report the true length so the caller can tell.
        const size_t answerLength = reply.data.size() - mmcdev::kRetcodeBytes;
        std::copy_n(reply.data.begin() + mmcdev::kRetcodeBytes,
                    std::min(answerLength, static_cast<size_t>(offered)), output);
        *olen = static_cast<int>(std::min<size_t>(answerLength, INT32_MAX));
        return retcodeOf(reply.data);
    }

    auto inputAddress = driverAddress(input);
    auto outputAddress = driverAddress(output);
    if (!inputAddress || !outputAddress) {
        *olen = offered;
        return MMC_DRIVER_FAILURE;
    }
    SEND_RCV block{};
    block.input = *inputAddress;
    block.output = *outputAddress;
    block.ilen = static_cast<uint8_t>(ilen);
    block.olen = static_cast<uint8_t>(offered);
    int rc = driverIoctl(mmcdev::kSendReceive, &block);
    *olen = std::min<int>(block.olen, offered);
    return ioctlResult(rc, block.retcode);
}

extern "C" int TunnelGetVersionNumber(char* oem_name, char* version_letter,
                                      unsigned char* version_major, unsigned char* version_minor)
{
    KERNEL_VERSION block{};
    if (g_standIn.isOpen()) {
        qv::devsock::Reply reply;
        if (!standInRequest(mmcdev::kDriverVersion, {}, sizeof block, sizeof block, reply))
            return MMC_DRIVER_FAILURE;
        std::memcpy(&block, reply.data.data(), sizeof block);
    } else if (driverIoctl(mmcdev::kDriverVersion, &block) < 0) {
        return MMC_DRIVER_FAILURE;
    }
    if (oem_name) {
        // The driver's name may lack its terminator.
        size_t length = strnlen(block.oem_name, qv::mgmtctl::kOemNameChars);
        std::memcpy(oem_name, block.oem_name, length);
        oem_name[length] = '\0';
    }
    if (version_letter) *version_letter = block.version_letter;
    if (version_major) *version_major = block.version_major;
    if (version_minor) *version_minor = block.version_minor;
    return block.retcode;
}

extern "C" int TunnelReadPort(int port, unsigned char* data)
{
    if (port < 1 || port > 3 || data == nullptr) return MMC_DRIVER_FAILURE;
    const uint32_t request = mmcdev::kReadPort1 + static_cast<uint32_t>(port - 1);
    if (g_standIn.isOpen()) {
        qv::devsock::Reply reply;
        if (!standInRequest(request, {}, 1, mmcdev::kRetcodeBytes + 1, reply))
            return MMC_DRIVER_FAILURE;
        *data = reply.data[mmcdev::kRetcodeBytes];
        return retcodeOf(reply.data);
    }
    auto address = driverAddress(data);
    if (!address) return MMC_DRIVER_FAILURE;
    SEND_RCV block{};
    block.output = *address;
    block.olen = 1;
    return ioctlResult(driverIoctl(request, &block), block.retcode);
}

extern "C" int TunnelWritePort(int port, int data)
{
    if (port < 1 || port > 3) return MMC_DRIVER_FAILURE;
    const uint32_t request = mmcdev::kWritePort1 + static_cast<uint32_t>(port - 1);
    uint8_t byte = static_cast<uint8_t>(data);
    if (g_standIn.isOpen()) {
        qv::devsock::Reply reply;
        if (!standInRequest(request, {byte}, 0, mmcdev::kRetcodeBytes, reply))
            return MMC_DRIVER_FAILURE;
        return retcodeOf(reply.data);
    }
    auto address = driverAddress(&byte);
    if (!address) return MMC_DRIVER_FAILURE;
    SEND_RCV block{};
    block.input = *address;
    block.ilen = 1;
    return ioctlResult(driverIoctl(request, &block), block.retcode);
}
