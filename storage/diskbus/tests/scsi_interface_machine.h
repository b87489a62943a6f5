// The machine of the exported interface's tests: the simulated machine with a root file system
// table (/dev/sda holds /data and /home, the first logical drive /raid), disks large enough for
// read activity, failure prediction on the IBM disk, the drive clock and the waits on the test's
// clock, and every process-wide list of the library forgotten around each test.
#pragma once

#include "diskbus_machine.h"
#include "drive_commands.h"
#include "drive_id.h"
#include "qvdiskbus.h"
#include "scsi_lookup.h"
#include "volume_map.h"

#include <drive_pages.h>

#include <functional>
#include <string>
#include <vector>

namespace diskbus_test {

class ScsiInterfaceTest : public DiskbusMachine {
protected:
    void SetUp() override {
        DiskbusMachine::SetUp();
        ResetDriveTablesForTests();
        ResetVolumeMapForTests();
        ResetScsiListsForTests();
        SetDiskbusSleepForTests([](std::chrono::milliseconds) {});
        qv::sim::scsi::SetDriveClock([this] { return clock; });
    }
    void TearDown() override {
        LibraryShutdown();
        ResetVolumeMapForTests();
        ResetScsiListsForTests();
        ResetDriveTablesForTests();
        SetDiskbusSleepForTests({});
        qv::sim::scsi::SetDriveClock({});
        DiskbusMachine::TearDown();
    }
    // `adjust` changes the scenario before it is served.
    void serveMachine(const std::string& release = "2.4.20", const std::function<void(json&)>& adjust = {}) {
        json scsi = machineScenario();
        scsi["targets"][0]["block"] = "/dev/sda";
        // Read activity reaches block 0x1904 and more.
        scsi["targets"][0]["blocks"] = 20000;
        scsi["targets"][1]["blocks"] = 20000;
        scsi["targets"][1]["smartCheckCondition"] = true;
        scsi["targets"][1]["smartAscq"] = 0x10;
        scsi["targets"][4]["block"] = "/dev/sdb";
        root.writeFile("/etc/mtab", "/dev/sda /data ext2 rw 0 0\nproc /proc proc rw 0 0\n/dev/sdb /raid ext2 rw 0 0\n"
                                    "/dev/sda /home ext2 rw 0 0\nshort\n");
        if (adjust)
            adjust(scsi);
        serve(scsi, release);
    }
    // Serves another machine in the same test: the library forgets everything it knew.
    void reserveMachine(const std::function<void(json&)>& adjust) {
        simulator.stop();
        LibraryShutdown();
        ResetScsiListsForTests();
        ResetVolumeMapForTests();
        ResetDriveTablesForTests();
        serveMachine("2.4.20", adjust);
    }
    std::vector<Bytes> cdbsTo(int sg) {
        std::vector<Bytes> out;
        for (const auto& r : commandsTo(sg))
            out.push_back(r.cdb);
        return out;
    }
    std::vector<qv::sim::scsi::CommandRecord> commandsTo(int sg) {
        std::vector<qv::sim::scsi::CommandRecord> out;
        for (auto& r : journal())
            if (r.sgNumber == sg)
                out.push_back(r);
        return out;
    }
};

} // namespace diskbus_test
