// The direct exchange of a base controller over a scripted controller: its own retry rules
// (completion codes retried, a pause after every exchange) on the library's one exchange, and
// the echo check that exchange makes.
#include "ipm10basecontroller.h"
#include "qvbmc.h"
#include "scripted_controller.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::bmc::test {
namespace {

using qv::mgmtctl::test::answerTo;
using qv::mgmtctl::test::failedIoctl;
using qv::mgmtctl::test::ScriptedController;

constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetDeviceId = 0x01;
constexpr uint8_t kAppFrame = kAppNetFn << 2;

class DirectExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterWithAPI();
        base_.SetIPMICommandRetryMaximum(2);
        base_.SetIPMICommandRetrySleepInterval(500);
        base_.SetPreSMSDataCheckSleep(50);
    }
    void TearDown() override { UnRegisterWithAPI(); }

    qv::test::TempRoot root_;
    CIPM10BaseController base_;
};

TEST_F(DirectExchangeTest, CompletionCodesAndDriverFailuresAreRetriedWithTheControllersPauses)
{
    ScriptedController controller({answerTo(kAppFrame, kGetDeviceId, {0xC3}), failedIoctl(),
                                   answerTo(kAppFrame, kGetDeviceId, {0x00, 0x20, 0x01})});
    unsigned char data[] = {0x11};
    unsigned char answer[8] = {};
    int length = sizeof answer;
    base_.SendReceiveIPMIMessage(kAppNetFn, kGetDeviceId, data, 1, answer, &length);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(answer[1], 0x20);
    EXPECT_EQ(controller.pauses(), (std::vector<int>{50, 500, 50, 500, 50}));
    ASSERT_EQ(controller.requests().size(), 3u);
    EXPECT_EQ(controller.requests()[0].dataOut, (std::vector<uint8_t>{kAppFrame, kGetDeviceId, 0x11}));
}

TEST_F(DirectExchangeTest, AnAnswerThatDoesNotEchoTheRequestIsBadDataAndNotRetried)
{
    for (auto wrong : {answerTo(0x28, kGetDeviceId, {0x00, 0x20}), answerTo(kAppFrame, 0x02, {0x00, 0x20})}) {
        ScriptedController controller({wrong, answerTo(kAppFrame, kGetDeviceId, {0x00, 0x20})});
        unsigned char answer[8];
        std::memset(answer, 0xEE, sizeof answer);
        int length = sizeof answer;
        try {
            base_.SendReceiveIPMIMessage(kAppNetFn, kGetDeviceId, nullptr, 0, answer, &length);
            ADD_FAILURE();
        } catch (CIPMExceptionExport* e) {
            EXPECT_EQ(e->GetErrorCode(), 0xA0020106u);
            EXPECT_STREQ(e->GetCurrentFunction(), "CIPM10BaseController::SendReceiveIPMIMessage");
            EXPECT_STREQ(e->GetFailedInstruction(), "TunnelSendReceive");
            EXPECT_STREQ(e->GetErrorMessage(), "MMC: Device Driver Returned Bad Data (0x0106)");
        }
        EXPECT_EQ(controller.requests().size(), 1u);
        EXPECT_EQ(length, 8);
        EXPECT_EQ(answer[0], 0xEE);
    }
}

} // namespace
} // namespace qv::bmc::test
