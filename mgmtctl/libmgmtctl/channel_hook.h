// Test seam of the controller tunnel: the channel its next open uses, instead of the one the
// device node calls for (the real driver node or a stand-in's socket).
#pragma once

#include "device_channel.h"

#include <functional>
#include <memory>

namespace qv::mgmtctl {

using DeviceChannelFactory = std::function<std::unique_ptr<qv::devsock::DeviceChannel>()>;

// Every later open takes its channel from `factory`; an empty one restores the node's own choice.
// For tests and fuzz targets only.
void setDeviceChannelFactoryForTests(DeviceChannelFactory factory);

} // namespace qv::mgmtctl
