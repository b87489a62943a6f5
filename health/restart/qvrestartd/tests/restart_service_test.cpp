// qvrestartd as its own process against the in-process simulated controller: what it arms, how
// it kicks, how it stops, what it refuses, and that the watchdog acts when the kicks stop. The
// Set/Reset Watchdog bytes are read from the simulator's journal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <map>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <vector>

#include "asr_params.h"
#include "controller_simulator.h"
#include "mmcdev_payload.h"
#include "model_code.h"
#include "process_lock.h"
#include "restart_service.h"
#include "sandbox_path.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kAppRequest = 0x06 << 2;
constexpr uint8_t kResetWatchdog = 0x22, kSetWatchdog = 0x24;

// One watchdog command as the controller received it.
struct WatchdogCommand {
    uint64_t timeMs;
    uint8_t command;
    Bytes data;   // request data after netfn and command
};

Bytes setBytes(uint8_t action, uint8_t flagsToClear, uint16_t tenths)
{
    return {0x04, action, 0x00, flagsToClear, static_cast<uint8_t>(tenths), static_cast<uint8_t>(tenths >> 8)};
}

class RestartServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        ASSERT_EQ(AsrSetHWtimeout(300, 0), 1);
        ASSERT_EQ(AsrSetSWpollTime(1, 300, 0), 1);
        ASSERT_EQ(AsrSetTimeoutAction(1, 0), 1);
        ASSERT_EQ(AsrSetMaxASRCount(1, 0), 1);
        ASSERT_EQ(AsrSetCurASRCount(0, 0), 1);
    }
    void startController()
    {
        qv::test::makeDirectories(root.at("/var/qvsim"));
        sim.serveIpmiDummy(root.at("/var/qvsim/ipmi_dummy.socket"));
        sim.start();
    }
    void startService(std::map<std::string, std::string> env = {})
    {
        env.insert({{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.at("/qvrestartd.log")}});
        service.start(qv::test::installedPath("health/restart/qvrestartd/qvrestartd"), {}, env,
                      root.at("/qvrestartd.out"));
    }
    std::vector<WatchdogCommand> commands() const
    {
        std::vector<WatchdogCommand> out;
        for (const auto& e : sim.journal())
            if (e.requestCode == qv::devsock::mmcdev::kSendReceive && e.request.size() >= 2 &&
                e.request[0] == kAppRequest && (e.request[1] == kResetWatchdog || e.request[1] == kSetWatchdog))
                out.push_back({e.timeMs, e.request[1], Bytes(e.request.begin() + 2, e.request.end())});
        return out;
    }
    size_t resets() const
    {
        size_t n = 0;
        for (const auto& c : commands()) n += c.command == kResetWatchdog;
        return n;
    }
    bool waitForResets(size_t count, std::chrono::milliseconds timeout = 30s) const
    {
        return qv::test::eventually([&] { return resets() >= count; }, timeout);
    }
    std::string log() const { return root.exists("/qvrestartd.log") ? root.readFile("/qvrestartd.log") : ""; }
    bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }
    // The last command is the stop: no action, 600 s, never started again.
    void expectStoppedLast() const
    {
        const auto all = commands();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().command, kSetWatchdog);
        EXPECT_EQ(all.back().data, setBytes(0, 0, 6000));
        EXPECT_FALSE(sim.watchdog().running);
    }
    // The first Set Watchdog since the journal was cleared (a Reset may come before it).
    Bytes nextSet() const
    {
        Bytes data;
        qv::test::eventually([&] {
            for (const auto& c : commands())
                if (c.command == kSetWatchdog) {
                    data = c.data;
                    return true;
                }
            return false;
        });
        return data;
    }
    void sendRaw(const void* data, size_t size) const
    {
        sockaddr_un address{};
        ASSERT_TRUE(qv::makeUnixAddress(qv::sandboxPath(kKickTimerSocketPath), address));
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        EXPECT_EQ(::sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(size));
        ::close(fd);
    }
    int tell(AGT_MSG_TYPE type, int value)
    {
        int32_t data = value;
        return CommunicateWithAsrSrvc(type, &data);
    }

    qv::test::TempRoot root;
    qv::sim::ControllerSimulator sim;
    qv::test::ChildProcess service;
};

