// qvrevscand as a process: start-up, signals acted on by its loop, and every writer of the
// shared files at once.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <set>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "agent_frontend.h"
#include "model_code.h"
#include "profile.h"
#include "registry.h"
#include "rev_objects.h"
#include "rev_scanner.h"
#include "scan_service_signal.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

constexpr char kModule[] = "/lib/modules/6.1.0/kernel/drivers/scsi/aic7xxx.ko";

bool waitFor(const std::function<bool()>& condition, int ms = 10000)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

class ScanServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        root.writeFile("/proc/sys/kernel/osrelease", "6.1.0\n");
        root.writeFile("/usr/qvserver/etc/qvswa.cfg", "SCSI\naic7xxx.ko\n*\n");
        replaceModule(100);
    }
    void TearDown() override
    {
        if (service > 0) {
            ::kill(service, SIGTERM);   // its default action ends it
            int status = 0;
            ::waitpid(service, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        }
    }
    void replaceModule(size_t size)
    {
        root.writeFile(kModule, std::string(size, 'm'));
    }
    std::string read(const char* file, const char* section, const char* key)
    {
        char buffer[256] = {};
        GetPrivateProfileString(section, key, "", buffer, sizeof buffer, root.at(file).c_str());
        return buffer;
    }
    void start()
    {
        service = ::fork();
        if (service == 0) {
            const std::string program = qv::test::installedPath("swversion/qvrevscand/qvrevscand");
            ::execl(program.c_str(), "qvrevscand", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_TRUE(waitFor([&] { return root.exists(swfiles::kBaselineFile); }));
    }

    qv::test::TempRoot root;
    qv::test::ScopedEnv foreground{"QV_FOREGROUND", "1"};
    qv::test::ScopedEnv pause{"QV_REVSCAND_PAUSE_MS", "20"};
    pid_t service = -1;
};

TEST_F(ScanServiceTest, RecordsPidAndActsOnSignalsBetweenPasses)
{
    start();
    EXPECT_EQ(read(swfiles::kConfigFile, "Polling", "PID"), std::to_string(service));
    EXPECT_TRUE(processIsScanService(service));

    // Polling off: a manual poll waits until polling is on again.
    root.writeFile(swfiles::kConfigFile, "[Polling]\nState=0\nPID=" + std::to_string(service) + "\n");
    ::kill(service, SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    replaceModule(150);
    ::kill(service, SIGUSR2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(root.exists(swfiles::kHistoryFile));
    WritePrivateProfileString("Polling", "State", "1", root.at(swfiles::kConfigFile).c_str());
    ::kill(service, SIGHUP);
    ASSERT_TRUE(waitFor([&] { return !read(swfiles::kHistoryFile, "RHLog", "0").empty(); }));
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "Count"), "1");
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "0").rfind("aic7xxx.ko,100,", 0), 0u)
        << root.readFile(swfiles::kHistoryFile);

    // SIGUSR1: history gone, baseline from the current module.
    replaceModule(175);
    ::kill(service, SIGUSR1);
    ASSERT_TRUE(waitFor([&] { return !root.exists(swfiles::kHistoryFile); }));
    ASSERT_TRUE(waitFor([&] {
        return read(swfiles::kBaselineFile, "Drivers", "1").rfind("aic7xxx.ko,175,", 0) == 0;
    }));
    ::kill(service, SIGINT);   // ignored
    ::kill(service, SIGQUIT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(::waitpid(service, nullptr, WNOHANG), 0);
}

TEST_F(ScanServiceTest, UnsupportedModelIsRefused)
{
    ASSERT_TRUE(qv::test::storeModelCode(1));
    const qv::test::ProgramResult r =
        qv::test::runProgram(qv::test::installedPath("swversion/qvrevscand/qvrevscand"), {});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "This system is not a supported QV Velkarn.\n");
    EXPECT_FALSE(root.exists(swfiles::kConfigFile));
}

bool ignoreSignal(pid_t, int) { return true; }

// Agent SETs, service polls and a collector's appends, all at once: every entry keeps its own
// key and "Count" matches, and the settings keep every writer's value.
TEST_F(ScanServiceTest, AllWritersAtOnceLoseNothing)
{
    constexpr int kRounds = 25;
    root.writeFile(swfiles::kConfigFile, "[Polling]\nPID=777\n");
    CRevisionScanner baseline;
    baseline.CreateRevisionHistoryBaseFile(true);

    std::vector<pid_t> writers;
    writers.push_back(::fork());
    if (writers.back() == 0) {   // the agent
        setScanServiceSignaller(ignoreSignal);
        loadObjects();
        for (int i = 0; i < kRounds; ++i) {
            SnmpOid oid;
            oid.parse(i % 2 ? ".1.3.6.1.4.1.93071.2.23.24.8.0" : ".1.3.6.1.4.1.93071.2.23.24.7.0");
            SnmpValue value(SNMP_ACCESS_UNDEF, SNMP_INTEGER);
            value.setValue(i);
            SnmpObject* object = objects.find(oid);
            if (object == nullptr || !object->setValue(value)) ::_exit(1);
        }
        ::_exit(0);
    }
    writers.push_back(::fork());
    if (writers.back() == 0) {   // the service: every poll finds the module changed
        CRevisionScanner scanner;
        for (int i = 0; i < kRounds; ++i) {
            replaceModule(101 + i);
            scanner.UpdateRevisionHistory(std::time(nullptr));
        }
        ::_exit(0);
    }
    writers.push_back(::fork());
    if (writers.back() == 0) {   // the collector
        const swfiles::CLockedProfile collector(nullptr);
        for (int i = 0; i < kRounds; ++i)
            if (swfiles::appendRevisionHistory(collector, "fw" + std::to_string(i) + ",,,4,0,v,d,4",
                                               swfiles::CountOrder::CountFirst) < 0)
                ::_exit(1);
        ::_exit(0);
    }
    for (pid_t pid : writers) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    ASSERT_EQ(read(swfiles::kHistoryFile, "RHLog", "Count"), std::to_string(2 * kRounds));
    std::set<std::string> entries;
    int driverEntries = 0;
    for (int key = 0; key < 2 * kRounds; ++key) {
        const std::string entry = read(swfiles::kHistoryFile, "RHLog", std::to_string(key).c_str());
        ASSERT_FALSE(entry.empty()) << key;
        entries.insert(entry);
        driverEntries += entry.rfind("aic7xxx.ko,", 0) == 0;
    }
    EXPECT_EQ(driverEntries, kRounds);
    for (int i = 0; i < kRounds; ++i) EXPECT_EQ(entries.count("fw" + std::to_string(i) + ",,,4,0,v,d,4"), 1u);
    EXPECT_EQ(read(swfiles::kConfigFile, "Polling", "PID"), "777");
    EXPECT_EQ(read(swfiles::kConfigFile, "Polling", "State"), std::to_string(kRounds - 1 - (kRounds % 2 == 0)));
    EXPECT_EQ(read(swfiles::kConfigFile, "Polling", "Time"), std::to_string(kRounds - 1 - (kRounds % 2)));
}

} // namespace
