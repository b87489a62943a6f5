// Serves every simulated generic SCSI node /dev/sg<n> below the sandbox root as a
// SOCK_SEQPACKET socket (devsock framing), answering from a shared ScsiBus.
#pragma once

#include "scsi_bus.h"

#include <node_server.h>

namespace qv::sim::scsi {

class ScsiDeviceServer {
public:
    explicit ScsiDeviceServer(ScsiBus& bus) : bus_(bus) {}

    // Creates the nodes of the bus's targets. Throws on failure.
    void start();
    void stop() { server_.stop(); }

private:
    ScsiBus& bus_;
    NodeServer server_;
};

} // namespace qv::sim::scsi
