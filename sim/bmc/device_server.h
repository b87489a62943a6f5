// Serves the controller's sockets: the controller device node (SOCK_SEQPACKET, devsock framing)
// and, optionally, the stream socket of ipmitool's dummy interface.
#pragma once

#include "simulator_state.h"

#include <node_server.h>

#include <string>

namespace qv::sim {

class DeviceServer {
public:
    explicit DeviceServer(SimulatorState& state) : state_(state) {}
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Paths already resolved; an empty dummy path serves no dummy socket. Throws on failure.
    void start(const std::string& devicePath, const std::string& dummyPath);
    void stop() { server_.stop(); }
    bool running() const { return server_.running(); }

private:
    SimulatorState& state_;
    NodeServer server_;
};

} // namespace qv::sim