TEST_F(RestartServiceTest, StartCountsWatchdogRestartsAndArmsTheConfiguredAction)
{
    struct Case {
        const char* what;
        uint8_t flags;   // timer use expiration flags left by the last restart
        int maxCount, curCount, action;
        uint8_t armedAction, flagsCleared;
        int countAfter;
    };
    const Case cases[] = {
        {"watchdog restart, limit reached", 0x10, 1, 0, 1, 0, 0x10, 1},
        {"watchdog restart, no limit", 0x10, 0, 2, 3, 3, 0x10, 3},
        {"watchdog restart, below the limit", 0x10, 3, 0, 1, 1, 0x10, 1},
        {"other restart", 0x00, 1, 0, 1, 1, 0x00, 0},
    };
    startController();
    for (const Case& c : cases) {
        ASSERT_EQ(AsrSetMaxASRCount(c.maxCount, 0), 1);
        ASSERT_EQ(AsrSetCurASRCount(c.curCount, 0), 1);
        ASSERT_EQ(AsrSetTimeoutAction(c.action, 0), 1);
        sim.setWatchdogFlags(c.flags);
        sim.clearJournal();
        root.writeFile("/qvrestartd.log", "");
        startService();
        ASSERT_TRUE(waitForResets(2)) << c.what << "\n" << log();
        const auto all = commands();
        ASSERT_GE(all.size(), 4u);
        EXPECT_EQ(all[0].command, kSetWatchdog) << c.what;
        EXPECT_EQ(all[0].data, setBytes(c.armedAction, c.flagsCleared, 3000)) << c.what;
        EXPECT_EQ(all[1].command, kResetWatchdog) << c.what;
        EXPECT_EQ(sim.watchdog().expirationFlags, c.flags & ~c.flagsCleared) << c.what;
        int count = -1;
        EXPECT_TRUE(AsrGetCurASRCount(&count));
        EXPECT_EQ(count, c.countAfter) << c.what;
        // The kicks keep the action the start chose.
        EXPECT_EQ(all[2].data, setBytes(c.armedAction, 0, 3000)) << c.what;

        service.signal(SIGTERM);
        EXPECT_EQ(service.wait(20s), 0) << c.what;
        expectStoppedLast();
        EXPECT_TRUE(logged("Signal SIGTERM received\nqvrestartd: service exiting...\n")) << log();
    }
}

