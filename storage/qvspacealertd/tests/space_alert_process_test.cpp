// qvspacealertd as a process: start-up, signals, being killed at any moment, and the agent
// asking while passes run.
#include "controller_simulator.h"
#include "recording_event_sink.h"
#include "service_process.h"
#include "small_filesystem.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;
using volcaptest::VolcapRoot;

// The service in the foreground with a short pause; stopped with SIGKILL if a test leaves it.
class Daemon {
public:
    Daemon(const VolcapRoot& v, const char* pauseMs)
    {
        const std::string program = qv::test::buildPath("storage/qvspacealertd/tests/qvspacealertd_recording");
        const std::map<std::string, std::string> env = {
            {"QV_FOREGROUND", "1"}, {"QV_SPACEALERTD_PAUSE_MS", pauseMs},
            {"QV_SPACEALERTD_EVENT_LOG", v.root.at("/events")}};
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Daemon()
    {
        if (pid_ > 0) signal(SIGKILL), wait();
    }
    void signal(int signo) const { ::kill(pid_, signo); }
    // Exit status, or 128 + signal.
    int wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

int temporariesIn(const std::string& dir)
{
    int n = 0;
    DIR* d = ::opendir(dir.c_str());
    while (const dirent* e = ::readdir(d)) n += std::strstr(e->d_name, ".tmp.") != nullptr;
    ::closedir(d);
    return n;
}

template <class Condition>
bool waitFor(Condition done, std::chrono::milliseconds limit = 20s)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(SpaceAlertProcess, RaisesEventLogsSignalsAndRemovesItsFilesOnTerm)
{
    VolcapRoot v;
    v.root.writeFile(volcaptest::kDir + "qvvolcap.names", "/\n/home\n");
    // A state left by an earlier run is not read: it goes at start.
    v.root.writeFile(volcaptest::kDir + "qvvolcap.var", "[/]\nVar=1 2\n");
    v.setRootPercent(96);
    Daemon d(v, "100");
    ASSERT_TRUE(waitFor([&] { return v.root.exists("/events"); })) << v.log();
    EXPECT_EQ(v.root.readFile("/events"),
              "00 00 02 00 00 00 00 21 00 02 d2 00 07 22 60 5f /\n");

    d.signal(SIGHUP);
    ASSERT_TRUE(waitFor([&] { return v.log().find("Signal SIGHUP received\n") != std::string::npos; }));
    EXPECT_TRUE(d.running());
    ASSERT_TRUE(v.exists("qvvolcap.var"));
    d.signal(SIGTERM);
    EXPECT_EQ(d.wait(), 0);
    EXPECT_NE(v.log().find("Signal SIGTERM received\n"), std::string::npos);
    EXPECT_FALSE(v.exists("qvvolcap.var"));
    EXPECT_FALSE(v.exists("qvvolcap.names"));
    EXPECT_TRUE(v.exists("_"));   // history outlives the service
}

TEST(SpaceAlertProcess, RefusesWithoutRegistryValuesOrLockFile)
{
    VolcapRoot v;
    v.root.writeFile("/var/qvserver/registry.ini", "");
    Daemon unidentified(v, "100");
    EXPECT_EQ(unidentified.wait(), 1);

    VolcapRoot other;
    // A directory in place of the lock file cannot be opened for writing, not even by root.
    qv::test::makeDirectories(other.root.at(volcaptest::kDir + "qvvolcap.lock"));
    Daemon noLock(other, "100");
    EXPECT_EQ(noLock.wait(), 1);
    EXPECT_NE(other.log().find("Can't open lock file\n"), std::string::npos) << other.log();
}

// Every file stays readable and the newest sample complete, wherever the service is killed.
TEST(SpaceAlertProcess, KilledAtRandomPointsLeavesEveryFileReadable)
{
    VolcapRoot v;
    for (const char* volume : {"/", "/home"}) ASSERT_EQ(WriteCFGSampleTime(volume, 0), 0);
    {
        Daemon first(v, "0");   // a first history, however slowly the machine starts programs
        ASSERT_TRUE(waitFor([&] { return v.exists("_home"); }));
    }
    std::mt19937 random(12345);
    time_t newest[2] = {0, 0};
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        {
            Daemon d(v, "0");
            std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 400));
            d.signal(SIGKILL);
            EXPECT_EQ(d.wait(), 128 + SIGKILL);
        }
        int volume = 0;
        for (const char* name : {"/", "/home"}) {
            sharedInfo state{};
            EXPECT_EQ(ReadSharedVars(name, &state), 0) << v.file("qvvolcap.var");
            int total = 0;
            GetHistStatus(name, nullptr, nullptr, &total);
            for (int i = 0; i < total; ++i) {
                drvSample s{};
                ASSERT_EQ(ReadHistSample(name, i, &s), 0) << name << " sample " << i;
            }
            if (total > 0) {
                drvSample s{};
                ASSERT_EQ(ReadHistSample(name, 0, &s), 0);
                EXPECT_GE(s.ltime, newest[volume]);
                EXPECT_EQ(s.nCapacityTotal, 4000);
                newest[volume] = s.ltime;
            }
            ++volume;
        }
    }
    EXPECT_GT(newest[0], 0);
}

