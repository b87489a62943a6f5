// The SCSI side of the simulated server as one object: the shared bus state, its /dev/sg<n>
// nodes and /proc/scsi fixtures, and its control requests. Usable in-process and by qvsim.
#pragma once

#include "scsi_bus.h"
#include "scsi_device_server.h"

#include <nlohmann/json.hpp>

namespace qv::sim::scsi {

class ScsiSimulator {
public:
    // Loads the scenario's "scsi" object (none: no adapters), writes the /proc/scsi fixtures and,
    // when serving, serves the new set of nodes.
    void loadScenario(const nlohmann::json& scenario);
    void start();
    void stop();
    ScsiBus& bus() { return bus_; }

    // Control requests (the simulator's control channel):
    //   {"op":"scsiCheckCondition","sg":N,"key":K,"asc":A,"ascq":Q,"count":C}
    //     (a RAID member disk: "raidChannel":C,"raidTarget":T in place of "sg")
    //   {"op":"scsiRaidDriveStatus","drive":I,"status":S}   (the controller's status code)
    //   {"op":"scsiReset","sg":N}   {"op":"scsiInvalidInquiry","sg":N,"invalid":B,"blank":B}
    //   {"op":"scsiNodeFaults","sg":N,"openErrno":E,"transportErrno":E,"hostStatus":H,"driverStatus":D}
    //   {"op":"scsiDriveArea","sg":N}   (answer "area": the 600 bytes)
    //   {"op":"scsiDriveArea","sg":N,"area":[...]}   (sets it, zero-padded)
    //   {"op":"scsiSelfTest","sg":N,"result":R,"hours":H}   (outcome of the next test to end)
    //   {"op":"scsiSelfTest","sg":N,"badHeader":B}   (page 0x10 with a wrong header)
    //   {"op":"scsiLogSelectFault","sg":N,"parameter":P}   (LOG SELECT of that parameter fails; -1 none)
    //   enclosure slots: the "scsiSafte..." requests of safte_enclosure.h
    //   {"op":"scsiJournal"}   {"op":"scsiClearJournal"}
    // False when `request` is no SCSI request; else `answer` is {"ok":...}.
    bool handleControl(const nlohmann::json& request, nlohmann::json& answer);

private:
    ScsiBus bus_;
    ScsiDeviceServer server_{bus_};
    bool serving_ = false;
};

} // namespace qv::sim::scsi
