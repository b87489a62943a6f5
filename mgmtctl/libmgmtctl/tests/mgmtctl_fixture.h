// A private root with the simulated controller serving /dev/mmcdev, the device opened, and every
// pause the library asks for recorded instead of waited out.
#pragma once

#include "controller_simulator.h"
#include "mgmtctl.h"
#include "temp_root.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

namespace qv::mgmtctl::test {

using Bytes = std::vector<uint8_t>;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Messages (netfn<<2|lun, command, data...) sent with the send/receive request, in order.
    std::vector<Bytes> sentMessages() const;
    Bytes lastMessage() const;
    // Pauses requested since the last clearRecords().
    static const std::vector<int>& pauses();
    void clearRecords();
    int totalPauseMs() const;

    qv::test::TempRoot root_;
    qv::sim::ControllerSimulator sim_;
};

} // namespace qv::mgmtctl::test
