// The managed software cache: pass lines, daemon list, state from /proc, entry text, age.
#include <gtest/gtest.h>

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "profile.h"
#include "registry.h"
#include "software_cache.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

time_t g_now = 0;
time_t fakeClock() { return g_now; }

constexpr time_t kFileTime = 1000000000;

class SoftwareCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.writeFile("/etc/snmp/snmpd.conf",
                       "# pass lines of the suite\n"
                       "pass .1.3.6.1.4.1.93071.2.23.24 /usr/qvserver/bin/qvrevagent\n"
                       "#pass .1.3.6.1.4.1.93071.2.23.26 /usr/qvserver/bin/qvclimateagent\n"
                       "pass_persist .1.3.6.1.4.1.93071.2.23.7 /usr/qvserver/bin/qvhostagent\n"
                       "  pass .1.3.6.1.4.1.93071.2.23.99 /usr/qvserver/bin/qvrevagent\n"
                       "pass .1.3.6.1.4.1.93071.2.23.18 /opt/qvlanagent \r\n"
                       "pass .1.3.6.1.4.1.93071.2.23.30 /usr/qvserver/bin/notlisted\n");
        root.writeFile("/usr/qvserver/etc/qvswa.cfg",
                       "MNGSW\nqvrevscand\nqvclimated\nqvmissing\n*\n"
                       "AGENTS qvrevagent qvclimateagent qvhostagent qvlanagent *\n");
        root.writeFile("/usr/qvserver/bin/qvrevagent", std::string(10, 'a'));
        const struct timeval times[2] = {{kFileTime, 0}, {kFileTime, 0}};
        ::utimes(root.at("/usr/qvserver/bin/qvrevagent").c_str(), times);
        root.writeFile("/proc/100/cmdline", std::string("/usr/qvserver/bin/qvrevscand\0-f\0", 32));
        root.writeFile("/proc/200/cmdline", std::string("qvclimated\0", 11));   // relative path
        root.writeFile("/proc/201/cmdline", "");
        root.writeFile("/proc/modules", "");
        ASSERT_EQ(SetRegData(swfiles::kVersionRegKey, "A.01.02", 7), 0u);
    }

    std::string cacheKey(const char* key)
    {
        char buffer[512] = {};
        GetPrivateProfileString("Software", key, "<none>", buffer, sizeof buffer,
                                root.at(swfiles::kCacheFile).c_str());
        return buffer;
    }

    void setCacheTime(time_t when)
    {
        const struct timeval times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimes(root.at(swfiles::kCacheFile).c_str(), times), 0);
    }

    qv::test::TempRoot root;
};

TEST_F(SoftwareCacheTest, AgentsFromPassLinesThenListedDaemons)
{
    SoftwareCache cache;
    ASSERT_EQ(cache.getCacheEntryCount(), 5u);
    struct tm t {};
    localtime_r(&kFileTime, &t);
    const std::string date = std::to_string(t.tm_year) + " " + std::to_string(t.tm_mon + 1) + " " +
                             std::to_string(t.tm_mday) + " " + std::to_string(t.tm_hour) + " " +
                             std::to_string(t.tm_min) + " " + std::to_string(t.tm_sec);
    EXPECT_EQ(cacheKey("total"), "5");
    EXPECT_EQ(cacheKey("0"), "qvrevagent;10;" + date + ";4;1;A.01.02;Agent;");
    EXPECT_EQ(cacheKey("1"), "qvlanagent;0;0 0 0 0 0 0;4;1;A.01.02;Agent;");
    EXPECT_EQ(cacheKey("2"), "qvrevscand;0;0 0 0 0 0 0;4;2;A.01.02;Daemon;");
    EXPECT_EQ(cacheKey("3"), "qvclimated;0;0 0 0 0 0 0;1;2;A.01.02;Daemon;");
    EXPECT_EQ(cache.getCacheEntry(0).cacheFullFileName, "/usr/qvserver/bin/qvrevagent");
    EXPECT_EQ(cache.getCacheEntry(1).cacheFullFileName, "/opt/qvlanagent");
    EXPECT_EQ(cacheKey("4"), "qvmissing;0;0 0 0 0 0 0;1;2;A.01.02;Daemon;");
    EXPECT_EQ(cacheKey("5"), "<none>");
}

