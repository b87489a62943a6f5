// The agent list end to end: the real snmpd on 127.0.0.1 port 161 inside a network namespace of
// this test process, answering the software version subtree through qvrevagent.
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <net/if.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "agent_list.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "qvrevinfo.h"
#include "registry.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

const std::string kRev = ".1.3.6.1.4.1.93071.2.23.24";
time_t g_now = 1000000;

bool loopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    ifreq request {};
    std::strcpy(request.ifr_name, "lo");
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

std::string text(int (*getter)(int, char*, unsigned), int index)
{
    char buffer[128] = "";
    const int status = getter(index, buffer, sizeof buffer);
    return status == 0 ? buffer : "status " + std::to_string(status);
}

// name -> state of the managed-software rows, as snmpget reads them.
std::map<std::string, std::string> tableStates(const qv::e2e::PrivateSnmpd& snmpd)
{
    std::map<std::string, std::string> states;
    for (int row = 0; row < 10; ++row) {
        const auto name = snmpd.get({kRev + ".2.1.1.2." + std::to_string(row)});
        const size_t quote = name.out.find('"');
        if (quote == std::string::npos) break;
        const auto state = snmpd.get({kRev + ".2.1.1.5." + std::to_string(row)});
        states[name.out.substr(quote + 1, name.out.rfind('"') - quote - 1)] =
            state.out.substr(state.out.rfind(' ') + 1, state.out.find_last_not_of("\n") - state.out.rfind(' '));
    }
    return states;
}

TEST(AgentListE2E, ListsSnmpdAndInstalledAgentsThroughTheRealDaemon)
{
    if (::unshare(CLONE_NEWNET) != 0 || !loopbackUp()) GTEST_SKIP() << "no private network namespace here";
    qv::test::TempRoot root;
    ASSERT_TRUE(qv::test::storeModelCode(55));
    // The agents' version fills the version column, so the description lands in its own column.
    ASSERT_EQ(SetRegData(swfiles::kVersionRegKey, "A.01.02", 7), 0u);
    // qvclimateagent is run from elsewhere: its row is not listed, the rows after it keep theirs.
    root.writeFile("/etc/snmp/snmpd.conf", "pass .1.3.6.1.4.1.93071.2.23.26 /opt/qv/qvclimateagent\n"
                                           "pass " + kRev + " /usr/qvserver/bin/qvrevagent\n");
    root.writeFile("/usr/qvserver/etc/qvswa.cfg", "MNGSW\nqvrevscand\n*\nAGENTS qvrevagent qvclimateagent *\n");
    root.writeFile("/opt/qv/qvclimateagent", "x");
    root.writeFile("/usr/qvserver/bin/qvrevagent", "agent");
    root.writeFile("/usr/qvserver/bin/qvrevscand", "service");
    root.writeFile("/usr/sbin/snmpd", "daemon!");
    // qvrevscand is not running: its row's state differs from the row before it.
    root.writeFile("/proc/4711/cmdline", std::string("/usr/sbin/snmpd\0-f\0", 19));
    root.writeFile("/proc/sys/kernel/osrelease", "6.1.0\n");
    auto snmpd = std::make_unique<qv::e2e::PrivateSnmpd>(
        root.path() + "/snmpd",
        std::vector<qv::e2e::PassLine>{{kRev, qv::test::installedPath("swversion/qvrevagent/qvrevagent")}},
        qv::e2e::SnmpdEndpoint{161, "mantle"});
    const auto states = tableStates(*snmpd);
    ASSERT_TRUE(states.count("qvclimateagent")) << ::testing::PrintToString(states);
    ASSERT_NE(states.at("qvrevscand"), states.at("qvrevagent"));

    revinfo::agentListClock() = [] { return g_now; };
    ASSERT_EQ(GetTotalNumberOfAgents(), 3);
    const struct { const char* name; const char* type; std::string state; } expected[] = {
        {"snmpd", "2", "4"},
        {"qvrevagent", "1", states.at("qvrevagent")},
        {"qvrevscand", "2", states.at("qvrevscand")},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(text(GetAgentName, i), expected[i].name);
        EXPECT_EQ(text(GetAgentType, i), expected[i].type) << expected[i].name;
        EXPECT_EQ(text(GetAgentState, i), expected[i].state) << expected[i].name;
    }

    // Within 20 s the list is not asked again, even with the daemon gone; then only its own
    // entry remains, with state 1.
    snmpd->stop();
    g_now += 20;
    EXPECT_EQ(GetTotalNumberOfAgents(), 3);
    g_now += 1;
    ASSERT_EQ(GetTotalNumberOfAgents(), 1);
    EXPECT_EQ(text(GetAgentName, 0), "snmpd");
    EXPECT_EQ(text(GetAgentState, 0), "1");
}

} // namespace
