// qvmgmtcardd as its own process on the standalone simulator, registering through the stand-in
// component library.
#include <service_process.h>

#include <qvcomponents_standin.h>
#include <card_reader.h>
#include <card_service.h>
#include <identify.h>
#include <registry.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace qv::test;
using namespace std::chrono_literals;

std::string hexOf(uint8_t subType, const std::string& text)
{
    std::string hex;
    char two[3];
    std::snprintf(two, sizeof two, "%02x", subType);
    hex += two;
    for (unsigned char c : text) {
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

class CardServiceTest : public ::testing::Test {
protected:
    void storeModel(uint32_t code) { ASSERT_EQ(SetRegData(kRegKeySpuNum, &code, sizeof code), 0u); }

    void startCard(bool withCard, const char* registerResult = "0") {
        nlohmann::json scenario = defaultScenario();
        auto& satellites = scenario["bmc"]["satellites"];
        if (withCard) {
            auto& records = satellites[1]["fru"]["multiRecords"];
            records.push_back({{"type", 3}, {"data", hexOf(4, "http://10.0.0.40/\r\n")}});
            records.push_back({{"type", 3}, {"data", hexOf(6, "192.168.100.200:8080")}});
        } else {
            satellites.erase(1);
        }
        ASSERT_TRUE(startSimulator(sim, root, scenario));
        storeModel(55);
        service.start(installedPath("mgmtctl/qvmgmtcardd/qvmgmtcardd"), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", logPath()}, {kPeriodEnv, "300"},
                       {kComponentsLogEnv, callsPath()}, {kComponentsRegisterResultEnv, registerResult}});
    }
    std::string logPath() const { return root.path() + "/qv.log"; }
    std::string callsPath() const { return root.path() + "/components.bin"; }
    std::vector<ComponentCall> calls() const {
        const std::string bytes = readWholeFile(callsPath());
        std::vector<ComponentCall> out(bytes.size() / sizeof(ComponentCall));
        if (!out.empty())
            std::memcpy(out.data(), bytes.data(), out.size() * sizeof(ComponentCall));
        return out;
    }

    TempRoot root;
    ChildProcess sim;
    ChildProcess service;
};

TEST_F(CardServiceTest, RegistersOnceThenUpdatesAndStopsOnSigtermOnly)
{
    startCard(true);
    ASSERT_TRUE(eventually([&] { return calls().size() >= 3; }, 120s));
    service.signal(SIGHUP);
    ASSERT_TRUE(eventually([&] { return readWholeFile(logPath()).find("sighup") != std::string::npos; }));
    const size_t before = calls().size();
    ASSERT_TRUE(eventually([&] { return calls().size() > before; }, 60s));   // still running
    EXPECT_EQ(service.stop(), 0);
    EXPECT_NE(readWholeFile(logPath()).find("sigterm received: stopping daemon"), std::string::npos);

    const std::vector<ComponentCall> all = calls();
    EXPECT_STREQ(all[0].szCall, "register");
    const EntityInfo& info = all[0].info;
    EXPECT_STREQ(info.szSysObjID, "1.3.6.1.4.1.93071.5.5.1.1");
    EXPECT_EQ(info.szRelationshipType, 1);
    EXPECT_STREQ(info.szUniqueID, "QVR0000815");
    EXPECT_STREQ(info.szURL, "http://10.0.0.40/");   // cut before the line end
    EXPECT_STREQ(info.szLabelLink, "Remote Control");
    EXPECT_STREQ(info.szIPAddress, "192.168.100.200:808");   // at most 19 characters
    for (size_t i = 1; i < all.size(); ++i) {
        EXPECT_STREQ(all[i].szCall, "update");
        EXPECT_EQ(std::memcmp(&all[i].info, &info, sizeof info), 0);
    }
}

TEST_F(CardServiceTest, AlreadyRegisteredIsUpdatedAtOnce)
{
    startCard(true, "2");
    ASSERT_TRUE(eventually([&] { return calls().size() >= 2; }, 120s));
    EXPECT_EQ(service.stop(), 0);
    const std::vector<ComponentCall> all = calls();
    EXPECT_STREQ(all[0].szCall, "register");
    EXPECT_STREQ(all[1].szCall, "update");
    EXPECT_EQ(std::memcmp(&all[0].info, &all[1].info, sizeof(EntityInfo)), 0);
}

TEST_F(CardServiceTest, WithoutCardNeverRegisters)
{
    startCard(false);
    ASSERT_TRUE(eventually([&] { return calls().size() >= 2; }, 120s));
    EXPECT_EQ(service.stop(), 0);
    for (const ComponentCall& call : calls()) {
        EXPECT_STREQ(call.szCall, "update");
        EXPECT_STREQ(call.info.szURL, "");
        EXPECT_STREQ(call.info.szSysObjID, kCardSysObjID);
    }
}

TEST_F(CardServiceTest, IdentificationFailuresExitOne)
{
    const struct { uint32_t code; const char* message; } cases[] = {
        {0, kMsgNotQvSystem}, {1, kMsgNotSupportedVelkarn}};
    for (const auto& c : cases) {
        if (c.code)
            storeModel(c.code);
        ChildProcess card;
        card.start(installedPath("mgmtctl/qvmgmtcardd/qvmgmtcardd"), {},
                   {{"QV_LOG_FILE", logPath()}}, root.path() + "/out.txt");
        EXPECT_EQ(card.wait(30s), 1);
        EXPECT_EQ(readWholeFile(root.path() + "/out.txt"), c.message);
    }
}

} // namespace