TEST_F(SoftwareCacheTest, RebuildsOnlyAfterThirtySeconds)
{
    SoftwareCache first;
    setCacheTime(kFileTime);
    root.writeFile("/usr/qvserver/etc/qvswa.cfg", "MNGSW\nqvrevscand\n*\n");
    g_now = kFileTime + 30;
    SoftwareCache fresh(fakeClock);
    EXPECT_FALSE(fresh.needCache());
    EXPECT_EQ(cacheKey("total"), "5");
    g_now = kFileTime + 31;
    SoftwareCache stale(fakeClock);
    EXPECT_EQ(cacheKey("total"), "1");
    EXPECT_EQ(cacheKey("0"), "qvrevscand;0;0 0 0 0 0 0;4;2;A.01.02;Daemon;");
    EXPECT_EQ(cacheKey("3"), "qvclimated;0;0 0 0 0 0 0;1;2;A.01.02;Daemon;");   // left, hidden
}

TEST_F(SoftwareCacheTest, SnmpdConfWithoutPassLinesKeepsDaemonsUnreadableKeepsOldCache)
{
    root.writeFile("/etc/snmp/snmpd.conf", "rocommunity public\n");
    SoftwareCache cache;
    EXPECT_EQ(cacheKey("total"), "3");
    EXPECT_EQ(cacheKey("0"), "qvrevscand;0;0 0 0 0 0 0;4;2;A.01.02;Daemon;");

    ::unlink(root.at("/etc/snmp/snmpd.conf").c_str());
    g_now = 0;
    SoftwareCache rebuilder(fakeClock);
    g_now = std::time(nullptr) + 1000;
    EXPECT_TRUE(rebuilder.needCache());
    EXPECT_FALSE(rebuilder.updateCache());
    EXPECT_EQ(cacheKey("total"), "3");
}

// A configuration that cannot be read (here a directory) is an error like a missing one: the
// agent logs it and leaves the cache as it was, instead of rebuilding it with the daemons only.
TEST_F(SoftwareCacheTest, UnreadableSnmpdConfIsLoggedAndKeepsTheCache)
{
    SoftwareCache first;
    ASSERT_EQ(cacheKey("total"), "5");
    setCacheTime(kFileTime);
    ::unlink(root.at("/etc/snmp/snmpd.conf").c_str());
    qv::test::makeDirectories(root.at("/etc/snmp/snmpd.conf"));
    const qv::test::ProgramResult r =
        qv::test::runProgram(qv::test::installedPath("swversion/qvrevagent/qvrevagent"),
                             {"-g", ".1.3.6.1.4.1.93071.2.23.24.1.0"}, {{"QV_LOG_FILE", root.at("/agent.log")}});
    EXPECT_LT(r.exitCode, 128) << r.err;
    EXPECT_EQ(root.exists("/agent.log") ? root.readFile("/agent.log") : "",
              "qvrevagent: system(AGENT_CMD AGENT_FILE) error\n");
    EXPECT_EQ(cacheKey("total"), "5");
    EXPECT_EQ(cacheKey("1"), "qvlanagent;0;0 0 0 0 0 0;4;1;A.01.02;Agent;");
}

TEST_F(SoftwareCacheTest, ConcurrentRebuildsLeaveAWholeCache)
{
    SoftwareCache first;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            SoftwareCache builder(fakeClock);
            for (int i = 0; i < 40; ++i)
                if (!builder.updateCache() || !builder.saveToFile()) ::_exit(1);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    int checks = 0;
    for (bool running = true; running; ++checks) {
        std::string text = root.readFile(swfiles::kCacheFile);
        ASSERT_NE(text.find("total=5\n"), std::string::npos) << text;
        ASSERT_NE(text.find("\n4=qvmissing;"), std::string::npos) << text;
        running = false;
        for (pid_t pid : children) running = running || ::waitpid(pid, nullptr, WNOHANG) == 0;
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    EXPECT_GT(checks, 1);
}

} // namespace