TEST_F(RestartServiceTest, KicksEveryPollPeriodAndAppliesCheckedMessages)
{
    startController();
    startService();
    ASSERT_TRUE(waitForResets(5)) << log();
    auto all = commands();
    for (size_t i = 0; i + 1 < all.size(); i += 2) {   // Set then Reset: arming, then each kick
        EXPECT_EQ(all[i].command, kSetWatchdog) << i;
        EXPECT_EQ(all[i + 1].command, kResetWatchdog) << i;
        if (i >= 4) {   // the loop's first kick follows the arming at once
            const uint64_t gap = all[i].timeMs - all[i - 2].timeMs;
            EXPECT_GE(gap, 950u) << i;
            EXPECT_LE(gap, 5000u) << i;
        }
    }

    ASSERT_EQ(tell(HWTIMEOUT_AGT_MSG, 900), 1) << log();
    EXPECT_TRUE(logged("New hwtimeout = 900\n"));
    sim.clearJournal();
    EXPECT_EQ(nextSet(), setBytes(1, 0, 9000));

    // Unanswered: a message of another type and values that would arm a wrong countdown.
    qv::test::ScopedEnv shortWait("QV_ASR_REPLY_MS", "700");
    EXPECT_EQ(tell(NULL_MSG, 0), 0);
    EXPECT_EQ(tell(HWTIMEOUT_AGT_MSG, 7000), 0);
    EXPECT_EQ(tell(HWTIMEOUT_AGT_MSG, 200), 0);
    EXPECT_EQ(tell(SWPOLLTIME_AGT_MSG, -1), 0);
    EXPECT_EQ(tell(ACTION_AGT_MSG, 2), 0);
    EXPECT_TRUE(logged("asrKickTimer() - refused hwtimeout = 7000\n"));
    EXPECT_TRUE(logged("asrKickTimer() - refused polltime = -1\n"));
    EXPECT_TRUE(logged("asrKickTimer() - refused action = 2\n"));
    sim.clearJournal();
    EXPECT_EQ(nextSet(), setBytes(1, 0, 9000)) << "refused values change nothing";

    // A datagram that is not one message is dropped, whatever it starts with.
    for (const size_t size : {size_t{4}, size_t{9}}) {
        const int32_t bytes[3] = {SWPOLLTIME_AGT_MSG, 0, 0};
        sendRaw(bytes, size);
        EXPECT_TRUE(qv::test::eventually(
            [&] { return logged("dropped a message of " + std::to_string(size) + " bytes"); }, 10s))
            << log();
    }

    // A kick that fails is logged and the kicking goes on.
    sim.failNextOpens(1, ENODEV);
    ASSERT_TRUE(qv::test::eventually([this] { return logged("openMMC() - open mmc device failed (MMC error code = 259)\n"); }))
        << log();
    ASSERT_TRUE(waitForResets(resets() + 2));

    ASSERT_EQ(tell(ACTION_AGT_MSG, 3), 1);
    EXPECT_TRUE(logged("New action = 3\n"));
    sim.clearJournal();
    EXPECT_EQ(nextSet(), setBytes(3, 0, 9000));

    // A poll time of 0 is answered and ends the service with the watchdog stopped.
    ASSERT_EQ(tell(SWPOLLTIME_AGT_MSG, 0), 1);
    EXPECT_EQ(service.wait(20s), 0);
    EXPECT_TRUE(logged("New polltime = 0\n"));
    expectStoppedLast();
    EXPECT_FALSE(root.exists(kKickTimerSocketPath));
}

TEST_F(RestartServiceTest, TheWatchdogActsWhenTheKicksStopAndNeverWhileTheyGoOn)
{
    startController();
    startService();
    ASSERT_TRUE(waitForResets(1)) << log();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(waitForResets(resets() + 1));   // a kick after the last jump
        sim.advanceClock(200000);                   // two thirds of the countdown
    }
    EXPECT_TRUE(sim.watchdogActions().empty());

    // Stopped between the Set and the Reset of a kick, the countdown would not run: catch the
    // service between two kicks.
    for (int tries = 0; tries < 20; ++tries) {
        service.signal(SIGSTOP);
        std::this_thread::sleep_for(50ms);
        if (sim.watchdog().running) break;
        service.signal(SIGCONT);
        std::this_thread::sleep_for(30ms);
    }
    ASSERT_TRUE(sim.watchdog().running);
    sim.advanceClock(301000);
    const auto actions = sim.watchdogActions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].action, 1);   // hard reset
    EXPECT_EQ(sim.watchdog().expirationFlags, 0x10);

    service.signal(SIGCONT);
    service.signal(SIGINT);
    EXPECT_EQ(service.wait(20s), 0);
    EXPECT_TRUE(logged("Signal SIGINT received\n"));
    expectStoppedLast();
}

// In the background the service's files are its own: members of the group of /var/qvserver
// could otherwise stop the watchdog or change its action through the socket.
TEST_F(RestartServiceTest, DetachedServiceKeepsItsSocketToItself)
{
    startController();
    qv::test::ScopedEnv attached("QV_FOREGROUND", nullptr);
    service.start(qv::test::installedPath("health/restart/qvrestartd/qvrestartd"), {},
                  {{"QV_LOG_FILE", root.at("/qvrestartd.log")}});
    ASSERT_EQ(service.wait(20s), 0);   // the starter ends at once
    const std::string socketPath = root.at(kKickTimerSocketPath);
    struct stat st {};
    ASSERT_TRUE(qv::test::eventually([&] { return ::stat(socketPath.c_str(), &st) == 0; }, 20s)) << log();
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    // A poll time of 0 ends the detached service.
    ASSERT_EQ(tell(SWPOLLTIME_AGT_MSG, 0), 1) << log();
    EXPECT_TRUE(qv::test::eventually([&] { return logged("New polltime = 0\n") && !root.exists(kKickTimerSocketPath); }, 20s));
    EXPECT_TRUE(qv::test::eventually([&] {
        const auto all = commands();
        return !all.empty() && all.back().command == kSetWatchdog && all.back().data == setBytes(0, 0, 6000);
    }, 20s));
}

