#include "megaraid_node_codec.h"

#include "megaraid_payload.h"

#include <cerrno>
#include <cstring>

namespace qv::devsock::megaraid {

int NodeCodec::issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const {
    if ((request.code != kManagement && request.code != kShortForm) || request.statusLength != kStatusBytes ||
        request.dataOut.empty() || request.dataInCapacity < request.dataOut.size())
        return EINVAL;
    std::vector<uint8_t> buffer(request.dataInCapacity, 0);
    std::memcpy(buffer.data(), request.dataOut.data(), request.dataOut.size());
    const int result = ioctl(request.code, buffer.data());
    if (result < 0)
        return errno != 0 ? errno : EIO;
    reply.status.resize(kStatusBytes);
    const int32_t value = result;
    std::memcpy(reply.status.data(), &value, sizeof value);
    reply.dataIn = std::move(buffer);
    return 0;
}

} // namespace qv::devsock::megaraid
