#include "ipmbasecontroller.h"

#include "command_table.h"
#include "ipm09basecontroller.h"
#include "ipm10basecontroller.h"
#include "ipmexception.h"

#include <cstring>
#include <string>

namespace {

constexpr UINT8 kBaseControllerAddress = 0x20;
constexpr UINT8 kMessageLun = 2;
constexpr int kHeaderAndChecksum = static_cast<int>(sizeof(IMB_I2C_RESPONSE_HEADER)) + 1;
constexpr int kMessageSize = static_cast<int>(sizeof(ImbI2cResponse));

UINT8 negatedSum(const uint8_t* bytes, int from, int to)
{
    unsigned sum = 0;
    for (int i = from; i < to; ++i) sum += bytes[i];
    return static_cast<UINT8>(0u - sum);
}

[[noreturn]] void throwMismatch(unsigned int code, const char* instruction, const char* message)
{
    throw new CIPMException(code, "CIPMBaseController::CheckResponseChecksums", instruction,
                            message);
}

} // namespace

CIPMBaseController::CIPMBaseController(int nIPMICommandRetryMaximum,
                                       int nIPMICommandRetrySleepInterval,
                                       int nPreSMSDataCheckSleep, int nSMSDataRetryMaximum,
                                       int nSMSDataRetrySleepInterval)
{
    m_pDeviceId = new GlobGetDeviceIdResponse;
    memset(m_pDeviceId, 0, sizeof *m_pDeviceId);
    m_pRealBaseController = new CIPM10BaseController;

    GlobGetDeviceIdResponse answer;
    memset(&answer, 0, sizeof answer);
    try {
        answer = m_pRealBaseController->GetDeviceId();
    } catch (CIPMException*) {
        // No controller answers: the object stays without a path to hardware.
        dropImplementation();
        return;
    }
    const UINT8 version = answer.Ver10.ipmiVersion;
    if (answer.Ver10.firmwareRev1 & 0x80) {
        dropImplementation();
    } else if (version == 0x01) {
        m_nRealBaseControllerVersion = 10;
        *m_pDeviceId = answer;
    } else if (version == 0x90 || version == 0x10) {
        dropImplementation();
        m_pRealBaseController = new CIPM09BaseController;
        m_nRealBaseControllerVersion = 9;
        *m_pDeviceId = answer;
    } else {
        dropImplementation();
    }
    if (m_pRealBaseController) {
        m_pRealBaseController->SetIPMICommandRetryMaximum(nIPMICommandRetryMaximum);
        m_pRealBaseController->SetIPMICommandRetrySleepInterval(nIPMICommandRetrySleepInterval);
        m_pRealBaseController->SetPreSMSDataCheckSleep(nPreSMSDataCheckSleep);
        m_pRealBaseController->SetSMSDataRetryMaximum(nSMSDataRetryMaximum);
        m_pRealBaseController->SetSMSDataRetrySleepInterval(nSMSDataRetrySleepInterval);
    }
}

CIPMBaseController::CIPMBaseController(CIPMBaseController& other)
    : m_bSequence(other.m_bSequence),
      m_fUseSequence(other.m_fUseSequence),
      m_fCalculateRequestChecksum(other.m_fCalculateRequestChecksum),
      m_fValidateResponse(other.m_fValidateResponse)
{
    if (!other.m_pRealBaseController || !other.m_pDeviceId) return;
    m_nRealBaseControllerVersion = other.m_nRealBaseControllerVersion;
    m_pDeviceId = new GlobGetDeviceIdResponse(*other.m_pDeviceId);
    if (m_nRealBaseControllerVersion == 9)
        m_pRealBaseController = new CIPM09BaseController(
            static_cast<CIPM09BaseController&>(*other.m_pRealBaseController));
    else
        m_pRealBaseController = new CIPM10BaseController(
            static_cast<CIPM10BaseController&>(*other.m_pRealBaseController));
}

CIPMBaseController::~CIPMBaseController()
{
    dropImplementation();
    delete m_pDeviceId;
}

void CIPMBaseController::dropImplementation()
{
    if (!m_pRealBaseController) return;
    m_pRealBaseController->Destruct();
    delete m_pRealBaseController;
    m_pRealBaseController = nullptr;
}

CIPMBaseControllerPolymorph* CIPMBaseController::real(const char* operation)
{
    if (!m_pRealBaseController) {
        const std::string fn = qv::bmc::functionName("CIPMBaseController", operation);
        throw new CIPMException(IPMAPI_ERROR_NO_PATH, fn.c_str(), "if ( !m_pRealBaseController )",
                                "No path to hardware");
    }
    return m_pRealBaseController;
}

