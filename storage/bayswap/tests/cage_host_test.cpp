// A C program loads libqvbayswap.so, finds the default scenario's cages through the standalone
// simulator, shows a failure on one bay and reads the slot back through the control channel.
#include "service_process.h"
#include "temp_root.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

TEST(CageHost, DefaultScenarioCagesThroughTheLoadedLibrary)
{
    qv::test::TempRoot root;
    root.writeFile("/var/qvsim/uname", "2.4.20\n");
    qv::test::ChildProcess sim;
    ASSERT_TRUE(qv::test::startSimulator(sim, root, qv::test::defaultScenario()));

    const auto result = qv::test::runProgram(qv::test::buildPath("storage/bayswap/cage_host"),
                                             {root.at("/var/qvsim/control.socket"), "3"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    // The enclosure on the aic7xxx channel (id 6: address 0x0086) and the I2C module placed on the
    // channel the RAID adapter shows its logical drives on, which are its left and middle bays.
    EXPECT_NE(result.out.find("discover 0 cages 2\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("cage 0 status 0 addr 0x0086 bays 4 adapter 0 channel 0 type 16\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("cage 1 status 0 addr 0x004f bays 3 adapter 1 channel 1 type 1\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("failure on cage 0 bay 0: 0\n"), std::string::npos) << result.out;

    const std::string last = result.out.substr(result.out.find("{\"ok\""));
    const auto answer = nlohmann::json::parse(last.substr(0, last.find('\n')));
    ASSERT_TRUE(answer.value("ok", false)) << last;
    EXPECT_EQ(answer["slots"][0]["state"], (std::vector<int>{0x02, 0, 0}));   // faulty, not operational
    EXPECT_EQ(answer["slots"][1]["state"], (std::vector<int>{0x01, 0, 0}));
}

} // namespace
