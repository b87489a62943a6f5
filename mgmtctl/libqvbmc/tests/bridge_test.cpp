// Bridged exchanges of both base controller generations against the simulated satellites.
#include "controller_fixture.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

namespace qv::bmc::test {
namespace {

using Frames = std::vector<std::vector<uint8_t>>;

nlohmann::json busScenario(const char* baseVersion)
{
    return {{"ipmiVersion", baseVersion},
            {"ipmbAbsent", "ignore"},
            {"satellites", {{{"address", "0x22"}, {"ipmiVersion", "1.0"}, {"device", {{"id", 34}}}}}}};
}

class BridgeTest : public ControllerFixture, public ::testing::WithParamInterface<const char*> {
protected:
    // The satellite at 0x22 through a freshly made controller object.
    CIPMControllerExport* satellite()
    {
        startWith(busScenario(GetParam()));
        controller_ = CreateIPMController(0x22, 0, nullptr, 1);
        EXPECT_NE(controller_, nullptr);
        sim_.clearJournal();
        return controller_;
    }
    void TearDown() override
    {
        DestroyIPMController(controller_);
        ControllerFixture::TearDown();
    }
    Frames busWrites()
    {
        Frames out;
        for (const auto& e : sim_.journal())
            if (e.requestCode == qv::sim::kIpmbFrameCode) out.push_back(e.request);
        return out;
    }
    static unsigned codeOf(const std::function<void()>& call, std::string* message = nullptr)
    {
        try {
            call();
        } catch (CIPMExceptionExport* e) {
            if (message) *message = e->GetErrorMessage();
            return e->GetErrorCode();
        }
        return 0;
    }
    bool earlier() const { return std::string(GetParam()) == "0.9"; }
    CIPMControllerExport* controller_ = nullptr;
};

TEST_P(BridgeTest, SequenceNumbersAdvancePerExchangeWithRequesterFieldsSet)
{
    CIPMControllerExport* c = satellite();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(c->GetDeviceId().Ver10.completionCode, 0);
    const Frames writes = busWrites();
    ASSERT_EQ(writes.size(), 3u);
    const int first = writes[0][4] >> 2;
    for (size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i][0], 0x22);
        EXPECT_EQ(writes[i][3], 0x20);           // requester: the baseboard controller
        EXPECT_EQ(writes[i][4] & 3, 2);          // its message LUN
        EXPECT_EQ(writes[i][4] >> 2, (first + static_cast<int>(i)) % 64);
    }
}

TEST_P(BridgeTest, SilentSatelliteGivesSmsDataNotAvailable)
{
    CIPMControllerExport* c = satellite();
    sim_.silenceSatellite(0x22, -1);
    std::string message;
    EXPECT_EQ(codeOf([&] { c->GetDeviceId(); }, &message), 0xA0030000u);
    EXPECT_EQ(message, "SMS data not available");
    // The earlier generation writes again on every retry; the bridged message is sent once.
    EXPECT_EQ(busWrites().size(), earlier() ? 6u : 1u);
    sim_.clearFaults();
}

TEST_P(BridgeTest, AnswersForOtherRequestsAreNeverTaken)
{
    CIPMControllerExport* c = satellite();
    sim_.injectIpmbFault(qv::sim::IpmbFault::WrongSequence, 1000);
    EXPECT_EQ(codeOf([&] { c->GetDeviceId(); }), 0xA0030000u);
    sim_.clearFaults();
    EXPECT_EQ(c->GetDeviceId().Ver10.completionCode, 0);
}

