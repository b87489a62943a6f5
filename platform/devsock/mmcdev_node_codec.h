// The controller driver's request blocks for a channel to the real /dev/mmcdev node.
//
// Every request answers a 2-byte status block, the driver's retcode (little-endian), as the
// stand-in's socket does (mmcdev_payload.h):
//   2 (version)   data in: the 10 bytes of KERNEL_VERSION after its retcode
//   any other     a SEND_RCV block: data out as input/ilen, data in as output/olen
#pragma once

#include "device_channel.h"

namespace qv::devsock::mmcdev {

class NodeCodec final : public NodeRequestCodec {
public:
    int issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const override;
};

} // namespace qv::devsock::mmcdev
