// The tunnel and the one message exchange over a scripted channel: retries, the echo check,
// and the open results the channel reports.
#include "scripted_controller.h"

#include "temp_root.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::mgmtctl::test {
namespace {

constexpr uint8_t kApp = 0x18;
constexpr uint8_t kGetDeviceId = 0x01;

TEST(ScriptedChannelExchange, RetriesFailuresAndRefusesAnswersThatDoNotEchoTheRequest)
{
    struct Case {
        const char* name;
        std::vector<ScriptStep> steps;
        int expected;
        std::vector<int> pauses;
    } cases[] = {
        {"failed ioctl, then the answer", {failedIoctl(), answerTo(kApp, kGetDeviceId, {0, 0x20, 0x01})},
         0, {100}},
        {"failed ioctl, driver time-out, then a wrong network function",
         {failedIoctl(), driverResult(MMC_DRIVER_TIMEOUT), answerTo(0x28, kGetDeviceId, {0, 0x20, 0x01})},
         MMC_BAD_DATA, {100, 100}},
        {"a wrong command", {answerTo(kApp, 0x02, {0, 0x20, 0x01})}, MMC_BAD_DATA, {}},
        {"no response bit", {{0, 0, {kApp, kGetDeviceId, 0, 0x20}}}, MMC_BAD_DATA, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qv::test::TempRoot root;
        ScriptedController controller(c.steps);
        ASSERT_EQ(MMC_OpenDevice(), 0);
        unsigned char answer[8];
        std::memset(answer, 0xEE, sizeof answer);
        int length = sizeof answer;
        EXPECT_EQ(MMC_SendRcvMesg(kApp, kGetDeviceId, nullptr, 0, answer, &length), c.expected);
        EXPECT_EQ(controller.pauses(), c.pauses);
        EXPECT_EQ(controller.stepsLeft(), 0u);
        ASSERT_EQ(controller.requests().size(), c.steps.size());
        for (const auto& request : controller.requests()) {
            EXPECT_EQ(request.code, 1u);
            EXPECT_EQ(request.dataOut, (std::vector<uint8_t>{kApp, kGetDeviceId}));
            EXPECT_EQ(request.dataInCapacity, 10u);
        }
        if (c.expected == 0) {
            EXPECT_EQ(length, 3);
            EXPECT_EQ(answer[1], 0x20);
        } else {
            EXPECT_EQ(length, 8);  // nothing reported for an answer that is not ours
            EXPECT_EQ(answer[0], 0xEE);
        }
    }
}

TEST(ScriptedChannelExchange, OpenResultsComeFromTheChannel)
{
    struct Case {
        int openError;
        int expected;
    } cases[] = {{0, 0}, {EBUSY, MMC_DEVICE_BUSY}, {ENODEV, MMC_NO_HARDWARE}, {EACCES, MMC_DRIVER_FAILURE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.openError);
        qv::test::TempRoot root;
        ScriptedController controller({answerTo(kApp, kGetDeviceId, {0})}, c.openError);
        EXPECT_EQ(MMC_OpenDevice(), c.expected);
        unsigned char answer[4];
        int length = sizeof answer;
        // Without an open channel no request reaches the device.
        EXPECT_EQ(MMC_SendRcvMesg(kApp, kGetDeviceId, nullptr, 0, answer, &length) == 0,
                  c.openError == 0);
        EXPECT_EQ(controller.requests().size(), c.openError == 0 ? 1u : 0u);
    }
}

} // namespace
} // namespace qv::mgmtctl::test
