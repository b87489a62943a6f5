#include "simulated_scsi.h"

#include "diskbus_machine.h"
#include "scsi_lookup.h"

namespace revinfotest {

namespace {
void forgetLibraryState()
{
    ResetDiskbusStateForTests();
    ResetScsiListsForTests();
}
} // namespace

struct SimulatedScsi::Machine {
    qv::test::TempRoot root;
    qv::sim::scsi::ScsiSimulator simulator;
};

nlohmann::json raidMachine(unsigned capacity) { return diskbus_test::machineScenario(capacity); }

SimulatedScsi::SimulatedScsi() : machine_(std::make_unique<Machine>())
{
    forgetLibraryState();
    SetDiskbusClockForTests([] { return time_t(1000); });
}

SimulatedScsi::~SimulatedScsi()
{
    forgetLibraryState();
    SetDiskbusClockForTests({});
    machine_->simulator.stop();
}

void SimulatedScsi::serve(const nlohmann::json& scsi, const std::string& release)
{
    machine_->simulator.stop();
    forgetLibraryState();
    machine_->root.writeFile("/var/qvsim/uname", release + "\n");
    machine_->simulator.loadScenario({{"scsi", scsi}});
    machine_->simulator.start();
}

} // namespace revinfotest
