// The driver tunnel, the message exchange with its validation and retries, ports and versions.
#include "mgmtctl_fixture.h"

#include <cerrno>
#include <cstring>

namespace qv::mgmtctl::test {
namespace {

using qv::sim::AnswerFault;

constexpr int kAppFrame = 0x18;
constexpr int kGetDeviceId = 0x01;

class TunnelTest : public ControllerTest {};

// ---- open and close ----

struct OpenCase {
    int errnoValue;
    int expected;
};

TEST_F(TunnelTest, OpenMapsTheRefusalOfTheDevice)
{
    const OpenCase cases[] = {{EBUSY, 258}, {ENODEV, 259}, {EACCES, 256}, {ENXIO, 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errnoValue);
        MMC_CloseDevice();
        sim_.failNextOpens(1, c.errnoValue);
        EXPECT_EQ(MMC_OpenDevice(), c.expected);
        EXPECT_EQ(MMC_OpenDevice(), 0);
    }
}

TEST_F(TunnelTest, MissingDeviceIsADriverFailure)
{
    MMC_CloseDevice();
    sim_.stop();
    EXPECT_EQ(MMC_OpenDevice(), 256);
    EXPECT_EQ(RetryMMC_OpenDevice(), 256);
    EXPECT_TRUE(pauses().empty());
}

TEST_F(TunnelTest, RetryOpenWaitsOutABusyDeviceOnly)
{
    MMC_CloseDevice();
    sim_.failNextOpens(2, EBUSY);
    EXPECT_EQ(RetryMMC_OpenDevice(), 0);
    EXPECT_EQ(pauses(), (std::vector<int>{150, 150}));

    MMC_CloseDevice();
    clearRecords();
    sim_.failNextOpens(1, ENODEV);
    EXPECT_EQ(RetryMMC_OpenDevice(), 259);
    EXPECT_TRUE(pauses().empty());
}

TEST_F(TunnelTest, CloseIsNeverRetried)
{
    EXPECT_EQ(RetryMMC_CloseDevice(), 0);
    EXPECT_EQ(RetryMMC_CloseDevice(), 256);  // nothing left to close
    EXPECT_EQ(MMC_CloseDevice(), 256);
    EXPECT_TRUE(pauses().empty());
}

TEST_F(TunnelTest, ExchangeWithoutAnOpenDeviceFails)
{
    MMC_CloseDevice();
    unsigned char answer[8];
    int length = sizeof answer;
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 256);
}

// ---- MMC_SendRcvMesg ----

TEST_F(TunnelTest, ExchangeRefusesBadLengthsWithoutSending)
{
    unsigned char answer[4];
    int length = -1;
    int enough = 4;
    unsigned char data[1] = {0};
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, nullptr), 261);
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 261);
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, data, -1, answer, &enough), 261);
    EXPECT_TRUE(sim_.journal().empty());
}

TEST_F(TunnelTest, ExchangeCopiesTheAnswerAndCountsIt)
{
    Bytes expected = sim_.handleMessage({kAppFrame, kGetDeviceId});
    unsigned char answer[64];
    int length = sizeof answer;
    ASSERT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 0);
    ASSERT_EQ(length, static_cast<int>(expected.size()) - 2);
    EXPECT_EQ(Bytes(answer, answer + length), Bytes(expected.begin() + 2, expected.end()));
    EXPECT_EQ(sentMessages(), (std::vector<Bytes>{{kAppFrame, kGetDeviceId}}));
}

TEST_F(TunnelTest, AnswerLongerThanTheCapacityIsCutAndCounted)
{
    const int returned = static_cast<int>(sim_.handleMessage({kAppFrame, kGetDeviceId}).size()) - 2;
    unsigned char answer[4];
    std::memset(answer, 0xAB, sizeof answer);
    int length = 2;
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 263);
    EXPECT_EQ(length, returned);
    EXPECT_EQ(answer[0], 0x00);  // completion code
    EXPECT_EQ(answer[2], 0xAB);
    EXPECT_EQ(answer[3], 0xAB);

    sim_.injectAnswerFault(AnswerFault::TooLong, 1);
    length = 4;
    EXPECT_EQ(MMC_SendRcvMesg(0x28, 0x48, nullptr, 0, answer, &length), 263);  // Get SEL Time
    EXPECT_GT(length, 4);
}

