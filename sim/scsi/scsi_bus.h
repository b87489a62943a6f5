// The SCSI side of the simulated server: host adapters and the targets behind them, each target
// served as a generic SCSI node /dev/sg<n>. Requests arrive as devsock requests with the payload
// of scsi_payload.h; one state is shared by every client. Test controls inject faults and read a
// journal of every command.
#pragma once

#include "scsi_target.h"

#include <devsock.h>
#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qv::sim::scsi {

struct AdapterDescription {
    int host = 0;
    std::string driver;
};

// One command as a node received it.
struct CommandRecord {
    int sgNumber = 0;
    Bytes cdb;
    int32_t direction = 0;   // devsock::scsi::Direction
    Bytes dataOut;
    Bytes dataIn;            // what went back to the initiator
    uint8_t status = 0;
};

// Transport faults of one node: they hit every request until cleared.
struct NodeFaults {
    int openErrno = 0;        // open of the node fails with this errno
    int transportErrno = 0;   // every request fails with this errno, as a failed ioctl
    uint16_t hostStatus = 0;  // the command does not reach the target; this host status comes back
    uint16_t driverStatus = 0;
};

class ScsiBus {
public:
    // Replaces the whole state with the "scsi" object of a scenario. Throws on a malformed one.
    void load(const nlohmann::json& scsi);
    // Writes /proc/scsi/<driver>/<host> and /proc/scsi/scsi below the sandbox root.
    void writeProcFixtures() const;
    // Writes the inventory of the outside disk library's stand-in (diskctl_inventory.h).
    void writeDiskctlInventory() const;

    std::vector<int> sgNumbers() const;
    // 0, or the errno the open of /dev/sg<n> gives.
    int open(int sgNumber) const;
    devsock::Reply handle(int sgNumber, const devsock::Request& request);

    // Controls; false for an unknown node.
    bool failCommands(int sgNumber, const SenseCondition& condition, unsigned count);
    bool resetTarget(int sgNumber);
    bool setInvalidInquiry(int sgNumber, bool invalid);
    bool setFaults(int sgNumber, const NodeFaults& faults);

    std::vector<CommandRecord> journal() const;
    void clearJournal();

private:
    devsock::Reply sgIo(int sgNumber, SimulatedTarget& target, const devsock::Request& request);

    mutable std::mutex mutex_;
    std::vector<AdapterDescription> adapters_;
    std::map<int, SimulatedTarget> targets_;     // by sg number
    std::map<int, NodeFaults> faults_;
    std::vector<CommandRecord> journal_;
};

} // namespace qv::sim::scsi
