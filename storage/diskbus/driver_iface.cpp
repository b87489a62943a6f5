#include "driver_iface.h"

#include "diskbus_types.h"

#include <sandbox_path.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
DiskbusChannelFactory& channelFactory() {
    static DiskbusChannelFactory factory;
    return factory;
}
} // namespace

void SetDiskbusChannelFactoryForTests(DiskbusChannelFactory factory) { channelFactory() = std::move(factory); }

CDriverIFace::CDriverIFace(const qv::devsock::NodeRequestCodec& codec) : codec_(codec) {}

CDriverIFace::~CDriverIFace() { Close(); }

uint32_t CDriverIFace::Open(const char* path, int mode) {
    Close();
    std::strncpy(szDriver, path, sizeof szDriver - 1);
    szDriver[sizeof szDriver - 1] = '\0';
    auto channel = channelFactory() ? channelFactory()(path) : qv::devsock::channelForNode(qv::sandboxPath(path), codec_);
    const qv::devsock::OpenAccess access = mode == kDriverOpenReadOnly    ? qv::devsock::OpenAccess::ReadOnly
                                           : mode == kDriverOpenWriteOnly ? qv::devsock::OpenAccess::WriteOnly
                                                                          : qv::devsock::OpenAccess::ReadWrite;
    if (int error = channel->open(qv::sandboxPath(path), access); error != 0)
        return static_cast<uint32_t>(error);
    channel_ = std::move(channel);
    return 0;
}

uint32_t CDriverIFace::Close() {
    if (!channel_)
        return 0;
    const int error = channel_->close();
    channel_.reset();
    return static_cast<uint32_t>(error);
}

uint32_t CDriverIFace::Exchange(const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
    if (!channel_)
        return ERR_DEVICE_NOT_FOUND;
    return static_cast<uint32_t>(channel_->exchange(request, reply));
}

namespace {
// The driver status of a 2.2 request header: bits 14-21 of its fifth 32-bit word.
uint32_t driverStatus22(const uint8_t* header) {
    uint32_t word;
    std::memcpy(&word, header + 16, sizeof word);
    return (word >> 14) & 0xFF;
}
constexpr uint32_t kHeader22 = 36;
} // namespace

uint32_t CDriverIFace::WriteRead(uint8_t* buffer, uint32_t inLength, uint32_t outLength) {
    if (!channel_)
        return ERR_DEVICE_NOT_FOUND;
    if (inLength < kHeader22 || outLength < kHeader22)
        return EINVAL;
    qv::devsock::ChannelRequest write;
    write.kind = qv::devsock::RequestKind::Write;
    write.dataOut.assign(buffer, buffer + inLength);
    qv::devsock::ChannelReply reply;
    if (int error = channel_->exchange(write, reply); error != 0)
        return static_cast<uint32_t>(error);
    if (uint32_t status = driverStatus22(buffer); status != 0)
        return status;
    qv::devsock::ChannelRequest read;
    read.kind = qv::devsock::RequestKind::Read;
    read.dataInCapacity = outLength;
    if (int error = channel_->exchange(read, reply); error != 0)
        return static_cast<uint32_t>(error);
    if (reply.dataIn.size() < kHeader22)
        return EIO;
    const size_t n = std::min<size_t>(reply.dataIn.size(), outLength);
    std::memcpy(buffer, reply.dataIn.data(), n);
    return driverStatus22(buffer);
}