TEST_F(TunnelTest, ZeroCapacityExchangesAndCopiesNothing)
{
    unsigned char answer[1] = {0xAB};
    int length = 0;
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(answer[0], 0xAB);
    EXPECT_EQ(sentMessages().size(), 1u);
}

TEST_F(TunnelTest, AnswersThatBelongToNoRequestAreBadData)
{
    for (AnswerFault fault : {AnswerFault::WrongNetFn, AnswerFault::WrongCommand, AnswerFault::TooShort}) {
        SCOPED_TRACE(static_cast<int>(fault));
        sim_.injectAnswerFault(fault, 1);
        unsigned char answer[16];
        int length = sizeof answer;
        EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 262);
        EXPECT_EQ(length, static_cast<int>(sizeof answer));
    }
}

TEST_F(TunnelTest, FailedExchangesAreRetriedWithTheWholeBuffer)
{
    // A failed attempt leaves no answer behind; the retry must still offer the whole buffer.
    sim_.failNextExchanges(2, 257);
    unsigned char answer[64];
    int length = sizeof answer;
    ASSERT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 0);
    EXPECT_EQ(length, static_cast<int>(sim_.handleMessage({kAppFrame, kGetDeviceId}).size()) - 2);
    EXPECT_EQ(sentMessages().size(), 3u);
    EXPECT_EQ(pauses(), (std::vector<int>{100, 100}));
}

TEST_F(TunnelTest, ExchangeGivesUpAfterThirtyOneAttempts)
{
    sim_.failNextExchanges(100, 257);
    unsigned char answer[8];
    int length = sizeof answer;
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 257);
    EXPECT_EQ(sentMessages().size(), 31u);
    EXPECT_EQ(pauses(), std::vector<int>(30, 100));

    sim_.clearFaults();
    clearRecords();
    sim_.failNextIoctls(100, EIO);
    EXPECT_EQ(MMC_SendRcvMesg(kAppFrame, kGetDeviceId, nullptr, 0, answer, &length), 256);
    EXPECT_EQ(pauses().size(), 30u);
}

TEST_F(TunnelTest, TunnelReportsTheTrueAnswerLength)
{
    unsigned char request[2] = {kAppFrame, kGetDeviceId};
    unsigned char answer[5];
    std::memset(answer, 0xAB, sizeof answer);
    int length = 4;
    EXPECT_EQ(TunnelSendReceive(request, 2, answer, &length), 0);
    EXPECT_EQ(length, static_cast<int>(sim_.handleMessage({kAppFrame, kGetDeviceId}).size()));
    EXPECT_EQ(answer[4], 0xAB);
    EXPECT_EQ(TunnelSendReceive(request, 2, answer, nullptr), 261);
}

// ---- ports and versions ----

TEST_F(TunnelTest, PortsOutsideOneToThreeFailWithoutARequest)
{
    unsigned char byte = 0;
    for (int port : {0, 4, -1}) {
        EXPECT_EQ(TunnelReadPort(port, &byte), 256);
        EXPECT_EQ(TunnelWritePort(port, 1), 256);
    }
    EXPECT_TRUE(sim_.journal().empty());
}

TEST_F(TunnelTest, PortsReadAndWriteTheDriverBytes)
{
    EXPECT_EQ(MMC_WritePort(2, 0x1A5), 0);
    EXPECT_EQ(sim_.port(2), 0xA5);
    sim_.setPort(1, 0x3C);
    unsigned char byte = 0;
    EXPECT_EQ(MMC_ReadPort(1, &byte), 0);
    EXPECT_EQ(byte, 0x3C);
    sim_.failNextIoctls(1, EIO);
    EXPECT_EQ(MMC_ReadPort(1, &byte), 256);
}

