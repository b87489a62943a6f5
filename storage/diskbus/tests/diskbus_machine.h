// A simulated machine for the disk bus library's tests: a private root with the SCSI simulator
// serving its nodes, the kernel release the test poses as, the library's caches on a clock the
// test moves, and the library's process-wide state forgotten before and after each test.
#pragma once

#include "adapter_list.h"
#include "diskbus_clock.h"

#include <scsi_simulator.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace diskbus_test {

using nlohmann::json;
using Bytes = std::vector<uint8_t>;

// An aic7xxx host with two disks, a CD-ROM and an enclosure processor, and a MegaRAID host whose
// two logical drives (RAID 5 over four disks of channel 0, RAID 1 over two of channel 1) the
// kernel shows as sg4 and sg5; the controller itself is sg6.
inline json machineScenario(unsigned driveCapacity = 40) {
    json disks = json::array();
    for (int channel = 0; channel < 2; ++channel)
        for (int id = 0; id < (channel == 0 ? 4 : 2); ++id)
            disks.push_back({{"channel", channel}, {"id", id}, {"vendor", "SEAGATE"}, {"product", "ST318451LC"},
                             {"revision", "0003"}, {"serial", "3CC0000" + std::to_string(channel * 4 + id)},
                             {"blocks", 17783240}});
    return json{
        {"adapters", {{{"host", 0}, {"driver", "aic7xxx"}}, {{"host", 1}, {"driver", "megaraid"}}}},
        {"targets",
         {{{"host", 0}, {"id", 0}, {"sg", 0}, {"vendor", "SEAGATE"}, {"product", "ST39204LC"}, {"blocks", 1000}},
          {{"host", 0}, {"id", 1}, {"sg", 1}, {"vendor", "IBM"}, {"product", "DDYS-T18350N"}, {"blocks", 2000}},
          {{"host", 0}, {"id", 4}, {"sg", 2}, {"kind", "cdrom"}, {"vendor", "QVOPT"}, {"product", "CD-ROM"}},
          {{"host", 0}, {"id", 6}, {"sg", 3}, {"kind", "enclosure"}, {"vendor", "QVENCL"}, {"product", "BACKPLANE"}},
          {{"host", 1}, {"id", 0}, {"sg", 4}, {"vendor", "MegaRAID"}, {"product", "LD 0"}, {"blocks", 3000}},
          {{"host", 1}, {"id", 1}, {"sg", 5}, {"vendor", "MegaRAID"}, {"product", "LD 1"}, {"blocks", 2000}}}},
        {"megaraid",
         {{"host", 1},
          {"sg", 6},
          {"logicalDriveCapacity", driveCapacity},
          {"firmware", {0x62, 0x01, "1", "H"}},
          {"bios", {0x10, 0x01, "3", "G"}},
          {"memoryMB", 64},
          {"boardId", 4660},
          {"product", "QV Stratavol Elite 1600"},
          {"logicalDrives",
           {{{"level", 5}, {"status", 2}, {"spans", {{{"blocks", 1000}, {"members", {{0, 0}, {0, 1}, {0, 2}, {0, 3}}}}}}},
            {{"level", 1}, {"status", 2}, {"spans", {{{"blocks", 1000}, {"members", {{1, 0}, {1, 1}}}}}}}}},
          {"disks", disks}}}};
}

class DiskbusMachine : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDiskbusStateForTests();
        SetDiskbusClockForTests([this] { return clock; });
    }
    void TearDown() override {
        ResetDiskbusStateForTests();
        SetDiskbusClockForTests({});
        simulator.stop();
    }
    // Serves `scsi` on a kernel of `release`.
    void serve(const json& scsi, const std::string& release = "2.4.20") {
        root.writeFile("/var/qvsim/uname", release + "\n");
        simulator.loadScenario({{"scsi", scsi}});
        simulator.start();
    }
    std::vector<qv::sim::scsi::CommandRecord> journal() { return simulator.bus().journal(); }
    void control(const json& request) {
        json answer;
        ASSERT_TRUE(simulator.handleControl(request, answer));
        ASSERT_TRUE(answer.value("ok", false)) << answer.dump();
    }

    qv::test::TempRoot root;
    qv::sim::scsi::ScsiSimulator simulator;
    time_t clock = 1000;
};

} // namespace diskbus_test
