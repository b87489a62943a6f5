// The SCSI side of the simulated server: host adapters and the targets behind them, each target
// served as a generic SCSI node /dev/sg<n>. Requests arrive as devsock requests with the payload
// of scsi_payload.h; one state is shared by every client. Test controls inject faults and read a
// journal of every command.
#pragma once

#include "megaraid_controller.h"
#include "scsi_target.h"

#include <devsock.h>
#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim::scsi {

struct AdapterDescription {
    int host = 0;
    std::string driver;
};

// One command as a node received it. `form` says how it came: "sg3" (SG_IO), "sg2" (the 2.2
// write and read), "megaraid" (the controller's long pass-through on /dev/megadev0) or
// "megaraid22" (its short form); a pass-through names the member disk by channel and target. The
// controller's management commands are journaled as "megaraid-command" and "megaraid22-command",
// their `cdb` the command and its parameter.
struct CommandRecord {
    std::string form = "sg3";
    int sgNumber = -1;
    int channel = -1, target = -1;
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

    // Every generic node served: the targets' and the RAID controller's own.
    std::vector<int> sgNumbers() const;
    // 0, or the errno the open of /dev/sg<n> gives.
    int open(int sgNumber) const;
    // One request on /dev/sg<n>; `held` is the client's answer of a 2.2 write awaiting its read.
    devsock::Reply handle(int sgNumber, const devsock::Request& request, Bytes& held);
    devsock::Reply handle(int sgNumber, const devsock::Request& request);
    // The block device nodes of the targets, with the target's sg number.
    std::map<std::string, int> blockNodes() const;
    // 0, or the errno the open of a target's block node for `access` (devsock kOpen bits) gives:
    // a CD-ROM's medium cannot be written, so its node refuses every open but one for reading.
    int openBlock(int sgNumber, uint32_t access) const;
    // One request on a target's block node: the two address requests.
    devsock::Reply handleBlock(int sgNumber, const devsock::Request& request);
    // A RAID controller is configured: /dev/megadev0 is served.
    bool hasController() const;
    // One request on /dev/megadev0.
    devsock::Reply handleController(const devsock::Request& request);

    // Controls; false for an unknown node.
    bool failCommands(int sgNumber, const SenseCondition& condition, unsigned count);
    bool resetTarget(int sgNumber);
    bool setInvalidInquiry(int sgNumber, bool invalid, bool blank = false);
    bool setFaults(int sgNumber, const NodeFaults& faults);
    // Runs `change` on the drive pages of a disk or CD-ROM target, under the bus lock.
    bool withDrive(int sgNumber, const std::function<void(DrivePages&)>& change);
    // Runs `change` on the slots of an enclosure target, under the bus lock.
    bool withEnclosure(int sgNumber, const std::function<void(SafteEnclosure&)>& change);
    // The RAID controller's member disk at {channel, id}: the next `count` commands fail.
    bool failRaidDisk(int channel, int id, const SenseCondition& condition, unsigned count);
    // The controller's status code of logical drive `drive`.
    bool setRaidDriveStatus(unsigned drive, uint8_t status);

    std::vector<CommandRecord> journal() const;
    void clearJournal();

private:
    devsock::Reply sgIo(int sgNumber, SimulatedTarget& target, const devsock::Request& request);
    devsock::Reply sgWrite(int sgNumber, SimulatedTarget& target, const devsock::Request& request, Bytes& held);
    devsock::Reply controllerNode(const devsock::Request& request);
    devsock::Reply raidRequest(const devsock::Request& request, bool shortForm, int sgNumber);
    void journalPassThrough(const char* form, int sgNumber, const PassThroughRecord& record);

    mutable std::mutex mutex_;
    std::vector<AdapterDescription> adapters_;
    std::map<int, SimulatedTarget> targets_;     // by sg number
    std::map<int, NodeFaults> faults_;
    std::vector<CommandRecord> journal_;
    std::optional<MegaRaidController> raid_;
};

} // namespace qv::sim::scsi