CIPMControllerPolymorph* CIPMBaseController::GetRealController() { return m_pRealBaseController; }
CIPMBaseControllerPolymorph* CIPMBaseController::GetRealBaseController()
{
    return m_pRealBaseController;
}
CIPMBaseControllerExport* CIPMBaseController::GetBaseController()
{
    return m_pRealBaseController ? this : nullptr;
}

#define QVBMC_PASS_ON(Type, Getter, Setter)                                                        \
    Type CIPMBaseController::Getter()                                                              \
    {                                                                                              \
        return m_pRealBaseController ? m_pRealBaseController->Getter() : 0;                        \
    }                                                                                              \
    void CIPMBaseController::Setter(Type value)                                                    \
    {                                                                                              \
        if (m_pRealBaseController) m_pRealBaseController->Setter(value);                           \
    }
QVBMC_PASS_ON(UINT8, GetAddress, SetAddress)
QVBMC_PASS_ON(UINT8, GetLun, SetLun)
QVBMC_PASS_ON(int, GetUseAddressFlag, SetUseAddressFlag)
QVBMC_PASS_ON(int, GetUseLunFlag, SetUseLunFlag)
#define QVBMC_SETTING(Name) QVBMC_PASS_ON(int, Get##Name, Set##Name)
QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_SETTING)
#undef QVBMC_SETTING
#undef QVBMC_PASS_ON

int CIPMBaseController::GetUseSequenceFlag() { return m_fUseSequence; }
void CIPMBaseController::SetUseSequenceFlag(int value) { m_fUseSequence = value; }
int CIPMBaseController::GetCalculateRequestChecksumFlag() { return m_fCalculateRequestChecksum; }
void CIPMBaseController::SetCalculateRequestChecksumFlag(int value)
{
    m_fCalculateRequestChecksum = value;
}
int CIPMBaseController::GetValidateResponseFlag() { return m_fValidateResponse; }
void CIPMBaseController::SetValidateResponseFlag(int value) { m_fValidateResponse = value; }

