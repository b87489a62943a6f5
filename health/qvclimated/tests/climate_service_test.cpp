#include "climate_service.h"
#include "climate_protocol.h"
#include "service_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "controller_simulator.h"
#include "sandbox_path.h"
#include "temp_root.h"

namespace {

class ClimateServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_.loadScenarioFile(QV_SCENARIO_DIR "/default.json");
        sim_.start();
        RegisterWithAPI();
        system_ = CreateIPMSystem();
        ASSERT_NE(system_, nullptr);
        list_.RebuildSensorsList();
        ASSERT_TRUE(socket_.Create(qv::sandboxPath(kClimateSocketPath).c_str()));
        socket_.SetTimeout(300);
    }
    void TearDown() override
    {
        DestroyIPMSystem(system_);
        UnRegisterWithAPI();
        sim_.stop();
    }
    // Serves requests on a thread while the test plays the clients; join() stops it.
    struct Serving {
        explicit Serving(CClimateService& s) : thread([this, &s] { while (!stop) s.ServeOne(); }) {}
        void join() { stop = true; thread.join(); }
        std::atomic<bool> stop{false};
        std::thread thread;
    };
    std::unique_ptr<Serving> serve(int) { return std::make_unique<Serving>(service_); }
    int ask(std::initializer_list<int32_t> fields)
    {
        CServiceClient c(kClimateSocketPath);
        c.Socket().SetTimeout(2000);
        int32_t reply = -1;
        return c.SendFields(fields) && c.ReadReply(&reply, 4) ? reply : -1;
    }
    bool thresholdWritten()
    {
        for (const auto& e : sim_.journal())
            if (e.request.size() >= 2 && (e.request[0] >> 2) == 0x04 && e.request[1] == 0x26) return true;
        return false;
    }
    std::string log() { return root_.exists("/log") ? root_.readFile("/log") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    qv::sim::ControllerSimulator sim_;
    CIPMSystemExport* system_ = nullptr;
    CEnvSensorsList list_{nullptr};
    CSocket socket_;
    CServiceRequestReader reader_{socket_};
    CClimateService service_{list_, nullptr, reader_};
};

TEST_F(ClimateServiceTest, AnswersGetCommandsFromTheSensorLists)
{
    list_ = CEnvSensorsList(system_);
    ASSERT_TRUE(list_.RebuildSensorsList());
    auto t = serve(8);
    EXPECT_EQ(ask({1, 2}), list_.GetCount(2));
    EXPECT_GE(list_.GetCount(2), 1);
    EXPECT_EQ(ask({1, 1}), list_.GetCount(1));
    EXPECT_EQ(ask({1, 4}), 2);                       // the baseboard's fan and the power supply's
    EXPECT_EQ(ask({2, 2, 0}), 2);
    EXPECT_EQ(ask({22, 2, 0}), 1203);                // 191 * 0.063 V in hundredths
    EXPECT_EQ(ask({24, 2, 0}), 0);                   // voltage readings come from 22
    EXPECT_EQ(ask({10, 2, 0}), 1121);                // LNC 178 * 0.063 V
    EXPECT_EQ(ask({21}), 0);                         // no chassis intrusion sensor
    t->join();
}

TEST_F(ClimateServiceTest, RefusedRequestsAreLoggedAndGetNoReply)
{
    auto t = serve(3);
    CServiceClient c(kClimateSocketPath);
    c.Socket().SetTimeout(400);
    int32_t reply = 0;
    ASSERT_TRUE(c.SendFields({1, 3}));
    EXPECT_FALSE(c.ReadReply(&reply, 4));
    CServiceClient d(kClimateSocketPath);
    d.Socket().SetTimeout(400);
    ASSERT_TRUE(d.SendFields({34}));
    EXPECT_FALSE(d.ReadReply(&reply, 4));
    CServiceClient e(kClimateSocketPath);
    e.Socket().SetTimeout(600);
    ASSERT_TRUE(e.SendFields({5, 2}));
    EXPECT_FALSE(e.ReadReply(&reply, 4));
    t->join();
    const std::string l = log();
    EXPECT_NE(l.find("Sensor not supported (cmd : 1)"), std::string::npos) << l;
    EXPECT_NE(l.find("Unknown command: 34"), std::string::npos);
    EXPECT_NE(l.find("Missing Parameters : cmd 5"), std::string::npos);
}

