#include "ipmdirectbasecontroller.h"

#include "command_table.h"
#include "ipmexception.h"
#include "message_exchange.h"
#include "mgmtctl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using qv::bmc::CommandId;

namespace {
// The largest answer one driver exchange can carry.
constexpr int kLargestAnswer = 256;
struct NoResponseRecord { UINT8 bVersion; };
} // namespace

std::string CIPMDirectBaseController::function(const char* operation) const
{
    return qv::bmc::functionName(className(), operation);
}

void CIPMDirectBaseController::Destruct() {}
CIPMControllerPolymorph* CIPMDirectBaseController::GetRealController() { return this; }
CIPMBaseControllerExport* CIPMDirectBaseController::GetBaseController() { return nullptr; }
CIPMBaseControllerPolymorph* CIPMDirectBaseController::GetRealBaseController() { return this; }
UINT8 CIPMDirectBaseController::GetAddress() { return 0x20; }
void CIPMDirectBaseController::SetAddress(unsigned char) {}
UINT8 CIPMDirectBaseController::GetLun() { return 0; }
void CIPMDirectBaseController::SetLun(unsigned char) {}
int CIPMDirectBaseController::GetUseAddressFlag() { return 0; }
void CIPMDirectBaseController::SetUseAddressFlag(int) {}
int CIPMDirectBaseController::GetUseLunFlag() { return 0; }
void CIPMDirectBaseController::SetUseLunFlag(int) {}

#define QVBMC_SETTING(Name)                                                                        \
    int CIPMDirectBaseController::Get##Name() { return m_n##Name; }                                \
    void CIPMDirectBaseController::Set##Name(int value) { m_n##Name = value; }
QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_SETTING)
#undef QVBMC_SETTING

#define QVBMC_COMMAND_R0(Result, Name)                                                             \
    Result CIPMDirectBaseController::Name()                                                        \
    {                                                                                              \
        return qv::bmc::runCommand<Result>(*this, CommandId::Name,                                 \
                                           static_cast<const QVBMC_NO_DATA*>(nullptr), version(),  \
                                           className());                                           \
    }
#define QVBMC_COMMAND_R1(Result, Name, Request)                                                    \
    Result CIPMDirectBaseController::Name(Request request)                                         \
    {                                                                                              \
        return qv::bmc::runCommand<Result>(*this, CommandId::Name, &request, version(),            \
                                           className());                                           \
    }
#define QVBMC_COMMAND_V0(Name)                                                                     \
    void CIPMDirectBaseController::Name()                                                          \
    {                                                                                              \
        qv::bmc::runCommand<NoResponseRecord>(*this, CommandId::Name,                              \
                                              static_cast<const QVBMC_NO_DATA*>(nullptr),          \
                                              version(), className());                             \
    }
QVBMC_CONTROLLER_COMMANDS(QVBMC_COMMAND_R0, QVBMC_COMMAND_R1, QVBMC_COMMAND_V0)
QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_COMMAND_R0, QVBMC_COMMAND_R1)
#undef QVBMC_COMMAND_R0
#undef QVBMC_COMMAND_R1
#undef QVBMC_COMMAND_V0

void CIPMDirectBaseController::ThrowCCException(unsigned int code, const char* currentFunction,
                                                const char* failedInstruction)
{
    MMC_CloseDevice();
    const std::string message = qv::bmc::completionCodeMessage(code);
    throw new CIPMException(IPMAPI_ERROR_COMPLETION_CODE | code, currentFunction, failedInstruction,
                            message.c_str());
}