TEST(SpaceAlertProcess, AgentRequestsDuringPassesSeeWholeStates)
{
    VolcapRoot v;
    for (const char* volume : {"/", "/home"}) ASSERT_EQ(WriteCFGSampleTime(volume, 0), 0);
    Daemon d(v, "20");
    const std::string agent = qv::test::installedPath("storage/qvspaceagent/qvspaceagent");
    const std::string samples = ".1.3.6.1.4.1.93071.2.23.15.3.2.1.13.1";
    int last = 0;
    for (int i = 0; i < 8; ++i) {
        const qv::test::ProgramResult r = qv::test::runProgram(agent, {"-g", samples});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        const int count = std::stoi(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1));
        EXPECT_GE(count, last);
        last = count;
        if (count > 0) {
            const qv::test::ProgramResult h =
                qv::test::runProgram(agent, {"-g", ".1.3.6.1.4.1.93071.2.23.15.4.1.1.3.1.1"});
            EXPECT_EQ(h.exitCode, 0) << h.out;
        }
    }
    EXPECT_GT(last, 0);
    d.signal(SIGTERM);
    EXPECT_EQ(d.wait(), 0);
}

// The service goes on on a full disk: what it could not save stays in its memory, so an event it
// raised is not raised again at every pass, and the state reaches the file once there is room.
TEST(SpaceAlertProcess, FullDiskIsLoggedAndTheServiceGoesOn)
{
    VolcapRoot v;
    qv::test::SmallFileSystem disk(v.root.at(volcaptest::kDir), 256);
    if (!disk.mounted()) GTEST_SKIP() << "no small file system of its own here: " << disk.why();
    qv::sim::ControllerSimulator sim;
    sim.start();
    v.setRootPercent(96);
    ASSERT_TRUE(disk.fill());
    qv::test::ChildProcess service;
    service.start(qv::test::installedPath("storage/qvspacealertd/qvspacealertd"), {},
                  {{"QV_FOREGROUND", "1"}, {"QV_SPACEALERTD_PAUSE_MS", "50"}});
    const std::string notSaved = "main() - Problem on saving sharedvars\n";
    ASSERT_TRUE(waitFor([&] { return count(v.log(), notSaved) >= 10; })) << v.log();   // five passes
    EXPECT_TRUE(::waitpid(service.pid(), nullptr, WNOHANG) == 0) << v.log();
    EXPECT_NE(v.log().find("WriteSharedVars() - write error for drive /\n"), std::string::npos) << v.log();
    EXPECT_NE(v.log().find("main() - Problem on saving to history\n"), std::string::npos) << v.log();
    ASSERT_EQ(sim.selEntries().size(), 1u) << "the critical level of / is raised once";

    disk.release();
    ASSERT_TRUE(waitFor([&] { return v.file("qvvolcap.var").find("[/]\nVar=0 ") != std::string::npos; }))
        << v.log();
    EXPECT_NE(v.file("qvvolcap.var").find(" 1 1 1\n[/home]"), std::string::npos) << v.file("qvvolcap.var");
    EXPECT_EQ(service.stop(), 0);
    EXPECT_EQ(sim.selEntries().size(), 1u);
}

// Killed again and again while it rewrites its files, the service leaves temporaries behind;
// its next run removes them as it rewrites those files.
TEST(SpaceAlertProcess, TemporariesOfKilledRunsGoWithTheNextRun)
{
    VolcapRoot v;
    v.setRootPercent(50);
    for (const char* volume : {"/", "/home"}) ASSERT_EQ(WriteCFGSampleTime(volume, 0), 0);
    const std::string program = qv::test::installedPath("storage/qvspacealertd/qvspacealertd");
    const std::map<std::string, std::string> env = {{"QV_FOREGROUND", "1"}, {"QV_SPACEALERTD_PAUSE_MS", "0"}};
    const std::string dir = v.root.at(volcaptest::kDir);
    std::mt19937 random(4040);
    int killsThatLeftSome = 0;
    for (int round = 0; round < 300 && killsThatLeftSome < 3; ++round) {
        qv::test::ChildProcess d;
        d.start(program, {}, env);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 80));
        d.signal(SIGKILL);
        ASSERT_EQ(d.wait(5s), 128 + SIGKILL);
        killsThatLeftSome += temporariesIn(dir) > 0;
    }
    ASSERT_EQ(killsThatLeftSome, 3) << "no kill came during a rewrite";
    int samples = 0;
    GetHistStatus("/home", nullptr, nullptr, &samples);
    qv::test::ChildProcess d;
    d.start(program, {}, env);
    ASSERT_TRUE(waitFor([&] {
        int now = 0;
        GetHistStatus("/home", nullptr, nullptr, &now);
        return now >= samples + 2;   // both volumes rewritten at least once since the start
    })) << v.log();
    EXPECT_EQ(d.stop(), 0);
    EXPECT_EQ(temporariesIn(dir), 0);
}

} // namespace
