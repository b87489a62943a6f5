#include "ipmsatellitecontroller.h"

#include "command_table.h"
#include "ipmbasecontroller.h"
#include "ipmexception.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

using qv::bmc::CommandId;

namespace {
constexpr UINT8 kBaseControllerAddress = 0x20;
constexpr int kFrameOverhead = 7;
struct NoResponseRecord { UINT8 bVersion; };

[[noreturn]] void throwNoBaseController(const std::string& fn, const char* message)
{
    throw new CIPMException(IPMAPI_ERROR_NO_PATH, fn.c_str(), "if ( !m_pBaseController )", message);
}
} // namespace

CIPMSatelliteController::CIPMSatelliteController(unsigned char bAddress, unsigned char bLun,
                                                 CIPMBaseController* pBaseController)
    : m_bAddress(bAddress), m_bLun(bLun)
{
    m_pBaseController = pBaseController ? new CIPMBaseController(*pBaseController)
                                        : new CIPMBaseController(5, 500, 50, 3, 10);
    if (!m_pBaseController->GetRealBaseController()) {
        delete m_pBaseController;
        m_pBaseController = nullptr;
    }
}

std::string CIPMSatelliteController::function(const char* operation) const
{
    return qv::bmc::functionName(className(), operation);
}

void CIPMSatelliteController::Destruct()
{
    delete m_pBaseController;
    m_pBaseController = nullptr;
}

CIPMControllerPolymorph* CIPMSatelliteController::GetRealController() { return this; }
CIPMBaseControllerExport* CIPMSatelliteController::GetBaseController() { return m_pBaseController; }
UINT8 CIPMSatelliteController::GetAddress() { return m_bAddress; }
void CIPMSatelliteController::SetAddress(unsigned char bAddress) { m_bAddress = bAddress; }
UINT8 CIPMSatelliteController::GetLun() { return m_bLun; }
void CIPMSatelliteController::SetLun(unsigned char bLun) { m_bLun = bLun; }
int CIPMSatelliteController::GetUseAddressFlag() { return m_fUseAddress; }
void CIPMSatelliteController::SetUseAddressFlag(int fUseAddress) { m_fUseAddress = fUseAddress; }
int CIPMSatelliteController::GetUseLunFlag() { return m_fUseLun; }
void CIPMSatelliteController::SetUseLunFlag(int fUseLun) { m_fUseLun = fUseLun; }

// Broadcast Get Device ID builds its own frame; every other operation follows the table.
template <class Result>
Result runWithoutRequest(CIPMSatelliteController& self, CommandId id)
{
    if constexpr (std::is_same_v<Result, GLOB_GET_DEVICE_ID_RESPONSE>)
        if (id == CommandId::BroadcastGetDeviceId) return self.broadcastGetDeviceId();
    return qv::bmc::runCommand<Result>(self, id, static_cast<const QVBMC_NO_DATA*>(nullptr),
                                       self.version(), self.className());
}

#define QVBMC_COMMAND_R0(Result, Name)                                                             \
    Result CIPMSatelliteController::Name() { return runWithoutRequest<Result>(*this, CommandId::Name); }
#define QVBMC_COMMAND_R1(Result, Name, Request)                                                    \
    Result CIPMSatelliteController::Name(Request request)                                          \
    {                                                                                              \
        return qv::bmc::runCommand<Result>(*this, CommandId::Name, &request, version(),            \
                                           className());                                           \
    }
#define QVBMC_COMMAND_V0(Name)                                                                     \
    void CIPMSatelliteController::Name()                                                           \
    {                                                                                              \
        qv::bmc::runCommand<NoResponseRecord>(*this, CommandId::Name,                              \
                                              static_cast<const QVBMC_NO_DATA*>(nullptr),          \
                                              version(), className());                             \
    }
QVBMC_CONTROLLER_COMMANDS(QVBMC_COMMAND_R0, QVBMC_COMMAND_R1, QVBMC_COMMAND_V0)
#undef QVBMC_COMMAND_R0
#undef QVBMC_COMMAND_R1
#undef QVBMC_COMMAND_V0

