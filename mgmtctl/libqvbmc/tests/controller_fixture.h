// A simulated controller below a private root, with pauses recorded instead of waited out.
#pragma once

#include "controller_simulator.h"
#include "pause_hook.h"
#include "qvbmc.h"
#include "temp_root.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace qv::bmc::test {

class ControllerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(root_.path() + "/var/qvserver");
        std::filesystem::create_directories(root_.path() + "/dev");
        qv::mgmtctl::setPauseHookForTests([](int) {});
        RegisterWithAPI();
    }
    void TearDown() override
    {
        sim_.stop();
        UnRegisterWithAPI();
        qv::mgmtctl::setPauseHookForTests(nullptr);
    }
    void startWith(const nlohmann::json& bmc)
    {
        sim_.loadScenario(bmc);
        sim_.start();
    }

    qv::test::TempRoot root_;
    qv::sim::ControllerSimulator sim_;
};

} // namespace qv::bmc::test
