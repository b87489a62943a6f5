#include "controller_fixture.h"
#include "ipmbasecontroller.h"

#include <cstring>

namespace qv::bmc::test {
namespace {

using BaseControllerTest = ControllerFixture;

TEST_F(BaseControllerTest, ProbeChoosesTheImplementationByVersionByte)
{
    struct Case {
        const char* version;
        int versionByte;
        bool busy;
        int expected;  // 0: no path to hardware
    } cases[] = {{"1.0", 0x01, false, 10}, {"0.9", 0x90, false, 9}, {"0.9", 0x10, false, 9},
                 {"1.0", 0x51, false, 0},  {"1.0", 0x02, false, 0}, {"1.0", 0x01, true, 0}};
    for (const auto& c : cases) {
        sim_.stop();
        startWith({{"ipmiVersion", c.version},
                   {"device", {{"versionByte", c.versionByte}, {"busy", c.busy}}}});
        CIPMBaseControllerExport* base = CreateIPMBaseController(5, 500, 50, 3, 10);
        SCOPED_TRACE(c.versionByte);
        if (c.expected == 0) {
            EXPECT_EQ(base, nullptr);
            continue;
        }
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(base->m_pDeviceId->bVersion, 10);
        EXPECT_EQ(base->m_pDeviceId->Ver10.ipmiVersion, c.versionByte);
        EXPECT_EQ(base->GetIPMICommandRetrySleepInterval(), 500);
        EXPECT_EQ(base->GetAddress(), 0x20);
        EXPECT_EQ(base->GetDeviceId().bVersion, c.expected);
        // Message bridging exists from IPMI 1.0 on; the earlier generation answers an empty record.
        if (c.expected == 9) {
            EXPECT_EQ(base->GetMessageFlags().bVersion, 0);
        }
        DestroyIPMBaseController(base);
    }
}

TEST_F(BaseControllerTest, NoDeviceMeansNoPathAndEveryOperationSaysSo)
{
    CIPMBaseController base(5, 500, 50, 3, 10);
    EXPECT_EQ(base.GetRealBaseController(), nullptr);
    EXPECT_EQ(base.GetBaseController(), nullptr);
    EXPECT_EQ(base.GetSMSDataRetryMaximum(), 0);
    try {
        base.GetSelInfo();
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_EQ(e->GetErrorCode(), 0xA00D0000u);
        EXPECT_STREQ(e->GetCurrentFunction(), "CIPMBaseController::GetSelInfo");
        EXPECT_STREQ(e->GetFailedInstruction(), "if ( !m_pRealBaseController )");
        EXPECT_STREQ(e->GetErrorMessage(), "No path to hardware");
    }
    EXPECT_EQ(CreateIPMBaseController(5, 500, 50, 3, 10), nullptr);
    DestroyIPMBaseController(nullptr);
}

TEST_F(BaseControllerTest, CompletionCodeIsRetriedThenRaisedWithTableText)
{
    startWith({{"ipmiVersion", "1.0"}});
    CIPMBaseControllerExport* base = CreateIPMBaseController(5, 500, 50, 3, 10);
    ASSERT_NE(base, nullptr);
    sim_.clearJournal();
    sim_.injectCompletionCode(0x0A, 0x40, 0xC3, 100);
    try {
        base->GetSelInfo();
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_EQ(e->GetErrorCode(), 0xA00200C3u);
        EXPECT_STREQ(e->GetCurrentFunction(), "CIPM10BaseController::GetSelInfo");
        EXPECT_STREQ(e->GetFailedInstruction(), "Command 0x40 returned from TunnelSendReceive");
        EXPECT_STREQ(e->GetErrorMessage(), "Time-out While Processing Command (0x00c3)");
    }
    EXPECT_EQ(sim_.journal().size(), 6u);
    sim_.clearFaults();
    EXPECT_EQ(base->GetSelInfo().Ver10.completionCode, 0);
    DestroyIPMBaseController(base);
}

TEST_F(BaseControllerTest, ShortOrLongAnswersBecomeLengthErrorsWithoutRetry)
{
    startWith({{"ipmiVersion", "1.0"}});
    CIPMBaseControllerExport* base = CreateIPMBaseController(5, 500, 50, 3, 10);
    ASSERT_NE(base, nullptr);
    for (auto fault : {qv::sim::AnswerFault::TooShort, qv::sim::AnswerFault::TooLong}) {
        sim_.clearJournal();
        sim_.injectAnswerFault(fault, 1);
        try {
            base->GetSelTime();
            ADD_FAILURE();
        } catch (CIPMExceptionExport* e) {
            EXPECT_EQ(e->GetErrorCode(), 0xA0040000u);
            EXPECT_STREQ(e->GetErrorMessage(), "Response Length is invalid");
        }
        EXPECT_EQ(sim_.journal().size(), 1u);
    }
    DestroyIPMBaseController(base);
}

TEST_F(BaseControllerTest, DirectArgumentChecks)
{
    startWith({{"ipmiVersion", "1.0"}});
    CIPMBaseControllerExport* base = CreateIPMBaseController(0, 0, 0, 0, 0);
    ASSERT_NE(base, nullptr);
    unsigned char data[27] = {};
    unsigned char answer[40];
    int capacity = sizeof answer;
    EXPECT_NO_THROW(base->SendReceiveIPMIMessage(0x06, 0x01, data, 0, answer, &capacity));
    EXPECT_EQ(capacity, 12);
    try {
        base->SendReceiveIPMIMessage(0x06, 0x01, data, 27, answer, &capacity);
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_EQ(e->GetErrorCode(), 0xA0010000u);
        EXPECT_STREQ(e->GetErrorMessage(), "Request Command Data Length is invalid");
    }
    // A stated request length beyond its record is refused before anything is read.
    FRU_GET_FRU_INVENTORY_INFO_REQUEST fru{};
    fru.bRequestLength = 200;
    EXPECT_THROW(base->GetFruInventoryInfo(fru), CIPMExceptionExport*);
    DestroyIPMBaseController(base);
}

TEST_F(BaseControllerTest, MessageChecksumsAndMatch)
{
    CIPMBaseController base(0, 0, 0, 0, 0);
    ImbI2cRequest request{};
    request.rsSA = 0x2C;
    request.netFn = 0x06;
    request.rqSA = 0x20;
    request.rqLun = 2;
    request.rqSeq = 5;
    request.command = 0x01;
    base.ComputeRequestChecksums(&request, 0);
    EXPECT_EQ(static_cast<uint8_t>(0x2C + (0x06 << 2) + request.checksum1), 0);
    EXPECT_EQ(static_cast<uint8_t>(0x20 + ((5 << 2) | 2) + 0x01 + request.cmdData[0]), 0);

    ImbI2cResponse response{};
    response.rqSA = 0x20;
    response.netFn = 0x07;
    response.rqLun = 2;
    response.rsSA = 0x2C;
    response.rqSeq = 5;
    response.command = 0x01;
    base.ComputeResponseChecksums(&response, 8);
    EXPECT_NO_THROW(base.CheckResponseChecksums(&response, 8));
    EXPECT_NO_THROW(base.CheckRequestVsResponse(&request, &response));

    struct Case {
        void (*spoil)(ImbI2cResponse&);
        unsigned code;
        const char* message;
    } cases[] = {
        {[](ImbI2cResponse& r) { r.rsSA = 0x30; }, 0xA0060000u, "Responder's slave address does not match"},
        {[](ImbI2cResponse& r) { r.netFn = 0x06; }, 0xA0080000u, "Net Functions are invalid"},
        {[](ImbI2cResponse& r) { r.rqLun = 0; }, 0xA00A0000u, "Responder's LUN number does not match"},
        {[](ImbI2cResponse& r) { r.rqSeq = 6; }, 0xA00B0000u, "Requester's sequence number does not match"},
    };
    for (const auto& c : cases) {
        ImbI2cResponse spoiled = response;
        c.spoil(spoiled);
        try {
            base.CheckRequestVsResponse(&request, &spoiled);
            ADD_FAILURE() << c.message;
        } catch (CIPMExceptionExport* e) {
            EXPECT_EQ(e->GetErrorCode(), c.code);
            EXPECT_STREQ(e->GetErrorMessage(), c.message);
        }
    }
    ImbI2cResponse seven{};
    seven.cmdData[0] = 1;
    try {
        base.CheckResponseChecksums(&seven, 7);
        FAIL();
    } catch (CIPMExceptionExport* e) {
        EXPECT_STREQ(e->GetErrorMessage(), "Checksum2 is invalid");
        EXPECT_STREQ(e->GetFailedInstruction(), "if ( pResponse->cmdData[0] != Checksum )");
    }
}

} // namespace
} // namespace qv::bmc::test