void CIPMDirectBaseController::SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,
                                                      const unsigned char* pbCommandData,
                                                      int nCommandDataLength,
                                                      unsigned char* pbResponseData,
                                                      int* pnResponseDataLength)
{
    const std::string fn = function("SendReceiveIPMIMessage");
    if (nCommandDataLength < 0)
        qv::bmc::throwBadArgument(fn, "if ( nCommandDataLength < 0 )",
                                  "Command data length is invalid");
    if (nCommandDataLength > qv::bmc::kCommandDataLengthMaximum)
        qv::bmc::throwBadArgument(fn,
                                  "if ( nCommandDataLength > QVBMC_COMMAND_DATA_LENGTH_MAXIMUM )",
                                  "Request Command Data Length is invalid");
    if (nCommandDataLength > 0 && !pbCommandData)
        qv::bmc::throwBadArgument(fn, "if ( !pbCommandData )", "Command data is invalid");
    if (pnResponseDataLength && *pnResponseDataLength < 0)
        qv::bmc::throwBadArgument(fn, "if ( *pnResponseDataLength < 0 )",
                                  "Response length is invalid");
    if (pnResponseDataLength && !pbResponseData)
        qv::bmc::throwBadArgument(fn, "if ( !pbResponseData )", "Response buffer is invalid");

    if (int rc = RetryMMC_OpenDevice(); rc != 0)
        ThrowCCException(static_cast<unsigned>(rc), fn.c_str(), "RetryMMC_OpenDevice");

    qv::mgmtctl::ExchangeRules rules;
    rules.retries = std::max(m_nIPMICommandRetryMaximum, 0);
    rules.retryPauseMs = m_nIPMICommandRetrySleepInterval;
    rules.pauseAfterEachMs = m_nPreSMSDataCheckSleep;
    rules.completionCodeFails = true;
    rules.needsCompletionCode = true;
    const int capacity = pnResponseDataLength ? *pnResponseDataLength : 0;
    // Filled only once the whole exchange succeeded: a failure leaves the caller's buffer alone.
    unsigned char answer[kLargestAnswer] = {};
    const auto outcome =
        qv::mgmtctl::exchangeMessage(static_cast<uint8_t>(netFn << 2), command, pbCommandData,
                                     nCommandDataLength, answer, capacity, rules);
    using qv::mgmtctl::ExchangeFailure;
    switch (outcome.failure) {
    case ExchangeFailure::None:
        break;
    case ExchangeFailure::Short:
    case ExchangeFailure::TooLong:
        MMC_CloseDevice();
        throw new CIPMException(IPMAPI_ERROR_RESPONSE_TOO_LONG, fn.c_str(),
                                "if ( nResponseLength > *pnResponseDataLength )",
                                "Response Length is invalid");
    case ExchangeFailure::CompletionCode: {
        char text[64];
        snprintf(text, sizeof text, "Command 0x%.2x returned from TunnelSendReceive", command);
        ThrowCCException(static_cast<unsigned>(outcome.code), fn.c_str(), text);
    }
    default:
        ThrowCCException(static_cast<unsigned>(outcome.code), fn.c_str(), "TunnelSendReceive");
    }
    RetryMMC_CloseDevice();
    if (capacity > 0) {
        *pnResponseDataLength = outcome.returned;
        memcpy(pbResponseData, answer, static_cast<size_t>(outcome.returned));
    }
}

void CIPMDirectBaseController::SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                      ImbI2cResponse* pResponse,
                                                      int* pnResponseLength)
{
    const std::string fn = function("SendReceiveIPMIMessage<2nd>");
    checkExternalLengths(fn, nRequestLength, true, pResponse, pnResponseLength);
    if (!pnResponseLength)
        qv::bmc::throwBadArgument(fn, "if ( !pnResponseLength )", "Response length is invalid");

    // The answer's data must fit the 33 data bytes of the caller's message.
    int capacity = std::min<int>(*pnResponseLength, sizeof(ImbI2cResponse)) - 7;
    SendReceiveIPMIMessage(request.netFn, request.command, request.cmdData, nRequestLength - 7,
                           pResponse->cmdData, &capacity);
    pResponse->rqSA = request.rqSA;
    pResponse->netFn = static_cast<UINT8>(request.netFn + 1);
    pResponse->rqLun = request.rqLun;
    pResponse->rsSA = request.rsSA;
    pResponse->rqSeq = request.rqSeq;
    pResponse->rsLun = request.rsLun;
    pResponse->command = request.command;
    *pnResponseLength = capacity + 7;
}

void CIPMDirectBaseController::checkExternalLengths(const std::string& fn, int nRequestLength,
                                                    bool boundRequestLength,
                                                    const ImbI2cResponse* pResponse,
                                                    const int* pnResponseLength)
{
    if (nRequestLength < static_cast<int>(sizeof(IMB_I2C_REQUEST_HEADER) + 1))
        qv::bmc::throwBadArgument(fn,
                                  "if ( nRequestLength < ( sizeof( IMB_I2C_REQUEST_HEADER ) + 1 ) )",
                                  "Request length is invalid");
    if (boundRequestLength && nRequestLength > static_cast<int>(sizeof(IMB_I2C_REQUEST)))
        qv::bmc::throwBadArgument(fn, "if ( nRequestLength > sizeof( IMB_I2C_REQUEST ) )",
                                  "Request length is invalid");
    if (pnResponseLength &&
        *pnResponseLength < static_cast<int>(sizeof(IMB_I2C_RESPONSE_HEADER) + 1))
        qv::bmc::throwBadArgument(
            fn, "if ( *pnResponseLength < ( sizeof( IMB_I2C_RESPONSE_HEADER ) + 1 ) )",
            "Response length is invalid");
    if (pnResponseLength && !pResponse)
        qv::bmc::throwBadArgument(fn, "if ( !pResponse )", "Response buffer is invalid");
}