TEST_F(ClimateServiceTest, InterleavedAndRefusedRequestsWriteNoThreshold)
{
    list_ = CEnvSensorsList(system_);
    ASSERT_TRUE(list_.RebuildSensorsList());
    sim_.clearJournal();
    auto t = serve(4);
    CServiceClient a(kClimateSocketPath), b(kClimateSocketPath), bad(kClimateSocketPath);
    for (CServiceClient* c : {&a, &b, &bad}) c->Socket().SetTimeout(2000);
    // A set with an unsupported kind: its index and value must not become a new request.
    ASSERT_TRUE(bad.SendFields({26, 3, 26, 2, 0, 1134}));
    // Two clients' fields interleaved on the socket.
    ASSERT_TRUE(a.SendFields({10}));
    ASSERT_TRUE(b.SendFields({12}));
    ASSERT_TRUE(a.SendFields({2}));
    ASSERT_TRUE(b.SendFields({2}));
    ASSERT_TRUE(a.SendFields({0}));
    ASSERT_TRUE(b.SendFields({0}));
    int32_t ra = 0, rb = 0;
    ASSERT_TRUE(a.ReadReply(&ra, 4));
    ASSERT_TRUE(b.ReadReply(&rb, 4));
    EXPECT_EQ(ra, 1121);   // LNC
    EXPECT_EQ(rb, 1071);   // LC
    t->join();
    EXPECT_FALSE(thresholdWritten());
    EXPECT_NE(log().find("Sensor not supported (cmd : 26)"), std::string::npos);
}

TEST_F(ClimateServiceTest, SetWritesTheThresholdAndReadsItBack)
{
    list_ = CEnvSensorsList(system_);
    ASSERT_TRUE(list_.RebuildSensorsList());
    auto t = serve(3);
    CServiceClient c(kClimateSocketPath);
    uint8_t written = 0;
    ASSERT_TRUE(c.SendFields({26, 2, 0, 1134}));
    ASSERT_TRUE(c.ReadReply(&written, 1));
    EXPECT_EQ(written, 1);
    EXPECT_EQ(ask({10, 2, 0}), 1134);
    ASSERT_TRUE(c.SendFields({26, 2, 0, 99999}));   // outside the sensor's range
    ASSERT_TRUE(c.ReadReply(&written, 1));
    EXPECT_EQ(written, 0);
    t->join();
    EXPECT_TRUE(thresholdWritten());
}

} // namespace

namespace {

// The agent's columns read their commands from the one table; these are the MIB's columns.
TEST(ClimateCommandTableTest, AgentColumnsMapToTheirServiceCommands)
{
    struct Case {
        int column, kind;
        bool set;
        int command;
    };
    const Case cases[] = {
        {2, 2, false, 2},   {5, 4, false, 5},   {6, 2, false, 22},  {7, 2, false, 23},
        {6, 1, false, 24},  {7, 4, false, 25},  {12, 1, false, 10}, {12, 2, true, 26},
        {13, 4, true, 27},  {17, 2, true, 31},  {21, 1, true, 32},  {22, 4, true, 33},
        {18, 2, false, 16}, {20, 1, false, 18}, {2, 2, true, 0},    {6, 2, true, 0},
        {12, 3, false, 0},  {1, 2, false, 0},   {23, 2, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(columnCommand(c.column, c.kind, c.set), c.command)
            << "column " << c.column << " kind " << c.kind << (c.set ? " set" : " get");
    EXPECT_EQ(findClimateCommand(21)->fields, ClimateFields::None);
    EXPECT_EQ(findClimateCommand(1)->fields, ClimateFields::Kind);
    EXPECT_EQ(findClimateCommand(34), nullptr);
}

} // namespace