TEST_F(TunnelTest, SmsDataAvailableFollowsStatusBitTwo)
{
    const std::pair<uint8_t, int> cases[] = {{0x04, 1}, {0x0C, 1}, {0x03, 0}, {0x00, 0}};
    for (auto [status, expected] : cases) {
        SCOPED_TRACE(status);
        sim_.setPort(3, status);
        int available = -1;
        EXPECT_EQ(MMC_IsSMSDataAvailable(&available), 0);
        EXPECT_EQ(available, expected);
    }
    sim_.failNextIoctls(1, EIO);
    int untouched = 7;
    EXPECT_EQ(MMC_IsSMSDataAvailable(&untouched), 256);
    EXPECT_EQ(untouched, 7);
    EXPECT_EQ(MMC_IsSMSDataAvailable(nullptr), 261);
}

TEST_F(TunnelTest, VersionsOfTheLibraryAndTheDriver)
{
    char name[8];
    std::memset(name, 0x7F, sizeof name);
    char letter = 0;
    unsigned char major = 9, minor = 9;
    EXPECT_EQ(MMC_GetDriverVersion(name, &letter, &major, &minor), 0);
    EXPECT_STREQ(name, "QV RZD");
    EXPECT_EQ(name[7], 0x7F);  // seven bytes with the terminator, no more
    EXPECT_EQ(letter, 'Q');
    EXPECT_EQ(major, 0);
    EXPECT_EQ(minor, 3);

    sim_.loadScenario(nlohmann::json::parse(
        R"({"driver": {"name": "ABCDEFGH", "letter": "X", "major": 4, "minor": 5}})"));
    std::memset(name, 0x7F, sizeof name);
    EXPECT_EQ(MMC_GetKernelDriverVersion(name, &letter, &major, &minor), 0);
    EXPECT_STREQ(name, "ABCDEF");
    EXPECT_EQ(letter, 'X');
    EXPECT_EQ(major, 4);
    EXPECT_EQ(minor, 5);

    sim_.failNextIoctls(1, EIO);
    EXPECT_EQ(MMC_GetKernelDriverVersion(name, &letter, &major, &minor), 256);
}

// ---- reservation retries ----

using ReserveFunction = int (*)(unsigned short*);
struct ReserveCase {
    const char* name;
    ReserveFunction retry;
    uint8_t command;
};
const ReserveCase kReserveCases[] = {
    {"SEL", RetryMMC_ReserveSEL, 0x42},
    {"SDR", RetryMMC_ReserveSDRRepository, 0x22},
};

TEST_F(TunnelTest, ReservationRetriesTransientResultsWithGrowingPauses)
{
    for (const auto& c : kReserveCases) {
        SCOPED_TRACE(c.name);
        clearRecords();
        sim_.injectCompletionCode(0x0A, c.command, 0xC5, 2);
        unsigned short id = 0;
        EXPECT_EQ(c.retry(&id), 0);
        EXPECT_NE(id, 0);
        EXPECT_EQ(pauses(), (std::vector<int>{150, 300}));
    }
}

TEST_F(TunnelTest, ReservationStopsAtOnceOnLastingFailures)
{
    for (const auto& c : kReserveCases) {
        SCOPED_TRACE(c.name);
        clearRecords();
        sim_.injectCompletionCode(0x0A, c.command, 0xC1, 1);
        unsigned short id = 0;
        EXPECT_EQ(c.retry(&id), 0xC1);
        EXPECT_TRUE(pauses().empty());
        EXPECT_EQ(sentMessages().size(), 1u);
    }
}

TEST_F(TunnelTest, ReservationRetriesAreBoundedToSeconds)
{
    for (const auto& c : kReserveCases) {
        SCOPED_TRACE(c.name);
        clearRecords();
        sim_.injectCompletionCode(0x0A, c.command, 0xC0, 10000);
        unsigned short id = 0;
        EXPECT_EQ(c.retry(&id), 0xC0);
        EXPECT_LE(totalPauseMs(), 5000);
        EXPECT_GE(sentMessages().size(), 3u);
        sim_.clearFaults();
    }
}

} // namespace
} // namespace qv::mgmtctl::test
