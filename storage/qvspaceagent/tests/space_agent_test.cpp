// qvspaceagent as snmpd runs it: one request per process against a sandbox root with two
// mounted volumes.
#include "shared_file.h"
#include "volcap_files.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using qv::test::ProgramResult;
using volcaptest::VolcapRoot;

const std::string kBase = ".1.3.6.1.4.1.93071.2.23.15";

ProgramResult agent(const std::vector<std::string>& args)
{
    return qv::test::runProgram(qv::test::installedPath("storage/qvspaceagent/qvspaceagent"), args,
                                {{"TZ", "UTC"}});
}

std::string get(const std::string& oid) { return agent({"-g", kBase + oid}).out; }

ProgramResult set(const std::string& oid, const std::string& value)
{
    return agent({"-s", kBase + oid, "integer", value});
}

// Every instance GETNEXT gives from `from` while the answers stay below `below`.
std::vector<std::string> walk(const std::string& from, const std::string& below)
{
    std::vector<std::string> seen;
    std::string oid = kBase + from;
    for (int guard = 0; guard < 200; ++guard) {
        const ProgramResult r = agent({"-n", oid});
        if (r.exitCode != 0) break;
        oid = r.out.substr(0, r.out.find('\n'));
        if (oid.rfind(kBase + below, 0) != 0) break;
        seen.push_back(oid.substr(kBase.size()) + " " + r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1));
    }
    return seen;
}

TEST(SpaceAgent, BannerAndRegistryFailure)
{
    VolcapRoot v;
    ProgramResult r = agent({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "QVSPACEAGENT - QV Vol Cap SNMP Agent\n\n"
              "Usage: qvspaceagent <cmd> <oid> [ <type> <value> ]\n\nWhere:\n\t<cmd>:\tThe SNMP "
              "command\n\t\t-g:\tSNMP GET command\n\t\t-n:\tSNMP GETNEXT command\n\t\t-s:\tSNMP SET "
              "command (<type> and <value> must be supplied)\n\t<oid>:\tThe object "
              "identifier\n\t<type>:\tThe type of value (integer, counter, gauge, timeticks,\n\t\t"
              "ipaddress, objid or string)\n\t<value>:\tThe new value\n");
    EXPECT_EQ(r.out, "");

}

TEST(SpaceAgent, RefusesWithoutTheRegistryValues)
{
    qv::test::TempRoot root;
    qv::test::ScopedEnv logFile("QV_LOG_FILE", root.at("/qv.log").c_str());
    const uint32_t model = 55;
    SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model);
    const ProgramResult r = agent({"-g", kBase + ".1.1.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(root.readFile("/qv.log").find("Can't get volCap filenames stored in registry\n"),
              std::string::npos);
}

TEST(SpaceAgent, ScalarsAgentRowAndVolumeTable)
{
    VolcapRoot v;
    v.root.writeFile(volcaptest::kDir + "qvvolcap.names", "/old\n/\n");
    EXPECT_EQ(agent({"-n", kBase}).out, kBase + ".1.1.0\ninteger\n1\n");
    EXPECT_EQ(agent({"-n", kBase + ".2.1.1.4.1"}).out, kBase + ".3.1.0\ninteger\n3\n");
    EXPECT_EQ(get(".2.1.1.2.1"), kBase + ".2.1.1.2.1\nstring\nStorage Capacity Agent\n");
    EXPECT_EQ(get(".2.1.1.4.1"), kBase + ".2.1.1.4.1\noctet\n 60 02 17 00 00 00\n");
    EXPECT_EQ(get(".3.2.1.2.1"), kBase + ".3.2.1.2.1\nstring\n/old\n");
    EXPECT_EQ(get(".3.2.1.2.3"), kBase + ".3.2.1.2.3\nstring\n/home\n");
    EXPECT_EQ(v.file("qvvolcap.names"), "/old\n/\n/home\n");
    // /old is not mounted: no capacity, but its settings are served.
    EXPECT_EQ(get(".3.2.1.11.1"), kBase + ".3.2.1.11.1\ninteger\n0\n");
    EXPECT_EQ(get(".3.2.1.12.1"), kBase + ".3.2.1.12.1\ninteger\n0\n");
    EXPECT_EQ(get(".3.2.1.7.1"), kBase + ".3.2.1.7.1\ninteger\n85\n");
    EXPECT_EQ(get(".3.2.1.11.2"), kBase + ".3.2.1.11.2\ninteger\n4000\n");
    EXPECT_EQ(get(".3.2.1.12.2"), kBase + ".3.2.1.12.2\ninteger\n1000\n");
    EXPECT_EQ(get(".3.2.1.13.2"), kBase + ".3.2.1.13.2\ninteger\n0\n");
    EXPECT_EQ(agent({"-g", kBase + ".3.2.1.2.4"}).exitCode, 1);
}

TEST(SpaceAgent, SetsWriteSettingsAndClearLatchesOrChangeNothing)
{
    VolcapRoot v;
    const sharedInfo latched{3, 7, 1, 1, 1};
    ASSERT_EQ(WriteSharedVars("/", &latched), 0);
    const std::string var = v.file("qvvolcap.var");

    for (const char* bad : {"101", "-1"}) {
        const ProgramResult r = set(".3.2.1.6.1", bad);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, "wrong-value\n");   // snmpd reports it as an error
    }
    EXPECT_FALSE(v.exists("qvvolcap.cfg"));
    EXPECT_EQ(v.file("qvvolcap.var"), var);
    EXPECT_NE(v.log().find("setThreshold() - error for index  0\n"), std::string::npos);

    ProgramResult r = set(".3.2.1.6.1", "60");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(v.file("qvvolcap.cfg").find("[/]\nLoThreshold=60\n"), std::string::npos);
    EXPECT_NE(v.file("qvvolcap.var").find("Var=0 7 0 0 0\n"), std::string::npos)
        << v.file("qvvolcap.var");
    EXPECT_EQ(get(".3.2.1.6.1"), kBase + ".3.2.1.6.1\ninteger\n60\n");

    r = set(".3.2.1.3.2", "0");
    EXPECT_NE(v.file("qvvolcap.cfg").find("[/home]\nTrapEnabled=0\n"), std::string::npos);
    r = agent({"-s", kBase + ".3.2.1.2.1", "string", "x"});
    EXPECT_EQ(r.out, "not-writable\n");
    r = agent({"-s", kBase + ".3.2.1.6.1", "string", "50"});
    EXPECT_EQ(r.out, "wrong-type\n");
}

