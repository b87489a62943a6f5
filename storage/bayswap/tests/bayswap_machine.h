// A simulated server for the hot-swap library's tests: the disk bus machine (SCSI simulator,
// private root, the disk library's clock) plus the library's own millisecond clock and sleep, the
// simulated controller for the I2C modules, and scenario builders for enclosures and modules.
#pragma once

#include "bayswap_clock.h"
#include "cage_list.h"
#include "diskbus_machine.h"
#include "safte.h"
#include "scsi_lookup.h"

#include <controller_simulator.h>

#include <chrono>
#include <vector>

namespace bayswap_test {

using diskbus_test::Bytes;
using nlohmann::json;

struct Slot {
    int id;
    bool inserted;
    int status = -1;   // -1: the simulator's default
};

inline json slotsJson(const std::vector<Slot>& slots)
{
    json out = json::array();
    for (const Slot& s : slots) {
        json slot{{"id", s.id}, {"inserted", s.inserted}};
        if (s.status >= 0) slot["status"] = s.status;
        out.push_back(slot);
    }
    return out;
}

inline json disk(int host, int channel, int id, int sg)
{
    return {{"host", host}, {"channel", channel}, {"id", id}, {"sg", sg}, {"vendor", "SEAGATE"},
            {"product", "ST39204LC"}, {"blocks", 1000}};
}

inline json enclosure(int host, int id, int sg, const std::string& product, const std::vector<Slot>& slots)
{
    return {{"host", host}, {"id", id}, {"sg", sg}, {"kind", "enclosure"}, {"vendor", "QVENCL"},
            {"product", product}, {"slots", slotsJson(slots)}};
}

inline json aicHosts(int count)
{
    json adapters = json::array();
    for (int h = 0; h < count; ++h) adapters.push_back({{"host", h}, {"driver", "aic7xxx"}});
    return adapters;
}

// An I2C module at position 0 to 3 with the drive-side expander's input pins.
struct Module {
    int position;
    uint8_t driveSide;
};

class BayswapMachine : public diskbus_test::DiskbusMachine {
protected:
    void SetUp() override
    {
        DiskbusMachine::SetUp();
        forgetScsiState();
        SetBayswapClockForTests([this] { return nowMs; });
        SetBayswapSleepForTests([this](std::chrono::milliseconds pause) {
            sleeps.push_back(pause);
            nowMs += uint64_t(pause.count());
        });
    }
    void TearDown() override
    {
        forgetScsiState();
        SetBayswapClockForTests({});
        SetBayswapSleepForTests({});
        controller.stop();
        DiskbusMachine::TearDown();
    }
    // Forgets the enclosures and cages and the disk library's adapters and target lists, so that
    // the next scenario served is discovered afresh.
    void forgetScsiState()
    {
        ResetBayswapStateForTests();
        ResetDiskbusStateForTests();
        ResetScsiListsForTests();
    }
    // Serves the I2C modules on the simulated controller.
    void serveModules(const std::vector<Module>& modules)
    {
        static const int kA[] = {0x7E, 0x7C, 0x7A, 0x78};
        static const int kDrive[] = {0x4E, 0x4C, 0x4A, 0x48};
        json i2c = json::array();
        for (const Module& m : modules) {
            i2c.push_back({{"kind", "pcf8574"}, {"address", kA[m.position]}, {"inputs", 0xFF}});
            i2c.push_back({{"kind", "pcf8574"}, {"address", kDrive[m.position]}, {"inputs", m.driveSide}});
        }
        controller.loadScenario(json{{"i2c", i2c}});
        controller.start();
    }
    // Commands that reached /dev/sg<sg> with one of `opcodes`.
    std::vector<qv::sim::scsi::CommandRecord> commands(int sg, std::initializer_list<uint8_t> opcodes)
    {
        std::vector<qv::sim::scsi::CommandRecord> out;
        for (auto& r : journal())
            if (r.sgNumber == sg && !r.cdb.empty() && std::find(opcodes.begin(), opcodes.end(), r.cdb[0]) != opcodes.end())
                out.push_back(r);
        return out;
    }
    void clearJournal() { simulator.bus().clearJournal(); }
    size_t slotReads(int sg)
    {
        size_t n = 0;
        for (auto& r : commands(sg, {0x3C}))
            n += r.cdb[2] == 4;
        return n;
    }
    size_t slotWrites(int sg) { return commands(sg, {0x3B}).size(); }
    std::vector<qv::sim::scsi::SafteSlot> slots(int sg)
    {
        std::vector<qv::sim::scsi::SafteSlot> out;
        simulator.bus().withEnclosure(sg, [&](qv::sim::scsi::SafteEnclosure& e) { out = e.slots(); });
        return out;
    }

    qv::sim::ControllerSimulator controller;
    uint64_t nowMs = 1'000'000;
    std::vector<std::chrono::milliseconds> sleeps;
};

} // namespace bayswap_test