// The simulator's clock frozen, then moved on `factor` times as fast as real time by a thread of
// its own, so a countdown of minutes runs out within seconds.
class FastClock {
public:
    FastClock(qv::sim::ControllerSimulator& sim, int factor) : sim_(sim)
    {
        sim_.setClock(1000000);
        pump_ = std::thread([this, factor] {
            const auto start = std::chrono::steady_clock::now();
            uint64_t movedMs = 0;
            while (!stop_) {
                std::this_thread::sleep_for(5ms);
                const auto realUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now() - start).count();
                const uint64_t targetMs = static_cast<uint64_t>(realUs) * factor / 1000;
                sim_.advanceClock(static_cast<uint32_t>(targetMs - movedMs));
                movedMs = targetMs;
            }
        });
    }
    ~FastClock()
    {
        stop_ = true;
        pump_.join();
    }
    // Waits until the simulated clock has moved `seconds` on from now.
    void pass(uint32_t seconds) const
    {
        const uint32_t until = sim_.clockSeconds() + seconds;
        while (sim_.clockSeconds() < until) std::this_thread::sleep_for(10ms);
    }

private:
    qv::sim::ControllerSimulator& sim_;
    std::atomic<bool> stop_{false};
    std::thread pump_;
};

TEST_F(RestartServiceTest, KicksInTimeWhateverPollTimeAndTimeoutAreStored)
{
    // Settings the tools accept: the poll time set below the timeout, then the timeout lowered
    // (qvrestartctl /p, then /t) before the start, or by the agent while the service runs.
    struct Case {
        const char* what;
        int hwTimeout, pollTime;
        const char* loweredBySet;   // the agent's new timeout once the service runs, or nullptr
    };
    const Case cases[] = {
        {"poll time above the timeout", 300, 400, nullptr},
        {"poll time equal to the timeout", 300, 300, nullptr},
        {"timeout lowered under the poll time while the service runs", 600, 400, "300"},
    };
    startController();
    // The service's seconds last 10 ms, the simulator's 10 ms too.
    const FastClock clock(sim, 100);
    const std::string agent = qv::test::installedPath("health/restart/qvrestartagent/qvrestartagent");
    for (const Case& c : cases) {
        ASSERT_EQ(AsrSetHWtimeout(600, 0), 1);
        ASSERT_EQ(AsrSetSWpollTime(c.pollTime, 600, 0), 1);
        ASSERT_EQ(AsrSetHWtimeout(c.hwTimeout, 0), 1);
        sim.setWatchdogFlags(0);   // as after a start by power-on: the action stays a reset
        const size_t actionsBefore = sim.watchdogActions().size();
        root.writeFile("/qvrestartd.log", "");
        startService({{kRestartSecondMsEnv, "10"}});
        ASSERT_TRUE(waitForResets(resets() + 2)) << c.what << "\n" << log();
        if (c.loweredBySet != nullptr) {
            const auto r = qv::test::runProgram(agent, {"-s", ".1.3.6.1.4.1.93071.2.23.25.2.3.0", "integer", c.loweredBySet});
            ASSERT_EQ(r.out, "") << c.what << "\n" << log();
            ASSERT_TRUE(logged(std::string("New hwtimeout = ") + c.loweredBySet + "\n")) << log();
        }
        const size_t kicksBefore = resets();
        clock.pass(360);   // past the countdown of 300 s, and past the next kick of an unclamped poll time
        EXPECT_EQ(sim.watchdogActions().size(), actionsBefore) << c.what << "\n" << log();
        EXPECT_GE(resets(), kicksBefore + 2) << c.what;
        EXPECT_TRUE(logged("kicking every 150 s\n")) << c.what << "\n" << log();
        service.signal(SIGTERM);
        EXPECT_EQ(service.wait(20s), 0) << c.what;
        int stored = 0;
        EXPECT_TRUE(AsrGetSWpollTime(&stored));
        EXPECT_EQ(stored, c.pollTime) << "the stored poll time stays as it was";
    }
}