void CIPMSatelliteController::SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,
                                                     const unsigned char* pbCommandData,
                                                     int nCommandDataLength,
                                                     unsigned char* pbResponseData,
                                                     int* pnResponseDataLength)
{
    const std::string fn = function("SendReceiveIPMIMessage");
    if (static_cast<unsigned>(nCommandDataLength) > qv::bmc::kCommandDataLengthMaximum)
        qv::bmc::throwBadArgument(fn,
                                  "if ( nCommandDataLength > QVBMC_COMMAND_DATA_LENGTH_MAXIMUM )",
                                  "Request Command Data Length is invalid");
    if (pnResponseDataLength && *pnResponseDataLength < 0)
        qv::bmc::throwBadArgument(fn, "if ( *pnResponseDataLength < 0 )",
                                  "Response length is invalid");
    if (pnResponseDataLength && !pbResponseData)
        qv::bmc::throwBadArgument(fn, "if ( !pbResponseData )", "Response buffer is invalid");

    ImbI2cRequest request;
    memset(&request, 0, sizeof request);
    request.rsSA = m_bAddress;
    request.netFn = static_cast<UINT8>(netFn & 0x3F);
    request.rsLun = static_cast<UINT8>(m_bLun & 3);
    request.command = command;
    if (nCommandDataLength > 0 && pbCommandData)
        memcpy(request.cmdData, pbCommandData, static_cast<size_t>(nCommandDataLength));

    const bool wantResponse = pnResponseDataLength && *pnResponseDataLength > 0;
    // The answer frame cannot exceed one 39-byte message, whatever the caller offers.
    int frameCapacity = wantResponse ? std::min<long>(*pnResponseDataLength + 7L,
                                                      static_cast<long>(sizeof(ImbI2cResponse)))
                                     : 0;
    try {
        if (!m_pBaseController) throwNoBaseController(fn, "Base controller not defined");
        ImbI2cResponse response;
        memset(&response, 0, sizeof response);
        // Without an awaited answer no length is handed on, so nothing waits for one.
        m_pBaseController->SendReceiveExternalIPMIMessage(request,
                                                          nCommandDataLength + kFrameOverhead,
                                                          wantResponse ? &response : nullptr,
                                                          wantResponse ? &frameCapacity : nullptr);
        if (wantResponse) {
            const unsigned received = static_cast<unsigned>(frameCapacity - kFrameOverhead);
            if (received > static_cast<unsigned>(*pnResponseDataLength) ||
                received > sizeof(response.cmdData))
                throw new CIPMException(IPMAPI_ERROR_RESPONSE_TOO_LONG, fn.c_str(),
                                        "if ( nResponseLength > *pnResponseDataLength )",
                                        "Response Length is invalid");
            *pnResponseDataLength = static_cast<int>(received);
            memcpy(pbResponseData, response.cmdData, received);
        }
    } catch (CIPMException* e) {
        qv::bmc::rethrowAs(e, fn);
    }
}

void CIPMSatelliteController::SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                     ImbI2cResponse* pResponse,
                                                     int* pnResponseLength)
{
    const std::string fn = function("SendReceiveIPMIMessage<2nd>");
    try {
        if (!m_pBaseController) throwNoBaseController(fn, "Base controller not defined");
        if (GetUseAddressFlag() == 1) request.rsSA = m_bAddress;
        if (GetUseLunFlag() == 1) request.rsLun = static_cast<UINT8>(m_bLun & 3);
        m_pBaseController->SendReceiveExternalIPMIMessage(request, nRequestLength, pResponse,
                                                          pnResponseLength);
    } catch (CIPMException* e) {
        qv::bmc::rethrowAs(e, fn);
    }
}

GLOB_GET_DEVICE_ID_RESPONSE CIPMSatelliteController::broadcastGetDeviceId()
{
    const std::string fn = function("BroadcastGetDeviceId");
    if (!m_pBaseController) throwNoBaseController(fn, "No path to hardware");
    if (m_bAddress == kBaseControllerAddress) return GetDeviceId();

    CIPMBaseController& base = *m_pBaseController;
    const int savedFlags[3] = {base.GetUseSequenceFlag(), base.GetCalculateRequestChecksumFlag(),
                               base.GetValidateResponseFlag()};
    auto restoreFlags = [&] {
        base.SetUseSequenceFlag(savedFlags[0]);
        base.SetCalculateRequestChecksumFlag(savedFlags[1]);
        base.SetValidateResponseFlag(savedFlags[2]);
    };
    base.SetUseSequenceFlag(0);
    base.SetCalculateRequestChecksumFlag(0);
    base.SetValidateResponseFlag(0);

    ImbI2cRequest request;
    memset(&request, 0, sizeof request);
    request.rsSA = m_bAddress;
    request.netFn = 0x06;
    request.rsLun = static_cast<UINT8>(m_bLun & 3);
    request.rqSA = kBaseControllerAddress;
    request.rqLun = 2;
    ++base.m_bSequence;
    request.rqSeq = static_cast<UINT8>(base.m_bSequence % 64);
    request.command = 0x01;

    GLOB_GET_DEVICE_ID_RESPONSE result;
    memset(&result, 0, sizeof result);
    try {
        base.ComputeRequestChecksums(&request, 0);
        ImbI2cRequest frame;
        memset(&frame, 0, sizeof frame);
        uint8_t* frameBytes = reinterpret_cast<uint8_t*>(&frame);
        frameBytes[0] = 0x00;
        memcpy(frameBytes + 1, &request, kFrameOverhead);
        ImbI2cResponse response;
        memset(&response, 0, sizeof response);
        int received = sizeof(ImbI2cResponse);
        base.SendReceiveExternalIPMIMessage(frame, kFrameOverhead + 1, &response, &received);
        response.rqSA = kBaseControllerAddress;
        base.CheckResponseChecksums(&response, received);
        base.CheckRequestVsResponse(&request, &response);
        const int dataLength = std::clamp(received - kFrameOverhead, 0,
                                          static_cast<int>(sizeof(result.Ver10)));
        memcpy(&result.Ver10, response.cmdData, static_cast<size_t>(dataLength));
        result.bVersion = static_cast<UINT8>(version());
    } catch (CIPMException* e) {
        restoreFlags();
        qv::bmc::rethrowAs(e, fn);
    }
    restoreFlags();
    return result;
}
