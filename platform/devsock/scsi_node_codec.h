// The SCSI generic driver's request blocks for a channel to a real /dev/sg<n> node. Requests
// and answers have the layout the stand-in's socket carries (scsi_payload.h); here the driver's
// own header is built around local buffers and read back.
#pragma once

#include "device_channel.h"

namespace qv::devsock::scsi {

class NodeCodec final : public NodeRequestCodec {
public:
    int issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const override;
};

} // namespace qv::devsock::scsi
