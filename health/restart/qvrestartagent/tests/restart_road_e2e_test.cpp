// The restart road end to end: the real snmpd runs qvrestartagent, which writes the registry and
// tells qvrestartd, which kicks the simulated controller's watchdog.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <vector>

#include "asr_params.h"
#include "controller_simulator.h"
#include "mmcdev_payload.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

using namespace std::chrono_literals;

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.25";
constexpr char kHWTimeout[] = ".1.3.6.1.4.1.93071.2.23.25.2.3.0";

class RestartRoadE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        int hw, poll, action, maxCount, curCount;
        ASSERT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 1);
        ASSERT_EQ(AsrSetSWpollTime(1, 600, 0), 1);
        sim.start();
        service.start(qv::test::installedPath("health/restart/qvrestartd/qvrestartd"), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.at("/qvrestartd.log")}});
        ASSERT_TRUE(qv::test::eventually([this] { return root.exists(kKickTimerSocketPath); }));
        snmpd = std::make_unique<qv::e2e::PrivateSnmpd>(
            root.path() + "/snmpd",
            std::vector<qv::e2e::PassLine>{{kSubtree, qv::test::installedPath("health/restart/qvrestartagent/qvrestartagent")}});
    }
    void TearDown() override
    {
        snmpd.reset();
        if (service.pid() > 0) {
            EXPECT_EQ(service.stop(), 0);
        }
    }
    int registryTimeout() const
    {
        int hw = 0;
        return AsrGetHWtimeout(&hw) ? hw : -1;
    }
    std::string log() const { return root.exists("/qvrestartd.log") ? root.readFile("/qvrestartd.log") : ""; }
    // The countdown of the service's latest kick, in tenths.
    int lastArmedTenths() const
    {
        int tenths = -1;
        for (const auto& e : sim.journal())
            if (e.requestCode == qv::devsock::mmcdev::kSendReceive && e.request.size() == 8 &&
                e.request[0] == (0x06 << 2) && e.request[1] == 0x24)
                tenths = e.request[6] | e.request[7] << 8;
        return tenths;
    }

    qv::test::TempRoot root;
    qv::sim::ControllerSimulator sim;
    qv::test::ChildProcess service;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd;
};

TEST_F(RestartRoadE2E, WalkShowsTheSettings)
{
    const std::string s = kSubtree;
    const auto r = snmpd->walk(kSubtree);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, s + ".1.1.0 = INTEGER: 1\n" + s + ".1.2.0 = INTEGER: 0\n" + s + ".2.1.0 = INTEGER: 1\n" + s +
                         ".2.2.0 = INTEGER: 0\n" + s + ".2.3.0 = INTEGER: 600\n" + s + ".2.4.0 = INTEGER: 20\n" +
                         s + ".2.5.0 = STRING: \"reset\"\n");
}

TEST_F(RestartRoadE2E, HardwareTimeoutSetReachesRegistryAndServiceOrNeither)
{
    auto r = snmpd->set(kHWTimeout, "i", "900");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(registryTimeout(), 900);
    EXPECT_NE(log().find("New hwtimeout = 900\n"), std::string::npos) << log();
    EXPECT_TRUE(qv::test::eventually([this] { return lastArmedTenths() == 9000; }, 10s));

    r = snmpd->set(kHWTimeout, "i", "200");
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_EQ(registryTimeout(), 900);

    service.signal(SIGTERM);
    ASSERT_EQ(service.wait(20s), 0);
    r = snmpd->set(kHWTimeout, "i", "1200");   // a value not asked before: snmpd caches answers
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_EQ(registryTimeout(), 900);
}

TEST_F(RestartRoadE2E, TwoAgentsSettingAtOnceLeaveRegistryAndServiceAlike)
{
    const std::string agent = qv::test::installedPath("health/restart/qvrestartagent/qvrestartagent");
    auto setTo = [&](const char* value) {
        return std::async(std::launch::async, [=] {
            return qv::test::runProgram(agent, {"-s", kHWTimeout, "integer", value});
        });
    };
    auto first = setTo("1000");
    auto second = setTo("1500");
    const auto a = first.get(), b = second.get();
    EXPECT_EQ(a.out, "");   // a SET that succeeds prints nothing
    EXPECT_EQ(b.out, "");
    const std::string text = log();
    const std::string announce = "New hwtimeout = ";
    std::string value;   // the service's last value
    for (size_t at = text.find(announce); at != std::string::npos; at = text.find(announce, at + 1))
        value = text.substr(at + announce.size(), text.find('\n', at) - at - announce.size());
    EXPECT_EQ(value, std::to_string(registryTimeout())) << text;
    EXPECT_NE(text.find("New hwtimeout = 1000"), std::string::npos);
    EXPECT_NE(text.find("New hwtimeout = 1500"), std::string::npos);
}

} // namespace
