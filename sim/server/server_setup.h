// Setting up the simulated server's root: environment, BIOS image, fixture tree, sockets.
#pragma once

#include "controller_simulator.h"
#include "scsi_simulator.h"

#include <string>

namespace qv::sim {

struct ServerOptions {
    std::string root;
    std::string scenario;
    std::string pidFile;
    bool foreground = false;
};

class SimulatedServer {
public:
    // Exports QV_ROOT, loads the scenario, writes /dev/mem and copies the fixture tree.
    explicit SimulatedServer(const ServerOptions& options);
    void start();           // serves /dev/mmcdev, the dummy socket and the SCSI nodes
    void announceReady();   // pid file and "ready" on stdout
    void stop();
    ControllerSimulator& simulator() { return simulator_; }
    scsi::ScsiSimulator& scsi() { return scsi_; }
    std::string controlSocketPath() const { return root_ + "/var/qvsim/control.socket"; }
    std::string dummySocketPath() const { return root_ + "/var/qvsim/ipmi_dummy.socket"; }

private:
    ServerOptions options_;
    std::string root_;
    ControllerSimulator simulator_;
    scsi::ScsiSimulator scsi_;
};

// Leaves the foreground: the parent exits, the child goes on in a new session.
bool detach();

} // namespace qv::sim