#define QVBMC_FORWARD_R0(Result, Name)                                                             \
    Result CIPMBaseController::Name() { return real(#Name)->Name(); }
#define QVBMC_FORWARD_R1(Result, Name, Request)                                                    \
    Result CIPMBaseController::Name(Request request) { return real(#Name)->Name(request); }
#define QVBMC_FORWARD_V0(Name)                                                                     \
    void CIPMBaseController::Name() { real(#Name)->Name(); }
QVBMC_CONTROLLER_COMMANDS(QVBMC_FORWARD_R0, QVBMC_FORWARD_R1, QVBMC_FORWARD_V0)
QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_FORWARD_R0, QVBMC_FORWARD_R1)
#undef QVBMC_FORWARD_R0
#undef QVBMC_FORWARD_R1
#undef QVBMC_FORWARD_V0

void CIPMBaseController::SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,
                                                const unsigned char* pbCommandData,
                                                int nCommandDataLength,
                                                unsigned char* pbResponseData,
                                                int* pnResponseDataLength)
{
    real("SendReceiveIPMIMessage")
        ->SendReceiveIPMIMessage(netFn, command, pbCommandData, nCommandDataLength,
                                 pbResponseData, pnResponseDataLength);
}

void CIPMBaseController::SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                ImbI2cResponse* pResponse, int* pnResponseLength)
{
    real("SendReceiveIPMIMessage<2nd>")
        ->SendReceiveIPMIMessage(request, nRequestLength, pResponse, pnResponseLength);
}

void CIPMBaseController::SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                        ImbI2cResponse* pResponse,
                                                        int* pnResponseLength)
{
    CIPMBaseControllerPolymorph* implementation = real("SendReceiveExternalIPMIMessage");
    if (m_fUseSequence == 1) {
        m_bSequence = static_cast<UINT8>(m_bSequence + 1 > 63 ? 0 : m_bSequence + 1);
        request.rqSeq = m_bSequence;
    }
    if (m_fCalculateRequestChecksum == 1) {
        request.rqSA = kBaseControllerAddress;
        request.rqLun = kMessageLun;
        ComputeRequestChecksums(&request, nRequestLength - 7);
    }
    implementation->SendReceiveExternalIPMIMessage(request, nRequestLength, pResponse,
                                                   pnResponseLength);
    if (!pResponse || !pnResponseLength) return;
    if (pResponse->rsSA == kBaseControllerAddress)
        ComputeResponseChecksums(pResponse, *pnResponseLength);
    if (m_fValidateResponse == 1) {
        pResponse->rqSA = kBaseControllerAddress;
        CheckResponseChecksums(pResponse, *pnResponseLength);
        CheckRequestVsResponse(&request, pResponse);
    }
}

void CIPMBaseController::ComputeRequestChecksums(ImbI2cRequest* pRequest, int nDataLength)
{
    // The second checksum must stay inside the 39-byte message.
    if (!pRequest || nDataLength < 0 || nDataLength > kMessageSize - 7)
        qv::bmc::throwBadArgument("CIPMBaseController::ComputeRequestChecksums",
                                  "if ( nDataLength > sizeof( pRequest->cmdData ) - 1 )",
                                  "Request length is invalid");
    uint8_t* bytes = reinterpret_cast<uint8_t*>(pRequest);
    bytes[2] = negatedSum(bytes, 0, 2);
    bytes[6 + nDataLength] = negatedSum(bytes, 3, 6 + nDataLength);
}

void CIPMBaseController::ComputeResponseChecksums(ImbI2cResponse* pResponse, int nResponseLength)
{
    if (!pResponse || nResponseLength < kHeaderAndChecksum || nResponseLength > kMessageSize)
        qv::bmc::throwBadArgument(
            "CIPMBaseController::ComputeResponseChecksums",
            "if ( nResponseLength < ( sizeof( IMB_I2C_RESPONSE_HEADER ) + 1 ) )",
            "Response length is invalid");
    uint8_t* bytes = reinterpret_cast<uint8_t*>(pResponse);
    bytes[2] = negatedSum(bytes, 0, 2);
    bytes[nResponseLength - 1] = negatedSum(bytes, 3, nResponseLength - 1);
}

void CIPMBaseController::CheckResponseChecksums(const ImbI2cResponse* pResponse,
                                                int nResponseLength)
{
    if (!pResponse || nResponseLength > kMessageSize)
        qv::bmc::throwBadArgument("CIPMBaseController::CheckResponseChecksums",
                                  "if ( nResponseLength > sizeof( IMB_I2C_RESPONSE ) )",
                                  "Response length is invalid");
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pResponse);
    if (negatedSum(bytes, 0, 3) != 0)
        throwMismatch(IPMAPI_ERROR_CHECKSUM, "if ( pResponse->checksum1 != Checksum )",
                      "Checksum1 is invalid");
    const int end = nResponseLength < kHeaderAndChecksum ? kHeaderAndChecksum : nResponseLength;
    if (negatedSum(bytes, 3, end) != 0)
        throwMismatch(IPMAPI_ERROR_CHECKSUM,
                      nResponseLength == kHeaderAndChecksum
                          ? "if ( pResponse->cmdData[0] != Checksum )"
                          : "if ( pResponse->cmdData[i] != Checksum )",
                      "Checksum2 is invalid");
}

void CIPMBaseController::CheckRequestVsResponse(const ImbI2cRequest* pRequest,
                                                const ImbI2cResponse* pResponse)
{
    if (pRequest->rsSA != pResponse->rsSA)
        throwMismatch(IPMAPI_ERROR_RESPONDER_ADDRESS, "if ( pRequest->rsSA != pResponse->rsSA )",
                      "Responder's slave address does not match");
    if (pRequest->rsLun != pResponse->rsLun)
        throwMismatch(IPMAPI_ERROR_RESPONDER_LUN, "if ( pRequest->rsLun != pResponse->rsLun )",
                      "Responder's LUN number does not match");
    if (static_cast<int>(pRequest->netFn) != static_cast<int>(pResponse->netFn - 1))
        throwMismatch(IPMAPI_ERROR_NET_FUNCTION,
                      "if ( (int) ( pRequest->netFn ) != (int) ( pResponse->netFn - 1 ) )",
                      "Net Functions are invalid");
    if (pRequest->rqSA != pResponse->rqSA)
        throwMismatch(IPMAPI_ERROR_REQUESTER_ADDRESS, "if ( pRequest->rqSA != pResponse->rqSA )",
                      "Requester's slave address does not match");
    if (pRequest->rqLun != pResponse->rqLun)
        throwMismatch(IPMAPI_ERROR_REQUESTER_LUN, "if ( pRequest->rqLun != pResponse->rqLun )",
                      "Responder's LUN number does not match");
    if (pRequest->rqSeq != pResponse->rqSeq)
        throwMismatch(IPMAPI_ERROR_SEQUENCE, "if ( pRequest->rqSeq != pResponse->rqSeq )",
                      "Requester's sequence number does not match");
    if (pRequest->command != pResponse->command)
        throwMismatch(IPMAPI_ERROR_COMMAND, "if ( pRequest->command != pResponse->command )",
                      "Requester's command does not match");
}