TEST(SpaceAgent, HistoryNewestFirstAndClearedWithTheConfirmationValue)
{
    VolcapRoot v;
    // 2001-02-03 04:05:06 UTC and a second later; / has no history, /home has two samples.
    v.root.writeFile(volcaptest::kDir + "_home",
                     "[/home]\nHistLastEntry=1\nHistOverflow=0\n0=981173106 4000 2000\n"
                     "1=981173107 4000 1000\n");
    EXPECT_EQ(get(".4.1.1.3.2.1"), kBase + ".4.1.1.3.2.1\noctet\n 65 02 03 04 05 07 A0 0F 00 00 E8 03 00 00\n");
    EXPECT_EQ(walk(".4", ".4"),
              (std::vector<std::string>{".4.1.1.1.2.1 2\n", ".4.1.1.1.2.2 2\n", ".4.1.1.2.2.1 1\n",
                                        ".4.1.1.2.2.2 2\n",
                                        ".4.1.1.3.2.1  65 02 03 04 05 07 A0 0F 00 00 E8 03 00 00\n",
                                        ".4.1.1.3.2.2  65 02 03 04 05 06 A0 0F 00 00 D0 07 00 00\n"}));
    EXPECT_EQ(agent({"-g", kBase + ".4.1.1.3.1.1"}).exitCode, 1);
    EXPECT_EQ(agent({"-g", kBase + ".4.1.1.3.2.3"}).exitCode, 1);
    EXPECT_EQ(get(".3.2.1.13.2"), kBase + ".3.2.1.13.2\ninteger\n2\n");

    EXPECT_EQ(set(".3.2.1.14.2", "1").out, "wrong-value\n");
    EXPECT_NE(v.log().find("setDrvClearHist() - use value 9913 to clear history \n"),
              std::string::npos);
    EXPECT_TRUE(v.exists("_home"));
    EXPECT_EQ(set(".3.2.1.14.2", "9913").out, "");
    EXPECT_FALSE(v.exists("_home"));
    EXPECT_EQ(get(".3.2.1.13.2"), kBase + ".3.2.1.13.2\ninteger\n0\n");
    EXPECT_TRUE(walk(".4", ".4").empty());
    EXPECT_EQ(get(".3.2.1.14.2"), kBase + ".3.2.1.14.2\ninteger\n0\n");
}

TEST(SpaceAgent, WaitsForTheLockHeldByAPass)
{
    VolcapRoot v;
    ProgramResult r;
    auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration took{};
    {
        // A child holds the lock like the daemon's pass (record locks do not exclude the
        // process that holds them, so it must be another process).
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            SharedFile lock;
            if (!lock.Open(fileLock) || !lock.Lock()) ::_exit(1);
            if (::write(ready[1], "x", 1) != 1) ::_exit(1);
            ::usleep(600 * 1000);
            ::_exit(0);
        }
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        started = std::chrono::steady_clock::now();
        r = agent({"-g", kBase + ".3.1.0"});
        took = std::chrono::steady_clock::now() - started;
        int status = 0;
        ::waitpid(holder, &status, 0);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    EXPECT_EQ(r.out, kBase + ".3.1.0\ninteger\n2\n");
    EXPECT_GE(took, std::chrono::milliseconds(400));
}

} // namespace
