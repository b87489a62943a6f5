// The shutdown service on the simulated controller, with a stand-in restart command below the
// root that records each run.
#include "shutdown_service.h"

#include "event_log_simulator.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <thread>

namespace {

using qv::test::ChildProcess;

Sel record(uint8_t version, uint8_t trigger, uint8_t data1, uint8_t sensorType = 0xC9)
{
    Sel r{};
    r.recordType = 2;
    r.generatorId = 0x20;
    r.eventVersion = version;
    r.sensorType = sensorType;
    r.sensorNumber = 1;
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    return r;
}

TEST(ShutdownEvent, OnlyTheTwoFormsOfOffsetsSevenAndEight)
{
    struct Case {
        Sel r;
        bool shutdown;
    };
    const Case cases[] = {
        {record(3, 0x6F, 0x07), true},
        {record(3, 0x6F, 0xA8), true},   // flag bits above the offset
        {record(2, 0xE7, 0x08), true},
        {record(3, 0x6F, 0x06), false},
        {record(3, 0x6F, 0x08, 0x12), false},
        {record(2, 0x6F, 0x08), false},
        {record(3, 0xE7, 0x07), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsShutdownEvent(c.r), c.shutdown) << int(c.r.eventVersion) << " " << int(c.r.eventData1);
}

class ShutdownService : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A shutdown request already in the log before the service starts: never acted on.
        nlohmann::json scenario = qv::test::defaultScenario();
        scenario["bmc"].erase("clock");   // real time: records written later carry later seconds
        ASSERT_TRUE(qv::test::startEmptyLogSimulator(sim_, root_, scenario));
        Sel old = record(3, 0x6F, 0x08);
        ASSERT_EQ(QVEL_WriteEvent(&old, nullptr), 0);
        root_.writeFile(kShutdownCommand,
                        "#!/bin/sh\nroot=\"$(dirname \"$0\")/..\"\necho \"$*\" >> \"$root/shutdown.calls\"\n");
        ::chmod(root_.at(kShutdownCommand).c_str(), 0755);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));   // later records get a later second
        service_.start(qv::test::installedPath("health/qvshutdownd/qvshutdownd"), {},
                       {{"QV_FOREGROUND", "1"}, {kShutdownSecondMsEnv, "50"}});
    }
    void TearDown() override
    {
        service_.stop();
        sim_.stop();
    }
    std::string calls() const { return root_.exists("/shutdown.calls") ? root_.readFile("/shutdown.calls") : ""; }
    std::string log() const { return root_.exists("/log") ? root_.readFile("/log") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    ChildProcess sim_, service_;
};

TEST_F(ShutdownService, ANewRequestRunsTheCommandOnceAndNothingElseDoes)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    for (Sel r : {record(3, 0x6F, 0x06), record(2, 0x6F, 0x08)}) ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    // A record whose text tries to start a shutdown record's line of its own.
    Sel plain = record(3, 0x6F, 0x01, 0x12);
    std::string forged = "x\n14 00 02 00 00 00 00 20 00 03 c9 01 6f 08 ff ff";
    ASSERT_EQ(QVEL_WriteEvent(&plain, forged.data()), 0);
    Sel request = record(3, 0x6F, 0x08);
    ASSERT_EQ(QVEL_WriteEvent(&request, nullptr), 0);
    ASSERT_TRUE(qv::test::eventually([&] { return !calls().empty(); }, std::chrono::seconds(20)))
        << log() << qv::test::readWholeFile(GetSoftLogFile()) << qv::test::runIpmitool(root_, {"sel", "info"}).out
        << qv::test::runIpmitool(root_, {"sel", "list"}).out;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(calls(), "-t 15 -r now\n");
    service_.signal(SIGTERM);
    EXPECT_EQ(service_.wait(std::chrono::seconds(20)), 0);
    EXPECT_NE(log().find("Signal SIGTERM received\n"), std::string::npos) << log();
    EXPECT_NE(log().find("service exiting...\n"), std::string::npos);
}

// Each record read costs the service one of its seconds and a request one more before the
// command: ten records waiting ahead of a request delay it by at least eleven.
TEST_F(ShutdownService, WaitingRecordsPaceTheRequest)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        Sel r = record(3, 0x6F, 0x01, 0x12);
        ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    }
    Sel request = record(3, 0x6F, 0x07);
    ASSERT_EQ(QVEL_WriteEvent(&request, nullptr), 0);
    ASSERT_TRUE(qv::test::eventually([&] { return !calls().empty(); }, std::chrono::seconds(20))) << log();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(11 * 50));
    EXPECT_EQ(calls(), "-t 15 -r now\n");
}

TEST_F(ShutdownService, AnOldRequestNeverRunsIt)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(600));   // time to read the old record
    EXPECT_EQ(calls(), "");
}

// In the background the service creates nothing others may read: the restart command it runs
// shows the mask it inherits.
TEST_F(ShutdownService, DetachedServiceCreatesFilesForItsOwnerOnly)
{
    service_.stop();
    root_.writeFile("/log", "");
    root_.writeFile(kShutdownCommand,
                    "#!/bin/sh\nroot=\"$(dirname \"$0\")/..\"\necho \"$(umask) $PPID\" >> \"$root/shutdown.calls\"\n");
    ::chmod(root_.at(kShutdownCommand).c_str(), 0755);
    qv::test::ScopedEnv attached("QV_FOREGROUND", nullptr);
    ChildProcess starter;
    starter.start(qv::test::installedPath("health/qvshutdownd/qvshutdownd"), {}, {{kShutdownSecondMsEnv, "50"}});
    ASSERT_EQ(starter.wait(std::chrono::seconds(20)), 0);   // the starter ends at once
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    Sel request = record(3, 0x6F, 0x08);
    ASSERT_EQ(QVEL_WriteEvent(&request, nullptr), 0);
    ASSERT_TRUE(qv::test::eventually([&] { return !calls().empty(); }, std::chrono::seconds(20))) << log();
    const std::string call = calls();
    const pid_t service = std::atoi(call.substr(call.find(' ') + 1).c_str());
    ASSERT_GT(service, 1) << call;
    ::kill(service, SIGTERM);
    EXPECT_EQ(call.substr(0, call.find(' ')), "0077");
    EXPECT_TRUE(qv::test::eventually([&] { return log().find("service exiting...") != std::string::npos; },
                                     std::chrono::seconds(20))) << log();
}

} // namespace
