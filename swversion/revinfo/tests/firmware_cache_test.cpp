// The firmware list from the IPMI cache service on the simulated controller, with a hot-swap
// cage controller at 0x9C, under both IPMI version bytes of the baseboard.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qvbmccache.h"
#include "qvrevinfo.h"
#include "service_process.h"

namespace {

using namespace qv::test;
using namespace std::chrono_literals;

nlohmann::json scenarioWithCage(const char* ipmiVersion)
{
    nlohmann::json scenario = defaultScenario();
    scenario["bmc"]["ipmiVersion"] = ipmiVersion;
    scenario["bmc"]["sdr"].push_back({{"kind", "controllerLocator"}, {"id", 90}, {"address", "0x9C"},
                                      {"capabilities", "0x08"}, {"name", "Cage MC"}});
    scenario["bmc"]["satellites"].push_back(
        {{"address", "0x9C"}, {"ipmiVersion", "1.0"},
         {"device", {{"id", 156}, {"revision", 0}, {"firmwareMajor", 3}, {"firmwareMinor", "0x01"},
                     {"support", "0x08"}, {"manufacturer", "0x0001A2"}, {"product", "0x0060"}}}});
    return scenario;
}

std::vector<std::string> components()
{
    std::vector<std::string> rows;
    const int count = GetTotalNumberOfFirmwares();
    for (int i = 0; i < count; ++i) {
        char name[32], product[128], version[32];
        FIRMWARE_TYPE type = FW_UNKNOWN;
        EXPECT_EQ(GetFWComponentName(unsigned(i), name, sizeof name), 0);
        EXPECT_EQ(GetFWComponentProduct(unsigned(i), product, sizeof product), 0);
        EXPECT_EQ(GetFWComponentVersion(unsigned(i), version, sizeof version), 0);
        EXPECT_EQ(GetFWComponentNumType(unsigned(i), &type), 0);
        rows.push_back(std::string(name) + "," + product + "," + version + "," + std::to_string(type));
    }
    return rows;
}

TEST(FirmwareFromCacheService, ControllerPackagesUnderBothVersionBytes)
{
    const struct { const char* ipmiVersion; const char* cageRow; } cases[] = {
        {"1.0", "9D,Hot Swap Cage 3,"},
        {"0.9", "9C,Hot Swap Cage 2,"},
    };
    for (const auto& c : cases) {
        TempRoot root;
        ChildProcess sim;
        ChildProcess service;
        ASSERT_TRUE(startSimulator(sim, root, scenarioWithCage(c.ipmiVersion)));
        service.start(installedPath("mgmtctl/qvbmccached/qvbmccached"), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.path() + "/qv.log"}});
        IpmiInfoType system {};
        ASSERT_TRUE(eventually([&] {
            unsigned got = 0;
            return QvIpmiGetData(1, 0, 0, nullptr, {reinterpret_cast<unsigned char*>(&system), sizeof system},
                                 &got) == 0;
        }, 180s));
        ASSERT_EQ(UpdateFirmwareInfo(), 0);
        const std::vector<std::string> rows = components();
        bool baseboard = false, cage = false;
        for (const std::string& row : rows) {
            baseboard |= row == "20,MMC Management Controller,B.01.23,2";
            cage |= row.rfind(c.cageRow, 0) == 0;
        }
        EXPECT_TRUE(baseboard) << c.ipmiVersion << " " << ::testing::PrintToString(rows);
        EXPECT_TRUE(cage) << c.ipmiVersion << " " << ::testing::PrintToString(rows);
        EXPECT_EQ(service.stop(), 0);
    }
}

} // namespace
