// A simulated SCSI side for the version library's tests, kept apart from the tests themselves:
// the disk bus library's records and the IPMI cache client's share names.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace revinfotest {

// The disk bus tests' machine: an aic7xxx host with disks, and a MegaRAID controller of
// `capacity` logical drives (8 or 40).
nlohmann::json raidMachine(unsigned capacity);

// A private root whose SCSI simulator serves a scenario's "scsi" object on a kernel of a given
// release; the disk bus library's process state is forgotten on every serve and at the end.
class SimulatedScsi {
public:
    SimulatedScsi();
    ~SimulatedScsi();
    void serve(const nlohmann::json& scsi, const std::string& release = "2.4.20");

private:
    struct Machine;
    std::unique_ptr<Machine> machine_;
};

} // namespace revinfotest
