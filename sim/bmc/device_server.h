// Serves the simulator's sockets on one thread: the controller device node (SOCK_SEQPACKET,
// devsock framing) and, optionally, the stream socket of ipmitool's dummy interface.
#pragma once

#include "simulator_state.h"

#include <atomic>
#include <string>
#include <thread>

namespace qv::sim {

class DeviceServer {
public:
    explicit DeviceServer(SimulatorState& state) : state_(state) {}
    ~DeviceServer() { stop(); }
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Paths already resolved; an empty dummy path serves no dummy socket. Throws on failure.
    void start(const std::string& devicePath, const std::string& dummyPath);
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void loop();

    SimulatorState& state_;
    std::string devicePath_, dummyPath_;
    int deviceListener_ = -1, dummyListener_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::thread thread_;
};

} // namespace qv::sim
