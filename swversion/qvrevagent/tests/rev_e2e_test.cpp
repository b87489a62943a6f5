// The software version subtree through the real snmpd: a walk on fixture files, a manual poll
// that reaches a running qvrevscand, and a stale PID that is left alone.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "model_code.h"
#include "private_snmpd.h"
#include "profile.h"
#include "registry.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

const std::string kRev = ".1.3.6.1.4.1.93071.2.23.24";
constexpr char kModuleDir[] = "/lib/modules/6.1.0/kernel/drivers/";
constexpr time_t kFileTime = 1000000000;   // 2001-09-09 01:46:40 UTC

std::string line(const std::string& suffix, const std::string& value)
{
    return kRev + suffix + " = " + value + "\n";
}

bool waitFor(const std::function<bool()>& condition)
{
    for (int waited = 0; waited < 10000; waited += 20) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class RevAgentE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        ASSERT_EQ(SetRegData(swfiles::kVersionRegKey, "A.01.02", 7), 0u);
        root.writeFile("/etc/snmp/snmpd.conf",
                       "pass " + kRev + " /usr/qvserver/bin/qvrevagent\n");
        root.writeFile("/usr/qvserver/etc/qvswa.cfg",
                       "MNGSW\nqvrevscand\n*\nAGENTS qvrevagent *\nSCSI\naic7xxx.ko\n*\nNIC\ne100.ko\n*\n");
        placeFile("/usr/qvserver/bin/qvrevagent", 10);
        root.writeFile("/proc/1/cmdline", std::string("/usr/qvserver/bin/qvrevscand\0", 29));
        root.writeFile("/proc/sys/kernel/osrelease", "6.1.0\n");
        root.writeFile("/proc/modules", "aic7xxx 1 0\n");
        placeFile(std::string(kModuleDir) + "scsi/aic7xxx.ko", 100);
        placeFile(std::string(kModuleDir) + "net/e100.ko", 200);
        root.writeFile(swfiles::kBiosFile, "[BIOSInfo]\nCount=1\n0=System BIOS,1,1.00.07,System BIOS\n");
        snmpd = std::make_unique<qv::e2e::PrivateSnmpd>(
            root.path() + "/snmpd",
            std::vector<qv::e2e::PassLine>{{kRev, qv::test::installedPath("swversion/qvrevagent/qvrevagent")}});
    }
    void TearDown() override
    {
        snmpd.reset();
        for (pid_t pid : children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    void placeFile(const std::string& path, size_t size)
    {
        root.writeFile(path, std::string(size, 'x'));
        const struct timeval times[2] = {{kFileTime, 0}, {kFileTime, 0}};
        ASSERT_EQ(::utimes(root.at(path).c_str(), times), 0);
    }
    pid_t spawn(const std::string& program, const char* name, const char* arg = nullptr)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(program.c_str(), name, arg, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        children.push_back(pid);
        return pid;
    }
    std::string history(const char* key)
    {
        char buffer[256] = {};
        GetPrivateProfileString("RHLog", key, "", buffer, sizeof buffer,
                                root.at(swfiles::kHistoryFile).c_str());
        return buffer;
    }

    qv::test::ScopedEnv utc{"TZ", "UTC"};
    qv::test::TempRoot root;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd;
    std::vector<pid_t> children;
};

TEST_F(RevAgentE2E, WalkShowsEveryTableInOrder)
{
    const qv::test::ProgramResult r = snmpd->walk(kRev);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string date7 = "Hex-STRING: 65 09 09 01 2E 28 00 ";
    const std::string expected =
        line(".1.1.0", "INTEGER: 1") + line(".1.2.0", "INTEGER: 0") +
        line(".2.1.1.1.0", "INTEGER: 0") + line(".2.1.1.1.1", "INTEGER: 1") +
        line(".2.1.1.2.0", "STRING: \"qvrevagent\"") + line(".2.1.1.2.1", "STRING: \"qvrevscand\"") +
        line(".2.1.1.3.0", "STRING: \"10\"") + line(".2.1.1.3.1", "STRING: \"0\"") +
        line(".2.1.1.4.0", date7) + line(".2.1.1.4.1", "Hex-STRING: 00 00 00 00 00 00 00 ") +
        line(".2.1.1.5.0", "INTEGER: 4") + line(".2.1.1.5.1", "INTEGER: 4") +
        line(".2.1.1.6.0", "INTEGER: 1") + line(".2.1.1.6.1", "INTEGER: 2") +
        line(".2.1.1.7.0", "STRING: \"A.01.02\"") + line(".2.1.1.7.1", "STRING: \"A.01.02\"") +
        line(".2.1.1.8.0", "STRING: \"Agent\"") + line(".2.1.1.8.1", "STRING: \"Daemon\"") +
        line(".3.1.1.1.0", "INTEGER: 0") + line(".3.1.1.1.1", "INTEGER: 1") +
        line(".3.1.1.2.0", "STRING: \"aic7xxx.ko\"") + line(".3.1.1.2.1", "STRING: \"e100.ko\"") +
        line(".3.1.1.3.0", "STRING: \"100\"") + line(".3.1.1.3.1", "STRING: \"200\"") +
        line(".3.1.1.4.0", date7) + line(".3.1.1.4.1", date7) +
        line(".3.1.1.5.0", "INTEGER: 4") + line(".3.1.1.5.1", "INTEGER: 1") +
        line(".3.1.1.6.0", "INTEGER: 2") + line(".3.1.1.6.1", "INTEGER: 1") +
        line(".3.1.1.7.0", "STRING: \"6.1.0\"") + line(".3.1.1.7.1", "STRING: \"6.1.0\"") +
        line(".3.1.1.8.0", "STRING: \"SCSI Driver\"") +
        line(".3.1.1.8.1", "STRING: \"Network Interface Card Driver\"") +
        line(".4.1.1.1.0", "INTEGER: 0") + line(".4.1.1.2.0", "STRING: \"System BIOS\"") +
        line(".4.1.1.3.0", "INTEGER: 1") + line(".4.1.1.4.0", "STRING: \"1.00.07\"") +
        line(".4.1.1.5.0", "STRING: \"System BIOS\"") +
        line(".6.0", "STRING: \"A.01.02\"") + line(".7.0", "INTEGER: 1") +
        line(".8.0", "INTEGER: 17") + line(".9.0", "INTEGER: 0") + line(".10.0", "INTEGER: 0");
    EXPECT_EQ(r.out, expected);
}

TEST_F(RevAgentE2E, ManualPollReachesTheRunningServiceAndShowsTheChange)
{
    qv::test::ScopedEnv foreground("QV_FOREGROUND", "1");
    qv::test::ScopedEnv pause("QV_REVSCAND_PAUSE_MS", "20");
    const pid_t service = spawn(qv::test::installedPath("swversion/qvrevscand/qvrevscand"), "qvrevscand");
    ASSERT_TRUE(waitFor([&] { return root.exists(swfiles::kBaselineFile); }));
    ASSERT_TRUE(waitFor([&] { return root.readFile(swfiles::kConfigFile).find(
                                         "PID=" + std::to_string(service)) != std::string::npos; }));
    placeFile(std::string(kModuleDir) + "scsi/aic7xxx.ko", 120);   // replaced by a new build

    const qv::test::ProgramResult set = snmpd->set(kRev + ".9.0", "i", "9913");
    EXPECT_EQ(set.exitCode, 0) << set.err;
    ASSERT_TRUE(waitFor([&] { return !history("0").empty(); }));
    const qv::test::ProgramResult walk = snmpd->walk(kRev + ".5");
    EXPECT_NE(walk.out.find(line(".5.1.1.2.0", "STRING: \"aic7xxx.ko\"")), std::string::npos) << walk.out;
    EXPECT_NE(walk.out.find(line(".5.1.1.3.0", "STRING: \"100\"")), std::string::npos) << walk.out;
    EXPECT_NE(walk.out.find(line(".5.1.1.6.0", "INTEGER: 3")), std::string::npos) << walk.out;
    const qv::test::ProgramResult refused = snmpd->set(kRev + ".9.0", "i", "1");
    EXPECT_NE(refused.err.find("wrongValue"), std::string::npos) << refused.out << refused.err;
}

TEST_F(RevAgentE2E, RecordedPidOfAnotherProcessIsNotSignalled)
{
    const pid_t other = spawn("/bin/sleep", "sleep", "60");
    root.writeFile(swfiles::kConfigFile, "[Polling]\nPID=" + std::to_string(other) + "\n");
    EXPECT_EQ(snmpd->set(kRev + ".7.0", "i", "1").exitCode, 0);    // SIGHUP would end it
    EXPECT_EQ(snmpd->set(kRev + ".10.0", "i", "9913").exitCode, 0); // SIGUSR1 too
    EXPECT_EQ(snmpd->set(kRev + ".9.0", "i", "9913").exitCode, 0);  // SIGUSR2 too
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0);
    EXPECT_EQ(snmpd->get({kRev + ".7.0"}).out, line(".7.0", "INTEGER: 1"));
}

} // namespace
