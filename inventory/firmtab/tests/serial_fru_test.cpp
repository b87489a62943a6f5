// The server serial number found in the controllers' FRU data of the simulated server when the
// registry has none and the BIOS tables carry no plausible one, then kept in the registry.
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bios_fixture.h"
#include "bios_image.h"
#include "controller_simulator.h"
#include "dmi_globals.h"
#include "pause_hook.h"
#include "qvbmc.h"
#include "serial_number.h"

namespace {

nlohmann::json scenario(const std::string& name)
{
    std::ifstream in(std::string(QV_SCENARIO_DIR) + "/" + name);
    return nlohmann::json::parse(in);
}

class SerialFromFru : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void SetUp() override
    {
        qv::test::makeDirectories(root.path() + "/var/qvserver");
        qv::test::makeDirectories(root.path() + "/dev");
        qv::mgmtctl::setPauseHookForTests([](int) {});
        RegisterWithAPI();
    }
    void TearDown() override
    {
        sim_.reset();
        SetDmiObjects(nullptr, nullptr);
        UnRegisterWithAPI();
        qv::mgmtctl::setPauseHookForTests(nullptr);
    }
    // BIOS tables whose system serial is `serial`, or without a system record at all.
    void biosWithSystemSerial(const std::optional<std::string>& serial)
    {
        qv::sim::BiosInventory inventory;
        inventory.modelCode = 66;
        if (serial)
            inventory.systemInfo->serial = *serial;
        else
            inventory.systemInfo.reset();
        writeImage(qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
        bios_ = std::make_unique<qv::test::OpenBios>();
        SetDmiObjects(&bios_->driver, &bios_->bios);
    }
    void startSimulator(const nlohmann::json& s)
    {
        sim_ = std::make_unique<qv::sim::ControllerSimulator>();
        sim_->loadScenario(s);
        sim_->start();
    }
    std::string cached()
    {
        char value[64] = {};
        return GetRegData(szRegSerial, value, sizeof value - 1) == 0 ? value : "";
    }

    std::unique_ptr<qv::test::OpenBios> bios_;
    std::unique_ptr<qv::sim::ControllerSimulator> sim_;
};

// Runs before the default-scenario cases, so that in one process their rank-1 find comes later.
TEST_F(SerialFromFru, BestRankedCandidateWinsOverEarlierOffers)
{
    biosWithSystemSerial("Unknown");
    startSimulator(scenario("serial-ranking.json"));
    // 0x22 board (rank 23), 0x20 board (21), 0x24 chassis without a board area (11 + 1); the
    // product serial of 0x24 is not plausible.
    char serial[64] = {};
    EXPECT_EQ(IPMI_GetQVSerialNumber(serial, sizeof serial), 0);
    EXPECT_STREQ(serial, "QVC0000024");
    EXPECT_EQ(gRanker.rank, 12);
}

TEST_F(SerialFromFru, SatelliteProductSerialIsFoundThenCached)
{
    for (const std::optional<std::string>& smbios : {std::optional<std::string>("Unknown"),
                                                     std::optional<std::string>()}) {
        SCOPED_TRACE(smbios ? *smbios : "no system record");
        std::remove(root.at("/var/qvserver/registry.ini").c_str());
        biosWithSystemSerial(smbios);
        startSimulator(scenario("default.json"));
        char serial[64];
        std::memset(serial, 'z', sizeof serial);
        ASSERT_EQ(GetQVSerialNumber(serial, sizeof serial), 0);
        EXPECT_STREQ(serial, "QVP0012345");
        EXPECT_EQ(cached(), "QVP0012345");
        // Once cached, no controller is asked again.
        sim_.reset();
        std::memset(serial, 'z', sizeof serial);
        ASSERT_EQ(GetQVSerialNumber(serial, sizeof serial), 0);
        EXPECT_STREQ(serial, "QVP0012345");
    }
}

TEST_F(SerialFromFru, PlausibleSmbiosSerialIsTakenBeforeTheControllers)
{
    biosWithSystemSerial("QV99120047");
    startSimulator(scenario("default.json"));
    sim_->clearJournal();
    char serial[64] = {};
    ASSERT_EQ(GetQVSerialNumber(serial, sizeof serial), 0);
    EXPECT_STREQ(serial, "QV99120047");
    EXPECT_EQ(cached(), "QV99120047");
    EXPECT_TRUE(sim_->journal().empty());
}

} // namespace