TEST_F(RestartServiceTest, IpmitoolSeesWhatTheServiceArmed)
{
    const std::string ipmitool = "/usr/bin/ipmitool";
    if (::access(ipmitool.c_str(), X_OK) != 0) GTEST_SKIP() << "ipmitool is not installed";
    ASSERT_EQ(AsrSetTimeoutAction(3, 0), 1);
    ASSERT_EQ(AsrSetMaxASRCount(0, 0), 1);
    startController();
    startService();
    ASSERT_TRUE(waitForResets(1)) << log();
    const auto r = qv::test::runProgram(ipmitool, {"-I", "dummy", "mc", "watchdog", "get"},
                                        {{"IPMI_DUMMY_SOCK", root.at("/var/qvsim/ipmi_dummy.socket")}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* text : {"SMS/OS", "Power Cycle", "Started", "300.0 sec"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << " in\n" << r.out;
    service.signal(SIGTERM);
    EXPECT_EQ(service.wait(20s), 0);
}

TEST_F(RestartServiceTest, StartFailuresEndWithTheirTextAndStatus)
{
    // No controller device at all.
    startService();
    EXPECT_EQ(service.wait(60s), 1);
    EXPECT_TRUE(logged("IsMMCMachine() - this is not an MMC machine\n")) << log();

    // The controller refuses a step of the arming: the watchdog is left stopped.
    startController();
    struct Refusal {
        uint8_t command, code;
        std::vector<std::string> texts;
    };
    const Refusal refusals[] = {
        {0x25, 0xC1, {"MMC_GetOSWatchdogTimer() - failed (MMC error code = 193)\n"}},
        {0x24, 0xC0, {"MMC_SetOSWatchdogTimer() - failed (MMC error code = 192)\n", "CheckStartMMCAsrTimer failed\n"}},
        {0x22, 0xC0, {"MMC_ResetOSWatchdogTimer() - failed (MMC error code = 192)\n", "CheckStartMMCAsrTimer failed\n"}},
    };
    for (const Refusal& r : refusals) {
        root.writeFile("/qvrestartd.log", "");
        sim.injectCompletionCode(0x06, r.command, r.code, 1);
        startService();
        EXPECT_EQ(service.wait(30s), 1) << int(r.command);
        for (const std::string& text : r.texts) EXPECT_TRUE(logged(text)) << text << log();
        EXPECT_TRUE(logged("InitMMCAsrTimer() failed \n")) << log();
        expectStoppedLast();
    }

    // The settings cannot be written back while another process holds the registry lock.
    root.writeFile("/qvrestartd.log", "");
    root.writeFile("/var/qvserver/registry.ini", "");
    ASSERT_TRUE(qv::test::storeModelCode(55));
    const int registryLock = qv::lockFileAcquire(root.at("/var/qvserver/registry_SEM"), 1000);
    ASSERT_GE(registryLock, 0);
    sim.clearJournal();
    startService();
    EXPECT_EQ(service.wait(60s), 1);
    qv::lockFileRelease(registryLock);
    EXPECT_TRUE(logged("main() - can\264t get ASR parameters in registry.\n")) << log();
    EXPECT_TRUE(commands().empty()) << "the watchdog was not touched";

    // A poll time of 0 would leave an armed watchdog nobody kicks.
    ASSERT_EQ(AsrSetHWtimeout(300, 0), 1);
    ASSERT_EQ(AsrSetSWpollTime(0, 300, 0), 1);
    root.writeFile("/qvrestartd.log", "");
    startService();
    EXPECT_EQ(service.wait(30s), 0);
    EXPECT_TRUE(logged("SW poll time 0")) << log();
    expectStoppedLast();

    // Not an identified system.
    root.writeFile("/var/qvserver/registry.ini", "");
    startService();
    EXPECT_EQ(service.wait(30s), 1);
    EXPECT_EQ(root.readFile("/qvrestartd.out"), "This system is not an QV system.\n");
}

} // namespace
