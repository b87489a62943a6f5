// A private root with the simulated controller serving /dev/mmcdev, every pause of the
// controller library skipped, and helpers to look at the event log's files.
#pragma once

#include "controller_simulator.h"
#include "qveventlog.h"
#include "temp_root.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qv::eventlog::test {

// A system event record with the fields a test cares about.
Sel makeEvent(uint8_t sensorType, uint8_t sensorNumber, uint8_t trigger = 0x6F, uint8_t data1 = 0x00,
              uint8_t version = 3);
// The soft-log line the library writes for a record (without its line feed).
std::string lineOf(const Sel& record, const std::string& addString = {});
// The line for a SEL entry as the simulator holds it, shown under `id`.
std::string lineOf(const qv::sim::SelEntry& entry, uint16_t id, const std::string& addString = {});

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the controller's state.
    void load(const nlohmann::json& bmc);
    // A SEL of `count` entries (sensor numbers 1..count), ids from 1.
    static nlohmann::json selOf(int count);

    std::string softLog() const;
    std::vector<std::string> softLines() const;
    std::string backupLog() const;
    std::string setting(const std::string& file, const std::string& key) const;
    void writeSoftLog(const std::string& text) const;
    // Writes one event and expects success; returns the record as the library left it.
    Sel write(uint8_t sensorNumber, const char* addString = "");
    // Removes every entry of the SEL as an outside eraser would.
    void clearSelOutside();

    qv::test::TempRoot root_;
    qv::test::ScopedEnv utc_{"TZ", "UTC"};
    qv::sim::ControllerSimulator sim_;
};

} // namespace qv::eventlog::test