TEST_P(BridgeTest, StaleAnswerAheadOfTheRightOneIsSkippedWithoutAnotherWrite)
{
    CIPMControllerExport* c = satellite();
    ASSERT_EQ(c->GetDeviceId().Ver10.deviceType, 34);
    // The answer to that exchange, dressed as another device, waits in the buffer when the next
    // request goes out: it carries the earlier sequence number and must be passed over.
    std::vector<uint8_t> stale;
    for (const auto& e : sim_.journal())
        if (e.requestCode == qv::sim::kIpmbFrameCode) stale = e.answer;
    ASSERT_GE(stale.size(), 9u);
    stale[6 + 1] = 99;   // device id, after the completion code
    uint8_t sum = 0;
    for (size_t i = 3; i + 1 < stale.size(); ++i) sum = static_cast<uint8_t>(sum + stale[i]);
    stale.back() = static_cast<uint8_t>(-sum);
    sim_.queueSmsMessage(std::vector<uint8_t>(stale.begin() + 1, stale.end()));
    sim_.clearJournal();

    const GLOB_GET_DEVICE_ID_RESPONSE answer = c->GetDeviceId();
    EXPECT_EQ(answer.Ver10.completionCode, 0);
    EXPECT_EQ(answer.Ver10.deviceType, 34);
    EXPECT_EQ(busWrites().size(), 1u);
    // Both answers were taken from the buffer: nothing is left for the next exchange.
    EXPECT_EQ(c->GetDeviceId().Ver10.deviceType, 34);
    EXPECT_EQ(busWrites().size(), 2u);
}

TEST_P(BridgeTest, SatelliteCompletionCodeReachesTheCaller)
{
    CIPMControllerExport* c = satellite();
    sim_.injectSatelliteCompletionCode(0x22, 0x0A, 0x40, 0xC1, 1000);
    EXPECT_EQ(codeOf([&] { c->GetSelInfo(); }), 0xA00200C1u);
    sim_.clearFaults();
    EXPECT_EQ(c->GetSelInfo().Ver10.completionCode, 0);
}

int pausesMade = 0;

TEST_P(BridgeTest, RequestBeyondTheDirectLimitIsRefusedAtOnce)
{
    startWith(busScenario(GetParam()));
    CIPMBaseControllerExport* base = CreateIPMBaseController(5, 500, 50, 3, 10);
    ASSERT_NE(base, nullptr);
    qv::mgmtctl::setPauseHookForTests([](int) { ++pausesMade; });
    // Header, command and checksum around the data: 7 bytes; one more goes ahead of the message
    // in the direct command that carries it, which may hold 26 data bytes.
    struct Case { int requestLength; bool sent; };
    for (const Case c : {Case{26, false}, Case{39, false}, Case{25, true}}) {
        sim_.clearJournal();
        pausesMade = 0;
        ImbI2cRequest request{};
        request.rsSA = 0x22;
        request.netFn = 0x06;
        request.command = 0x01;
        ImbI2cResponse response{};
        int length = sizeof response;
        std::string message;
        const unsigned code = codeOf(
            [&] { base->SendReceiveExternalIPMIMessage(request, c.requestLength, &response, &length); },
            &message);
        SCOPED_TRACE(c.requestLength);
        EXPECT_EQ(busWrites().empty(), !c.sent);
        if (c.sent) continue;   // the satellite's view of the padded request does not matter here
        EXPECT_EQ(code, 0xA0010000u);
        EXPECT_EQ(message, "Request Command Data Length is invalid");
        EXPECT_EQ(pausesMade, 0);
    }
    DestroyIPMBaseController(base);
}

TEST_P(BridgeTest, PackageProbeBroadcastsGetDeviceId)
{
    startWith(busScenario(GetParam()));
    sim_.clearJournal();
    CIPMPackageExport* package = CreateIPMPackage(0x22, 0, nullptr);
    ASSERT_NE(package, nullptr);
    bool broadcast = false;
    for (const auto& w : busWrites())
        if (w.size() == 8 && w[0] == 0x00 && w[1] == 0x22 && w[2] == (0x06 << 2) && w[6] == 0x01) {
            broadcast = true;
            EXPECT_EQ(static_cast<uint8_t>(w[1] + w[2] + w[3]), 0);
            EXPECT_EQ(static_cast<uint8_t>(w[4] + w[5] + w[6] + w[7]), 0);
        }
    EXPECT_TRUE(broadcast);
    EXPECT_EQ(package->GetController()->m_pDeviceId->Ver10.deviceType, 34);
    DestroyIPMPackage(package);
}

INSTANTIATE_TEST_SUITE_P(Generations, BridgeTest, ::testing::Values("1.0", "0.9"));

} // namespace
} // namespace qv::bmc::test
