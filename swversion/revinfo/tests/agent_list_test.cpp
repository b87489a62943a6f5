// The agent list over a fake SNMP client: rows, states, skipped programs, the 20 s cache.
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "agent_list.h"
#include "qvrevinfo.h"
#include "temp_root.h"

namespace {

using namespace revinfo;

struct Row {
    std::string name;
    std::string type;
    long state;
};

struct FakeDaemon {
    bool loads = true;
    bool answers = true;
    std::vector<Row> rows;
    int opens = 0;
};
FakeDaemon g_daemon;
time_t g_now = 1000000;

class FakeSource final : public AgentTableSource {
public:
    int open() override
    {
        ++g_daemon.opens;
        return g_daemon.loads ? 0 : 1;
    }
    SnmpGetResult get(const std::string& oid) override
    {
        SnmpGetResult r;
        if (!g_daemon.answers) return r;
        r.exchanged = true;
        const size_t dot = oid.rfind('.');
        const std::string column = oid.substr(0, dot);
        const size_t row = std::stoul(oid.substr(dot + 1));
        if (row >= g_daemon.rows.size()) {
            r.errorStatus = 2;
            return r;
        }
        const Row& data = g_daemon.rows[row];
        if (column.ends_with(".2")) { r.isString = true; r.text = data.name; }
        if (column.ends_with(".8")) { r.isString = true; r.text = data.type; }
        if (column.ends_with(".5")) { r.isInteger = true; r.integer = data.state; }
        return r;
    }
};

class AgentListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::tzset();
        g_daemon = FakeDaemon{};
        g_now += 1000;
        agentTableSourceFactory() = [] { return std::make_unique<FakeSource>(); };
        agentListClock() = [] { return g_now; };
        root.writeFile("/proc/4711/cmdline", std::string("/usr/sbin/snmpd\0-f\0", 19));
        root.writeFile("/proc/1/cmdline", std::string("init\0", 5));
        root.writeFile("/usr/sbin/snmpd", "daemon");
        root.writeFile("/usr/qvserver/bin/qvrevagent", "agent");
        root.writeFile("/usr/qvserver/bin/qvrevscand", "service!");
    }
    void TearDown() override
    {
        agentTableSourceFactory() = netSnmpSource;
        agentListClock() = [] { return std::time(nullptr); };
    }
    std::string text(int (*getter)(int, char*, unsigned), int index)
    {
        char buffer[128] = "";
        const int status = getter(index, buffer, sizeof buffer);
        return status == 0 ? buffer : "status " + std::to_string(status);
    }
    qv::test::ScopedEnv timeZone{"TZ", "UTC0"};
    qv::test::TempRoot root;
};

TEST_F(AgentListTest, ListsTheDaemonAndInstalledAgentsWithTheirOwnStates)
{
    g_daemon.rows = {{"qvrevagent", "agent", 4}, {"qvgone", "Agent", 3}, {"qvrevscand", "Daemon", 2},
                     {"../bin/qvrevagent", "Agent", 5}, {std::string(50, 'a'), "Agent", 5}};
    ASSERT_EQ(GetTotalNumberOfAgents(), 3);
    const struct { const char* name; const char* type; const char* state; const char* size; } expected[] = {
        {"snmpd", "2", "4", "6"}, {"qvrevagent", "1", "4", "5"}, {"qvrevscand", "2", "2", "8"},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(text(GetAgentName, i), expected[i].name);
        EXPECT_EQ(text(GetAgentType, i), expected[i].type) << i;
        EXPECT_EQ(text(GetAgentState, i), expected[i].state) << i;
        EXPECT_EQ(text(GetAgentSize, i), expected[i].size) << i;
    }
    EXPECT_EQ(text(GetAgentName, 3), "status 1048592");
    EXPECT_EQ(text(GetAgentName, -1), "status 1048592");
    char small[6];
    EXPECT_EQ(GetAgentName(0, small, 5), 0x100012);
    EXPECT_EQ(GetAgentName(0, small, 6), 0);
    EXPECT_EQ(g_daemon.opens, 1);
}

TEST_F(AgentListTest, RefreshesOnlyAfterTwentySeconds)
{
    g_daemon.rows = {{"qvrevagent", "Agent", 4}};
    const struct { time_t advance; int opens; } steps[] = {{0, 1}, {20, 1}, {1, 2}, {5, 2}};
    for (const auto& s : steps) {
        g_now += s.advance;
        GetTotalNumberOfAgents();
        EXPECT_EQ(g_daemon.opens, s.opens) << s.advance;
    }
}

TEST_F(AgentListTest, SilentDaemonOrMissingClientLibrary)
{
    g_daemon.answers = false;
    ASSERT_EQ(GetTotalNumberOfAgents(), 1);
    EXPECT_EQ(text(GetAgentName, 0), "snmpd");
    EXPECT_EQ(text(GetAgentState, 0), "1");

    g_now += 100;
    g_daemon.loads = false;
    EXPECT_EQ(text(GetAgentName, 0), "status 1");
    g_now += 100;
    EXPECT_EQ(GetTotalNumberOfAgents(), 0);
}

TEST_F(AgentListTest, DateOfTheProgramFile)
{
    g_daemon.rows = {{"qvrevagent", "Agent", 4}};
    const timespec times[2] = {{983973909, 0}, {983973909, 0}};   // 2001-03-07 14:05:09 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, root.at("/usr/qvserver/bin/qvrevagent").c_str(), times, 0), 0);
    EXPECT_EQ(text(GetAgentDate, 1), "03/07/01 14:05:09");
}

TEST(NetSnmpClient, LoadsTheInstalledLibraryByName)
{
    // No daemon is asked: the session opens without traffic, as for a host without snmpd.
    auto source = netSnmpSource();
    EXPECT_EQ(source->open(), 0);
}

} // namespace
