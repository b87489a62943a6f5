// The RAID controller driver's management requests on a real node: the command buffer is handed
// to the driver in place and comes back with its reply fields (megaraid_payload.h).
#pragma once

#include "device_channel.h"

namespace qv::devsock::megaraid {

class NodeCodec final : public NodeRequestCodec {
public:
    int issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const override;
};

} // namespace qv::devsock::megaraid
